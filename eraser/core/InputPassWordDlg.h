#pragma once
// The start-up password prompt (template 339, "输入密码"): ends with OK only when the typed text
// matches the stored password; a wrong one asks again, without limit.
#include <string>

#include "Dialog.h"

class CInputPassWordDlg : public CDialog {
public:
    CInputPassWordDlg();

    std::string password;  // edit 1006, hidden input, at most 19 characters

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
};

// The stored start-up password: HKLM\SOFTWARE\Classes\CLSID\{03030303-...}\password, value
// "QuilPurgix", 20 bytes. The key is opened (and made when missing) with full access.
namespace StartupPassword {

constexpr size_t kBytes = 20;

// Reads the stored 20 bytes, zero-padded; false when the key or the value cannot be read.
bool Read(unsigned char (&stored)[kBytes]);
// True when a password is set: the value reads and one of its 20 bytes is not zero.
bool IsSet();

}  // namespace StartupPassword
