#pragma once
// Lockvale's main dialog (template 102): the secret disk's state, its image, and the buttons that
// create, choose, open and close it, start the eraser, and show help. Esc and the close box only
// hide it; the notification-area menu ends the program.
#include <string>

#include "BitmapDialog.h"
#include "TrayIcon.h"

class CLockvaleDlg : public CBitmapDialog {
public:
    explicit CLockvaleDlg(HWND parent = nullptr);
    ~CLockvaleDlg() override;

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

    CTrayIcon tray_;
    HICON icon_ = nullptr;
    HFONT welcomeFont_ = nullptr;
    HBITMAP pictures_[2] = {};
    std::string hint_;
    bool overLink_ = false;

    typedef CommandEntryOf<CLockvaleDlg> CommandEntry;
    static const CommandEntry kCommands[];
};
