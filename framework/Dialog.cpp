#include "Dialog.h"

#include "WinApp.h"

INT_PTR CDialog::DoModal() {
    modal_ = true;
    m_nModalResult = -1;
    HWND owner = parent_ ? parent_ : (AfxGetApp() ? AfxGetApp()->GetMainWindow() : nullptr);
    INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDHelp), owner, StaticDlgProc,
                                       reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

bool CDialog::Create(HWND parent) {
    if (parent) parent_ = parent;
    modal_ = false;
    HWND hwnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDHelp), parent_, StaticDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    if (hwnd && AfxGetApp()) AfxGetApp()->AddModeless(hwnd);
    return hwnd != nullptr;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    ::EndDialog(m_hWnd, result);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    if (dx.Failed()) {
        if (HWND control = ::GetDlgItem(m_hWnd, dx.FailedControl())) {
            ::SetFocus(control);
            ::SendMessageA(control, EM_SETSEL, 0, -1);
        }
        return false;
    }
    return true;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }


LRESULT CDialog::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (superProc_) return CWnd::DefWindowProc(msg, wp, lp);
    defaultCalled_ = true;  // the dialog manager's own handling follows
    return 0;
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) return 0;
        if (HIWORD(wp) == BN_CLICKED || lp == 0) {
            if (LOWORD(wp) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wp) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        return DefWindowProc(msg, wp, lp);
    case WM_CLOSE:
        // A dialog's close box is its Cancel, as the dialog manager would do it.
        OnCancel();
        return 0;
    }
    return CWnd::WindowProc(msg, wp, lp);
}

INT_PTR CALLBACK CDialog::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDialog* self = static_cast<CDialog*>(FromHandlePermanent(hwnd));
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        self->Attach(hwnd);
    }
    if (!self) return FALSE;
    return RunDlgProc(self, msg, wp, lp);
}

INT_PTR CDialog::RunDlgProc(CDialog* self, UINT msg, WPARAM wp, LPARAM lp) {
    // A handler may send messages to its own dialog; each level keeps its own "handled" answer.
    bool outer = self->defaultCalled_;
    self->defaultCalled_ = false;
    bool failed;
    LRESULT result = SafeWindowProc(self, msg, wp, lp, failed);
    bool unhandled = self->defaultCalled_ || failed;
    self->defaultCalled_ = outer;

    HWND hwnd = self->m_hWnd;
    if (msg == WM_NCDESTROY) {
        if (!self->modal_ && AfxGetApp()) AfxGetApp()->RemoveModeless(hwnd);
        self->Detach();
        self->m_hWnd = nullptr;
        self->PostNcDestroy();
        return FALSE;
    }
    if (unhandled) return FALSE;
    switch (msg) {
    // These return their value directly instead of through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
