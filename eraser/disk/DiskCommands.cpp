// The view's commands of the disk-level features: free-space wipe, partition wipe and the
// recoverable-files check.
#include "DiskWipeDialog.h"
#include "RecoverableFilesDialog.h"
#include "WiperView.h"

void CWiperView::OnFreeSpaceWipe() {
    DiskWipeMode = 1;
    TheDiskWipeDialog().DoModal();
}

void CWiperView::OnPartitionWipe() {
    DiskWipeMode = 0;
    PartitionWipeWarningDialog warning(::GetAncestor(m_hWnd, GA_ROOT));
    if (warning.DoModal() != IDOK) return;
    TheDiskWipeDialog().DoModal();
}

void CWiperView::OnRecoveryCheck() {
    RecoverableFilesDialog check(::GetAncestor(m_hWnd, GA_ROOT));
    check.DoModal();
}
