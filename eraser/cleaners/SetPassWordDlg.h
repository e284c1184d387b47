#pragma once
// The set-password dialog (template 337, "密码设置", command 32874 of the view): sets, changes or
// removes the start-up password that CInputPassWordDlg asks for. Removing means typing the old
// password and leaving the new one empty: the value then holds 20 zero bytes, which counts as none.
#include <string>

#include "Dialog.h"

class CSetPassWordDlg : public CDialog {
public:
    explicit CSetPassWordDlg(HWND parent = nullptr);

    // Each at most 19 characters, typed hidden.
    std::string oldPassword;      // edit 1006
    std::string newPassword;      // edit 1007
    std::string confirmPassword;  // edit 1008

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    // OK can be pressed while at least one of the three edits holds text.
    void UpdateOkButton();
};
