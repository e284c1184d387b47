#pragma once
// Lockvale's main dialog (template 102): the secret disk's state, its image, and the buttons that
// create, choose, open and close it, start the eraser, and show help. Esc and the close box only
// hide it; the notification-area menu ends the program. Files and folders dropped on it or on the
// small window, or handed over by Explorer's command "移入秘密盘", are moved into the open disk.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "BitmapDialog.h"
#include "TrayIcon.h"

class CLockvaleDlg : public CBitmapDialog {
public:
    explicit CLockvaleDlg(HWND parent = nullptr);
    ~CLockvaleDlg() override;

    // Asks the main dialog `main` to move the dropped items into the secret disk (posted, so the
    // window that took the drop is not kept waiting). Frees the drop.
    static void TakeDrop(HWND main, HDROP drop);

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    void OnDestroy() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnCreateDisk();
    void OnChooseImage();
    void OnMountOrDismount();
    void OnErase();
    void OnHelpButton();
    void OnSupportMail();
    void OnExit();
    void OnTrayShow();
    void OnTraySmallWindow();
    void OnTrayAbout();
    void OnEndProgram();

    // The three states of the display: no image, an image that is closed, the disk mounted.
    void ShowClosed(bool imageKnown);
    void ShowMounted();
    void ShowImagePath();
    void SetPicture(UINT bitmapId);
    void SetHint(const std::string& text);
    void RedrawAll();
    void OnMouseMove(POINT at);
    // A hand-off block from Explorer's command: taken (true) when well formed; the move runs later.
    bool OnCopyData(const COPYDATASTRUCT& data);
    // Moves `items` into the open disk with the progress window, tells the outcome, and hands the
    // originals of a verified move to Purgix.
    void MoveIntoDisk(const std::vector<std::string>& items);

    CTrayIcon tray_;
    HICON icon_ = nullptr;
    HFONT welcomeFont_ = nullptr;
    HBITMAP pictures_[2] = {};
    std::string hint_;
    bool overLink_ = false;
    bool moving_ = false;

    typedef CommandEntryOf<CLockvaleDlg> CommandEntry;
    static const CommandEntry kCommands[];
};
