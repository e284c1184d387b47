// Commands 32785, 32877, 32879 and 32889 of the eraser's view: the privacy cleaners.
#include "IECleanup.h"
#include "OutlookMailDlg.h"
#include "SharesDlg.h"
#include "TempFilesDlg.h"
#include "WiperView.h"

void CWiperView::OnIECleanup() { RunIECleanup(::GetParent(m_hWnd), iniPath); }

void CWiperView::OnOutlookMail() {
    COutlookMailDlg dialog(::GetAncestor(m_hWnd, GA_ROOT));
    dialog.DoModal();
}

void CWiperView::OnTempFiles() {
    CTempFilesDlg dialog(::GetAncestor(m_hWnd, GA_ROOT));
    dialog.DoModal();
}

void CWiperView::OnShares() {
    CSharesDlg dialog(::GetAncestor(m_hWnd, GA_ROOT));
    dialog.DoModal();
}
