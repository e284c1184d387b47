#pragma once
// The password prompt before mounting (template 137): a free drive letter and the password. On OK
// both are in DiskState() (driveLetter, password).
#include <string>

#include "Dialog.h"

class CInputPassWordDlg : public CDialog {
public:
    explicit CInputPassWordDlg(HWND parent = nullptr);
    ~CInputPassWordDlg() override;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    std::string password_;
};
