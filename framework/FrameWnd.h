#pragma once
// The main frame of a document/view program: menu, accelerators, icon, bars and one view.
#include "Wnd.h"

class CFormView;

// The child-window ids of a frame's bars.
constexpr UINT AFX_IDW_TOOLBAR = 0xE800;
constexpr UINT AFX_IDW_STATUS_BAR = 0xE801;

class CFrameWnd : public CWnd {
public:
    // Creates the frame with the menu, accelerator table and icon of `resourceId` (hidden; the
    // program shows it). `title` is the first caption.
    bool LoadFrame(UINT resourceId, const std::string& title, DWORD style = WS_OVERLAPPEDWINDOW);

    CFormView* GetActiveView() const { return m_pActiveView; }
    void SetActiveView(CFormView* view) { m_pActiveView = view; }
    // Places the bars at the top and bottom edges and the view between them.
    void RecalcLayout();

    // Accelerators first, then the view's dialog keyboard (Tab between its controls).
    bool PreTranslateMessage(MSG& msg) override;

    // Whether the menu item of command `id` is enabled when its menu opens. The frame asks the
    // active view; without one, every command is enabled.
    virtual bool IsCommandEnabled(UINT id);

    HACCEL m_hAccelTable = nullptr;

protected:
    // WM_CREATE: the frame makes its bars here; -1 fails the creation.
    virtual int OnCreate(CREATESTRUCTA* create) { return 0; }
    // The frame's own commands, after the view's and before the application's.
    virtual bool OnFrameCommand(UINT id, UINT code) { return false; }
    // The bars RecalcLayout keeps at the edges (either may be null).
    void SetControlBars(HWND top, HWND bottom) {
        topBar_ = top;
        bottomBar_ = bottom;
    }

    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void OnClose() override { DestroyWindow(); }
    // Enables or greys every command item of a menu that is about to open, by IsCommandEnabled.
    void UpdateMenuItems(HMENU menu);

    CFormView* m_pActiveView = nullptr;

private:
    HWND topBar_ = nullptr;
    HWND bottomBar_ = nullptr;
};
