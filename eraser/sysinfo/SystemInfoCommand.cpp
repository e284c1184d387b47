// Command 32890 of the eraser's view: the system-information dialog.
#include "Controls.h"
#include "FrameWnd.h"
#include "SystemInfoDlg.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

void CWiperView::OnSystemInfo() {
    // Gathering takes more than a second (the clock measurement alone waits one): the waiting
    // text goes into the status bar and is painted now, before the dialog's initialisation blocks.
    if (HWND bar = ::GetDlgItem(::GetParent(m_hWnd), AFX_IDW_STATUS_BAR)) {
        CStatusBarCtrl status(bar);
        status.SetText(AfxLoadString(IDS_PLEASE_WAIT));
        status.UpdateWindow();
    }
    CSystemInfoDlg dialog(::GetAncestor(m_hWnd, GA_ROOT));
    dialog.DoModal();
}
