#pragma once
// The eraser's main window: menu 128 with its accelerators, icon 128, a toolbar, a status bar with
// the file count, and the erase-list view between them.
//
// The toolbar comes in two variants over one bitmap strip (242, 32 x 32 images, magenta 0xFF00FF
// transparent): the basic one of toolbar resource 128 (add files, add folder, erase all, settings)
// and the fuller one of resource 129, which adds the free-space wipe, the partition wipe, the
// recoverable-files check, the log, help and the drop window. The fuller variant is shown when the
// view carries out every command it adds, so no button is ever shown that does nothing. The strip
// holds one image per button of the fuller variant, in that variant's order; a button finds its
// image by its command.
#include <string>

#include "Controls.h"
#include "FrameWnd.h"
#include "ImageList.h"

class CWiperView;

class CMainFrame : public CFrameWnd {
public:
    CToolBarCtrl& ToolBar() { return toolBar_; }
    CStatusBarCtrl& StatusBar() { return statusBar_; }
    bool HasFullToolBar() const { return fullToolBar_; }
    // True when the view handles every command of the fuller variant.
    static bool WantsFullToolBar();

protected:
    int OnCreate(CREATESTRUCTA* create) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    // Stores the list colours in the profile and saves the list, then closes.
    void OnClose() override;

private:
    CWiperView* View() const;
    bool CreateToolBar();
    // The tip of a toolbar button: the part after "\n" of the command's string, or else its menu
    // text without the access key, the dots and the shortcut.
    std::string TipOf(UINT id) const;

    CToolBarCtrl toolBar_;
    CStatusBarCtrl statusBar_;
    CImageList toolImages_;
    bool fullToolBar_ = false;
    std::string tip_;
    std::wstring wideTip_;
};
