#pragma once
// The machine's network shares (template 396, command 32889): listed from the system's share
// library, withdrawn one selection at a time or all at once. Only the share goes; the folder stays.
#include <windows.h>

#include <string>

#include "Dialog.h"
#include "ListCtrl.h"

class CSharesDlg : public CDialog {
public:
    explicit CSharesDlg(HWND parent = nullptr);

    // 1: "Netapi32.dll" (wide names, level 502), from Windows 2000 on; 0: "Svrapi.dll" (ANSI, level 50).
    int platformFlag = 1;
    CListCtrl& List() { return list_; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void FillFromNetapi();
    void FillFromSvrapi();
    void AddRow(const std::string& name, const std::string& path, UINT iconFlags);
    // Each selected row in turn: withdrawn (a refusal is reported) and taken off the list.
    void WithdrawSelected();
    // From the last row up; the first refusal is reported and stops there.
    void WithdrawAll();
    // Withdraws share `name` through `library`'s NetShareDel; false when the system refuses.
    bool Withdraw(HMODULE library, const std::string& name) const;
    // Takes row `row` off the list and tells the shell its folder is no longer shared.
    void DropRow(int row);
    // The share library of the platform, or null.
    HMODULE LoadShareLibrary() const;
    // Lets go of the system's image list before the control goes.
    void ReleaseImages();

    CListCtrl list_;
};
