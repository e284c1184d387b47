#include "PropertySheet.h"

#include "WinApp.h"

namespace {

// The sheet being started by DoModal, until its callback learns the window (the callback carries no
// user value of its own).
thread_local CPropertySheet* startingSheet = nullptr;

}  // namespace

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId), m_psp() {
    m_psp.dwSize = sizeof m_psp;
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
    m_psp.pfnDlgProc = StaticPageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CALLBACK CPropertyPage::StaticPageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CPropertyPage* self = static_cast<CPropertyPage*>(FromHandlePermanent(hwnd));
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lp)->lParam);
        self->Attach(hwnd);
        self->firstActivation_ = true;
    }
    if (!self) return FALSE;
    return RunDlgProc(self, msg, wp, lp);
}

void CPropertyPage::SetModified(bool changed) {
    HWND sheet = ::GetParent(m_hWnd);
    ::SendMessageA(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

bool CPropertyPage::OnSetActive() {
    if (firstActivation_) {
        firstActivation_ = false;
    } else {
        UpdateData(false);
    }
    return true;
}

bool CPropertyPage::OnKillActive() { return UpdateData(true); }

bool CPropertyPage::OnApply() {
    OnOK();
    return true;
}

bool CPropertyPage::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != ::GetParent(m_hWnd)) return false;
    switch (header->code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_APPLY: {
        bool applied = OnApply();
        result = applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        // lParam TRUE: OK, not Apply. A refusal keeps the sheet open, so it is not closed by OK.
        if (sheet_) sheet_->closedByOk_ = applied && reinterpret_cast<PSHNOTIFY*>(header)->lParam;
        return true;
    }
    case PSN_RESET:
        OnReset();
        if (sheet_) sheet_->closedByOk_ = false;
        result = 0;
        return true;
    case PSN_QUERYCANCEL:
        result = OnQueryCancel() ? FALSE : TRUE;
        return true;
    case PSN_WIZBACK:
        result = OnWizardBack();
        return true;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        return true;
    case PSN_WIZFINISH: {
        bool finished = OnWizardFinish();
        if (sheet_) sheet_->closedByOk_ = finished;
        result = finished ? FALSE : TRUE;
        return true;
    }
    case PSN_HELP:
        OnHelp();
        result = 0;
        return true;
    }
    return false;
}

LRESULT CPropertyPage::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_HELP) {
        OnHelp();
        return TRUE;
    }
    return CDialog::WindowProc(msg, wp, lp);
}

CPropertySheet::CPropertySheet(const std::string& caption, HWND parent, UINT selectPage)
    : m_psh(), caption_(caption) {
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_USECALLBACK;
    m_psh.hwndParent = parent;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.nStartPage = selectPage;
    m_psh.pfnCallback = SheetCallback;
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    page->sheet_ = this;
    pages_.push_back(page);
}

int CPropertySheet::GetActiveIndex() const {
    if (!m_hWnd) return -1;
    HWND current = reinterpret_cast<HWND>(::SendMessageA(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i]->m_hWnd == current) return static_cast<int>(i);
    }
    return -1;
}

bool CPropertySheet::SetActivePage(int index) {
    return m_hWnd && ::SendMessageA(m_hWnd, PSM_SETCURSEL, index, 0) != 0;
}

void CPropertySheet::SetWizardButtons(DWORD flags) {
    if (m_hWnd) ::PostMessageA(m_hWnd, PSM_SETWIZBUTTONS, 0, flags);
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == PSCB_INITIALIZED && startingSheet) {
        startingSheet->m_hWnd = hwnd;
        startingSheet->OnInitialized();
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal() {
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPage* page : pages_) {
        HPROPSHEETPAGE handle = ::CreatePropertySheetPageA(&page->m_psp);
        if (!handle) {
            for (HPROPSHEETPAGE made : handles) ::DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(handle);
    }
    if (!m_psh.hwndParent && AfxGetApp()) m_psh.hwndParent = AfxGetApp()->GetMainWindow();
    m_psh.dwFlags &= ~(PSH_PROPSHEETPAGE | PSH_MODELESS);
    m_psh.pszCaption = caption_.c_str();
    m_psh.nPages = static_cast<UINT>(handles.size());
    m_psh.phpage = handles.data();

    CPropertySheet* outer = startingSheet;
    startingSheet = this;
    closedByOk_ = false;
    INT_PTR result = ::PropertySheetA(&m_psh);
    startingSheet = outer;
    m_hWnd = nullptr;

    // The API's own return value tells "changed" rather than "OK", so the pages' notifications decide.
    if (result < 0) return -1;
    if (!closedByOk_) return IDCANCEL;
    return (m_psh.dwFlags & PSH_WIZARD) ? ID_WIZFINISH : IDOK;
}
