#pragma once
// The small status window (template 148): a borderless pop-up that shows whether the secret disk
// is open and on which letter. It is dragged with the left button, opens the disk's folder on a
// double click, and keeps its place in Setting.ini across runs. Files and folders dropped on it are
// moved into the open disk.
#include "Dialog.h"

class CSmallDlg : public CDialog {
public:
    CSmallDlg();
    ~CSmallDlg() override;

    // Shows the open state (with DiskState().driveLetter) or the closed one, and repaints at once.
    void SetSmallState(bool mounted);
    bool Mounted() const { return mounted_; }
    // The visible flag that command 32779 flips.
    bool visible = true;

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void PlaceFromSettings();
    void SavePlace();

    bool mounted_ = false;
    HFONT font_ = nullptr;
    HBITMAP pictures_[2] = {};
};
