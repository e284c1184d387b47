#pragma once
// Windows: a non-owning HWND wrapper, one dispatch for every window kind, and command tables.
#include <windows.h>

#include <string>

// One row of a class's command table: a command id and the handler it runs.
template <class T>
struct CommandEntryOf {
    UINT id;
    void (T::*handler)();
};

// Runs the handler of `id` from `table`; false when the table has no such id. Call it where the
// table's definition is visible (its size is part of its type), as a class's OnCommand in its .cpp.
template <class T, size_t N>
bool RouteCommand(T* self, const CommandEntryOf<T> (&table)[N], UINT id) {
    for (const CommandEntryOf<T>& entry : table) {
        if (entry.id == id) {
            (self->*entry.handler)();
            return true;
        }
    }
    return false;
}

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    // A window created or subclassed through this object stops calling it here; the window itself
    // is not destroyed (wrappers do not own their HWND).
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hWnd, msg, wp, lp); }
    bool PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageA(m_hWnd, msg, wp, lp) != 0; }

    CWnd GetDlgItem(int id) const { return CWnd(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd GetParent() const { return CWnd(::GetParent(m_hWnd)); }

    void SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    void SetDlgItemText(int id, const std::string& text) { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); }
    std::string GetDlgItemText(int id) const { return GetDlgItem(id).GetWindowText(); }
    void SetDlgItemInt(int id, UINT value, bool isSigned = true) { ::SetDlgItemInt(m_hWnd, id, value, isSigned); }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }

    bool EnableWindow(bool enable = true) { return ::EnableWindow(m_hWnd, enable) != 0; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != 0; }
    bool ShowWindow(int show) { return ::ShowWindow(m_hWnd, show) != 0; }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != 0; }
    bool IsWindow() const { return ::IsWindow(m_hWnd) != 0; }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    bool SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd) != 0; }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(bool erase = true) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void MoveWindow(int x, int y, int width, int height, bool repaint = true) {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void CenterWindow(HWND alternateOwner = nullptr);
    HICON SetIcon(HICON icon, bool big) {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    bool KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id) != 0; }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetFont(HFONT font, bool redraw = true) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }
    bool SetMenu(HMENU menu) { return ::SetMenu(m_hWnd, menu) != 0; }
    void DragAcceptFiles(bool accept = true);
    // Destroys the window; the object stays and can be reused.
    bool DestroyWindow();

    // A message box through the UI seam, owned by this window; the caption defaults to the
    // application title.
    int MessageBox(const std::string& text, const std::string& caption = std::string(), UINT flags = MB_OK);

    // Registers a window class whose procedure is the framework's dispatch. Repeated registration
    // of the same name is harmless.
    static bool RegisterWindowClass(const char* className, UINT style, HICON icon, HCURSOR cursor,
                                    HBRUSH background, const char* menuName = nullptr);
    // Creates a window of a class registered above; this object receives its messages.
    bool CreateEx(DWORD exStyle, const char* className, const std::string& title, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId);
    // Routes an existing window (a control from a template) through this object's WindowProc; the
    // window's own procedure still handles what this object leaves to DefWindowProc.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, const CWnd& parent) { return SubclassWindow(::GetDlgItem(parent.m_hWnd, id)); }
    // Gives a subclassed window its own procedure back and lets go of it; returns the window.
    HWND UnsubclassWindow();

    // Looks at a queued message before it is dispatched; true means it was consumed.
    virtual bool PreTranslateMessage(MSG& msg) { return false; }

    HWND m_hWnd = nullptr;

    // The object behind a window created or subclassed by the framework, or nullptr.
    static CWnd* FromHandlePermanent(HWND hwnd);

protected:
    // The one dispatch: unpacks the common messages into the typed handlers below; everything a
    // handler does not take goes to DefWindowProc.
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp);

    // A command from a menu, accelerator or control; true when handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control) { return false; }
    // A WM_NOTIFY; true when handled, with the message result in `result`.
    virtual bool OnNotify(int id, NMHDR* header, LRESULT& result) { return false; }
    // An owner-drawn control of this window asks to be drawn; the parent hands the request to the
    // control's own object here first (true: drawn).
    virtual bool DrawItem(const DRAWITEMSTRUCT& item) { return false; }
    virtual void OnTimer(UINT_PTR id) {}
    virtual void OnSize(UINT type, int cx, int cy) {}
    virtual void OnClose() { DefWindowProc(WM_CLOSE, 0, 0); }
    virtual void OnDestroy() {}
    // Called after the window is gone; objects that delete themselves do it here.
    virtual void PostNcDestroy() {}

    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // Runs WindowProc behind the C boundary: a C++ exception never crosses into Windows.
    static LRESULT SafeWindowProc(CWnd* self, UINT msg, WPARAM wp, LPARAM lp, bool& failed);
    void Attach(HWND hwnd);
    void Detach();

    WNDPROC superProc_ = nullptr;  // the original procedure of a subclassed window
};
