#include "InputPassWordDlg.h"

#include <cstring>

#include "UiSeam.h"
#include "WinApp.h"
#include "resource.h"

namespace StartupPassword {

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{03030303-0000-0010-8000-00AA006D2EA4}\\password";
const char kValue[] = "QuilPurgix";

}  // namespace

bool Read(unsigned char (&stored)[kBytes]) {
    std::memset(stored, 0, sizeof stored);
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0, size = sizeof stored;
    LONG status = ::RegQueryValueExA(key, kValue, nullptr, &type, stored, &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) std::memset(stored, 0, sizeof stored);
    return status == ERROR_SUCCESS;
}

bool IsSet() {
    unsigned char stored[kBytes];
    if (!Read(stored)) return false;
    for (unsigned char byte : stored) {
        if (byte != 0) return true;
    }
    return false;
}

}  // namespace StartupPassword

CInputPassWordDlg::CInputPassWordDlg() : CDialog(IDD_INPUT_PASSWORD) {}

void CInputPassWordDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_PASSWORD, password);
    DDV_MaxChars(dx, password, 19);
}

void CInputPassWordDlg::OnOK() {
    password = GetDlgItemText(IDC_PASSWORD);
    unsigned char stored[StartupPassword::kBytes];
    StartupPassword::Read(stored);
    // The stored text against the typed one, over at most 20 bytes (the stored text need not end
    // within them).
    bool matches = password.size() < StartupPassword::kBytes &&
                   std::strncmp(reinterpret_cast<const char*>(stored), password.c_str(), StartupPassword::kBytes) == 0;
    if (matches) {
        EndDialog(IDOK);
        return;
    }
    AfxMessageBox(AfxLoadString(IDS_CHECK_INPUT));
}
