#include "SetPassWordDlg.h"

#include <cstring>

#include "InputPassWordDlg.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{03030303-0000-0010-8000-00AA006D2EA4}\\password";
const char kValue[] = "QuilPurgix";
const int kMaxChars = 19;

// The text in a zero-filled 20-byte buffer, as it is stored and compared.
void Pad(const std::string& text, unsigned char (&buffer)[StartupPassword::kBytes]) {
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, text.data(), text.size() < sizeof buffer ? text.size() : sizeof buffer - 1);
}

}  // namespace

CSetPassWordDlg::CSetPassWordDlg(HWND parent) : CDialog(IDD_SET_PASSWORD, parent) {}

void CSetPassWordDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_PASSWORD, oldPassword);
    DDV_MaxChars(dx, oldPassword, kMaxChars);
    DDX_Text(dx, IDC_NEW_PASSWORD, newPassword);
    DDV_MaxChars(dx, newPassword, kMaxChars);
    DDX_Text(dx, IDC_CONFIRM_PASSWORD, confirmPassword);
    DDV_MaxChars(dx, confirmPassword, kMaxChars);
}

bool CSetPassWordDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    unsigned char stored[StartupPassword::kBytes];
    // A stored empty password has no old password to type.
    if (StartupPassword::Read(stored) && stored[0] == 0) GetDlgItem(IDC_PASSWORD).EnableWindow(false);
    GetDlgItem(IDOK).EnableWindow(false);
    return true;
}

bool CSetPassWordDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == EN_CHANGE && (id == IDC_PASSWORD || id == IDC_NEW_PASSWORD || id == IDC_CONFIRM_PASSWORD)) {
        UpdateOkButton();
        return true;
    }
    return false;
}

void CSetPassWordDlg::UpdateOkButton() {
    const bool any = GetDlgItem(IDC_PASSWORD).GetWindowTextLength() > 0 ||
                     GetDlgItem(IDC_NEW_PASSWORD).GetWindowTextLength() > 0 ||
                     GetDlgItem(IDC_CONFIRM_PASSWORD).GetWindowTextLength() > 0;
    GetDlgItem(IDOK).EnableWindow(any);
}

void CSetPassWordDlg::OnOK() {
    if (!UpdateData(true)) return;
    unsigned char oldBuffer[StartupPassword::kBytes], newBuffer[StartupPassword::kBytes];
    Pad(oldPassword, oldBuffer);
    Pad(newPassword, newBuffer);
    if (newPassword != confirmPassword) {
        AfxMessageBox(AfxLoadString(IDS_CHECK_INPUT));
        return;
    }

    HKEY key = nullptr;
    const bool opened = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                          nullptr, &key, nullptr) == ERROR_SUCCESS;
    unsigned char stored[StartupPassword::kBytes] = {};
    DWORD type = 0, size = sizeof stored;
    const bool hasValue = opened && ::RegQueryValueExA(key, kValue, nullptr, &type, stored, &size) == ERROR_SUCCESS;
    if (!hasValue && !oldPassword.empty()) {
        if (key) ::RegCloseKey(key);
        AfxMessageBox(AfxLoadString(IDS_NO_OLD_PASSWORD));
        return;
    }
    if (hasValue && std::memcmp(stored, oldBuffer, sizeof stored) != 0) {
        ::RegCloseKey(key);
        AfxMessageBox(AfxLoadString(IDS_OLD_PASSWORD_WRONG));
        return;
    }
    // Always the whole 20 bytes as REG_SZ, whatever length an earlier value had: a shorter write
    // would keep only the start of the new password, and the prompt at start-up, which compares
    // the whole typed text, would then refuse it.
    const bool written =
        opened && ::RegSetValueExA(key, kValue, 0, REG_SZ, newBuffer, sizeof newBuffer) == ERROR_SUCCESS;
    if (key) ::RegCloseKey(key);
    if (!written) {
        // Without write access to the machine's settings nothing was stored; saying it was would
        // leave the program unprotected while the user believes otherwise.
        AfxMessageBox("新密码设置失败!");
        return;
    }
    AfxMessageBox(AfxLoadString(IDS_PASSWORD_SET));
    EndDialog(IDOK);
}

void CWiperView::OnSetPassword() {
    CSetPassWordDlg dialog(::GetAncestor(m_hWnd, GA_ROOT));
    dialog.DoModal();
}
