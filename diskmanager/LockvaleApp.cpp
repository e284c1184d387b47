#include "LockvaleApp.h"

#include <commctrl.h>

#include "LockvaleDlg.h"
#include "StartupChecks.h"
#include "UiSeam.h"
#include "resource.h"

CLockvaleApp::CLockvaleApp() : CWinApp("Velora") {}

CLockvaleApp::~CLockvaleApp() = default;

CLockvaleApp* LockvaleApp() { return dynamic_cast<CLockvaleApp*>(AfxGetApp()); }

bool CLockvaleApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    ::InitCommonControlsEx(&controls);
    ::OutputDebugStringA("Lockvale Ver1.0 start...");

    // One copy per session: a second one shows the first one's window and ends.
    instanceMutex_ = ::CreateMutexA(nullptr, FALSE, "Global\\Lockvale");
    if (instanceMutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND first = ::FindWindowA(nullptr, "Velora")) {
            ::ShowWindow(first, SW_SHOW);
            ::OutputDebugStringA("Lockvale Ver1.0 has been started!!!....");
        }
        return false;
    }

    if (IsWindows2000()) {
        AfxMessageBox(AfxLoadString(IDS_NO_WIN2K), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (CheckDriverPresent())
        ::OutputDebugStringA("Driver installation check OK, keep going....");
    else
        AfxMessageBox(AfxLoadString(IDS_DRIVER_MISSING), MB_OK | MB_ICONEXCLAMATION);

    small_ = std::make_unique<CSmallDlg>();
    if (small_->Create(nullptr)) small_->ShowWindow(SW_SHOW);

    CLockvaleDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    small_.reset();  // saves its place
    return false;    // the program ends with the dialog
}

int CLockvaleApp::ExitInstance() {
    small_.reset();
    if (instanceMutex_) {
        ::CloseHandle(instanceMutex_);
        instanceMutex_ = nullptr;
    }
    return CWinApp::ExitInstance();
}
