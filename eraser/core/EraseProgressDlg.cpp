#include "EraseProgressDlg.h"

#include "WinApp.h"
#include "resource.h"

CEraseProgressDlg* g_progressDlg = nullptr;

CEraseProgressDlg::CEraseProgressDlg() : CDialog(IDD_ERASE_PROGRESS) {}

void CEraseProgressDlg::SetStatusText(const std::string& path) { SetDlgItemText(IDC_STATUS_PATH, path); }

void CEraseProgressDlg::SetPassText(const std::string& text) {
    passText = text;
    UpdateData(false);
}

bool CEraseProgressDlg::OnInitDialog() {
    currentBar.m_hWnd = ::GetDlgItem(m_hWnd, IDC_CURRENT_PROGRESS);
    totalBar.m_hWnd = ::GetDlgItem(m_hWnd, IDC_TOTAL_PROGRESS);
    return CDialog::OnInitDialog();
}

void CEraseProgressDlg::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_PASS_TEXT, passText); }

bool CEraseProgressDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDC_PROGRESS_CANCEL && code == BN_CLICKED) {
        AskToStop();
        return true;
    }
    return false;
}

void CEraseProgressDlg::OnCancel() { AskToStop(); }

void CEraseProgressDlg::AskToStop() {
    // The engine notices the flag at its next block write.
    if (MessageBox(AfxLoadString(IDS_CONFIRM_STOP), AfxLoadString(IDS_STOP_CAPTION), MB_YESNO | MB_ICONQUESTION) != IDNO) {
        cancelFlag = 1;
    }
}

CEraseProgressDlg* CreateProgressDialog() {
    DestroyProgressDialog();
    CEraseProgressDlg* dialog = new CEraseProgressDlg;
    if (!dialog->Create(nullptr)) {
        delete dialog;
        return nullptr;
    }
    dialog->ShowWindow(SW_RESTORE);
    dialog->UpdateWindow();
    g_progressDlg = dialog;
    return dialog;
}

void DestroyProgressDialog() {
    CEraseProgressDlg* dialog = g_progressDlg;
    if (!dialog) return;
    // Cleared first: from here on every step of the run sees the run stopped.
    g_progressDlg = nullptr;
    dialog->DestroyWindow();
    delete dialog;
}
