#pragma once
// The modeless progress dialog of an erase run (template 209, "擦除中..."). The engine writes the
// current path, the pass text and both bars; the Cancel button sets the cancel flag after the user
// confirms, and the engine notices it at its next block write.
#include <string>

#include "Controls.h"
#include "Dialog.h"

class CEraseProgressDlg : public CDialog {
public:
    CEraseProgressDlg();

    void SetStatusText(const std::string& path);
    // Shows `text` (for example "2/3") in control 1121.
    void SetPassText(const std::string& text);

    CProgressCtrl currentBar;  // 1047
    CProgressCtrl totalBar;    // 1046
    std::string passText;      // exchanged with 1121
    unsigned char cancelFlag = 0;
    int animationFrame = 0;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    // Enter does nothing; Esc and the close command ask like the Cancel button.
    void OnOK() override {}
    void OnCancel() override;

private:
    // Asks whether to stop; any answer but No sets the cancel flag.
    void AskToStop();
    // Shows the pictures of animation frame 1..23: frames 1..19 put the scrap at arc position 1..19,
    // frames 20..23 leave it inside the shredder (nothing on the arc).
    void ShowFrame(int frame);

    HBITMAP pictures_[3] = {};
    bool passTextShown_ = false;  // control 1121 holds passText
    int shownPosition_ = 0;       // the arc position whose picture is shown, 0 for none
};

// The progress dialog of the current run; null when no run is going on, or when the run has been
// cancelled or stopped, which the engine and the run check before every step.
extern CEraseProgressDlg* g_progressDlg;

// Creates and shows the progress dialog of a new run (modeless, no parent).
CEraseProgressDlg* CreateProgressDialog();
// Destroys the current progress dialog, if any; from then on the run stops everywhere.
void DestroyProgressDialog();
