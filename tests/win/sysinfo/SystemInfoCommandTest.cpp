// Command 32890 in Purgix's main window: the waiting text stands in the status bar before the
// report dialog is made, then the dialog runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "DocTemplate.h"
#include "MainFrame.h"
#include "ScriptedUi.h"
#include "TempFolder.h"
#include "WinApp.h"
#include "WiperDoc.h"
#include "WiperView.h"
#include "resource.h"

namespace {

HWND g_statusBar = nullptr;
std::string g_statusWhenMade;
bool g_dialogMade = false;
HHOOK g_hook = nullptr;

// Notes the status bar's text when the first dialog window is made.
LRESULT CALLBACK WatchCreation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && !g_dialogMade) {
        const CBT_CREATEWNDA* create = reinterpret_cast<CBT_CREATEWNDA*>(lp);
        if (create->lpcs->lpszClass == MAKEINTATOM(0x8002)) {  // the dialog class
            g_dialogMade = true;
            g_statusWhenMade = CStatusBarCtrl(g_statusBar).GetText(0);
        }
    }
    return ::CallNextHookEx(g_hook, code, wp, lp);
}

BOOL CALLBACK CloseReport(HWND window, LPARAM) {
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof title);
    if (std::string(title) == "计算机信息" && ::IsWindowVisible(window)) ::PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void CALLBACK CloseReportSoon(HWND, UINT, UINT_PTR, DWORD) { ::EnumThreadWindows(::GetCurrentThreadId(), CloseReport, 0); }

}  // namespace

TEST(SystemInfoCommand, WaitingTextFirstThenTheReport) {
    CWinApp app{"Purgix"};
    ScriptedUi ui;
    TempFolder folder{"sysinfo"};
    ASSERT_TRUE(WriteBytes(folder / "ListSave.ini", ""));
    const std::string listPath = folder / "ListSave.ini", iniPath = folder / "main.ini";
    CSingleDocTemplate docTemplate(
        IDR_MAINFRAME, [] { return std::make_unique<CWiperDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
        [iniPath, listPath] {
            auto made = std::make_unique<CWiperView>();
            made->iniPath = iniPath;
            made->listSavePath = listPath;
            return made;
        });
    ASSERT_NE(docTemplate.OpenDocumentFile(std::string()), nullptr);
    CMainFrame* frame = static_cast<CMainFrame*>(docTemplate.GetFrame());
    g_statusBar = frame->StatusBar();
    EXPECT_EQ(AfxLoadString(ID_SYSTEM_INFO), "显示计算机硬盘、CPU、内存等硬件信息") << "the command's status-bar prompt";

    g_hook = ::SetWindowsHookExA(WH_CBT, WatchCreation, nullptr, ::GetCurrentThreadId());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CloseReportSoon);
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_SYSTEM_INFO, 0), 0);
    ::KillTimer(nullptr, timer);
    ::UnhookWindowsHookEx(g_hook);

    EXPECT_TRUE(g_dialogMade) << "the command opened no dialog";
    EXPECT_EQ(g_statusWhenMade, "请等待....");
    EXPECT_TRUE(ui.Calls().empty()) << "no message box: " << (ui.Calls().empty() ? "" : ui.Calls()[0].text);

    app.m_pMainWnd = nullptr;
    frame->DestroyWindow();
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}
