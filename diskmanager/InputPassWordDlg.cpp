#include "InputPassWordDlg.h"

#include "SecretDisk.h"
#include "UiSeam.h"
#include "resource.h"

CInputPassWordDlg::CInputPassWordDlg(HWND parent) : CDialog(IDD_INPUT_PASSWORD, parent) {}

CInputPassWordDlg::~CInputPassWordDlg() {
    if (!password_.empty()) ::SecureZeroMemory(&password_[0], password_.size());
}

void CInputPassWordDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_PASSWORD, password_);
    DDV_MaxChars(dx, password_, 16);  // the capacity of the session's password buffer
}

bool CInputPassWordDlg::OnInitDialog() {
    FillDriveList(::GetDlgItem(m_hWnd, IDC_PROMPT_DRIVES));
    return CDialog::OnInitDialog();
}

void CInputPassWordDlg::OnOK() {
    DiskState().driveLetter = SelectedDriveLetter(::GetDlgItem(m_hWnd, IDC_PROMPT_DRIVES));
    if (!UpdateData(true)) return;
    if (password_.empty()) {
        MessageBox("请输入密码", std::string(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    DiskState().SetPassword(password_);
    EndDialog(IDOK);
}
