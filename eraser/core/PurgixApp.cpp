// Windows Sockets must come before <windows.h>.
#include <winsock2.h>

#include "PurgixApp.h"

#include <commctrl.h>

#include <cstring>
#include <memory>

#include "DocTemplate.h"
#include "DropWindow.h"
#include "InputPassWordDlg.h"
#include "MainFrame.h"
#include "OsVersionInfo.h"
#include "UiSeam.h"
#include "WiperDoc.h"
#include "WiperView.h"
#include "resource.h"

const char kPurgixMutexName[] = "0xbe8e2ce1, 0xdab6, 0x11d6, 0xad, 0xd0, 0x0, 0xe0, 0x4c,0x53, 0xf6, 0xd8";

CPurgixApp::CPurgixApp() : CWinApp("Purgix") {}

bool CPurgixApp::InitInstance() {
    ::InitCommonControls();

    // Only the secret-disk manager starts the eraser, and it says so (case-sensitive).
    if (!std::strstr(::GetCommandLineA(), "/MyLockvale")) return false;

    g_osVersionInfo.Detect();

    WSADATA wsa;
    if (::WSAStartup(0x0202, &wsa) != 0) return false;
    socketsStarted_ = true;

    if (StartupPassword::IsSet()) {
        CInputPassWordDlg prompt;
        if (prompt.DoModal() != IDOK) return false;
    }

    instanceMutex_ = ::CreateMutexA(nullptr, FALSE, kPurgixMutexName);
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        AfxMessageBox("Purgix正在运行中!");
        return false;
    }

    SetRegistryKey("Local AppWizard-Generated Applications");

    AddDocTemplate(std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, [] { return std::make_unique<CWiperDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<CWiperView>(); }));

    CCommandLineInfo info;
    ParseCommandLine(info);
    if (!ProcessShellCommand(info)) return false;

    CWnd* frame = m_pMainWnd;
    frame->ShowWindow(SW_SHOW);
    frame->UpdateWindow();
    frame->SetWindowText("Velora之Purgix");
    frame->SetIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_CAPTION)), true);
    ::LoadLibraryA("RICHED20.DLL");
    CreateDropWindow();
    return true;
}

int CPurgixApp::ExitInstance() {
    DeleteDropWindow();
    if (instanceMutex_) {
        ::CloseHandle(instanceMutex_);
        instanceMutex_ = nullptr;
    }
    if (socketsStarted_) {
        ::WSACleanup();
        socketsStarted_ = false;
    }
    return CWinApp::ExitInstance();
}

bool CPurgixApp::OnCommand(UINT id) {
    if (id == ID_ABOUT) {
        OnAbout();
        return true;
    }
    return false;
}

void CPurgixApp::OnAbout() {
    // One about box for the process, never two at once.
    if (aboutOpen_) return;
    aboutOpen_ = true;
    CDialog about(IDD_ABOUTBOX);
    about.DoModal();
    aboutOpen_ = false;
}
