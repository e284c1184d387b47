#include "GlobalSetupPage.h"

#include <cstdio>

#include "DropWindow.h"
#include "EmptyLog.h"
#include "MainIni.h"
#include "OsVersionInfo.h"
#include "StdioFile.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

const char kShellExtensionKey[] = "CLSID\\{BD0591EF-66AF-471E-9402-0A6F8E4B8E82}";

namespace {

const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/SysSet.htm";
const char kColorSection[] = "ColorSetting";
const COLORREF kColorDialogStart = 0x0000FF;
const char* const kLibraries[] = {"Erasext.dll", "Binshex.dll"};
// regsvr32 ends within a second or two; a hung one must not hold the sheet for ever.
const DWORD kRegsvr32Wait = 30000;

}  // namespace

bool IsShellExtensionRegistered() {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kShellExtensionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

std::string ShellExtensionFolder(const std::string& knownPart) {
    char folder[MAX_PATH] = {};
    if (!knownPart.empty()) {
        ::GetWindowsDirectoryA(folder, sizeof folder);
        return folder + knownPart;
    }
    // A later system than the layout rules know: "C:\WINDOWS" + "" + "Erasext.dll" would name a file
    // that is not there. The system directory is where such a system keeps them.
    ::GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\";
}

GlobalSetupPage::GlobalSetupPage(const std::string& iniPath, const std::string& logPath)
    : CPropertyPage(IDD_GLOBAL_SETUP), iniPath_(iniPath), logPath_(logPath) {
    CWinApp* app = AfxGetApp();
    backgroundColor = app ? app->GetProfileInt(kColorSection, "BkColor", 0xFFFFFF) : 0xFFFFFF;
    textColor = app ? app->GetProfileInt(kColorSection, "textColor", 0) : 0;
}

bool GlobalSetupPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    struct Button {
        CBitmapButton& button;
        int id;
        UINT normal, selected, focus, disabled;
    };
    const Button buttons[] = {
        {viewLog_, IDC_VIEW_LOG, IDB_VIEW_LOG_NORMAL, IDB_VIEW_LOG_SELECTED, IDB_VIEW_LOG_FOCUS, 0},
        {emptyLog_, IDC_EMPTY_LOG, IDB_EMPTY_LOG_NORMAL, IDB_EMPTY_LOG_SELECTED, IDB_EMPTY_LOG_FOCUS, 0},
        {bkColor_, IDC_BK_COLOR, IDB_BK_COLOR_NORMAL, IDB_BK_COLOR_SELECTED, IDB_BK_COLOR_FOCUS, 0},
        {textColor_, IDC_TEXT_COLOR, IDB_TEXT_COLOR_NORMAL, IDB_TEXT_COLOR_SELECTED, IDB_TEXT_COLOR_FOCUS, 0},
        {add_, IDC_SHELL_ADD, IDB_ADD_NORMAL, IDB_ADD_SELECTED, IDB_ADD_FOCUS, IDB_ADD_DISABLED},
        {remove_, IDC_SHELL_REMOVE, IDB_REMOVE_NORMAL, IDB_REMOVE_SELECTED, IDB_REMOVE_FOCUS, IDB_REMOVE_DISABLED},
    };
    for (const Button& b : buttons) {
        b.button.LoadBitmaps(b.normal, b.selected, b.focus, b.disabled);
        b.button.SubclassDlgItem(b.id, *this);
    }

    // Read and write, shared, never created: the page shows main.ini, it does not make one.
    bool logOn = false;
    if (!ScanIniLines(iniPath_, CFile::modeReadWrite | CFile::shareDenyNone, [&logOn](const std::string& line) {
            if (line == "log=1") logOn = true;
            return !logOn;
        })) {
        return true;
    }
    if (logOn) CheckDlgButton(IDC_LOG_ALL, BST_CHECKED);
    registered = IsShellExtensionRegistered() ? 1 : 0;
    CheckDlgButton(IDC_SHELL_MENU, registered ? BST_CHECKED : BST_UNCHECKED);
    ShowStatus(registered != 0);
    return true;
}

void GlobalSetupPage::ShowStatus(bool on) {
    SetDlgItemText(IDC_SHELL_STATUS, AfxLoadString(on ? IDS_SHELL_ON : IDS_SHELL_OFF));
}

void GlobalSetupPage::ChooseColor(COLORREF& color) {
    COLORREF chosen = kColorDialogStart;
    if (!Ui().PickColor(m_hWnd, chosen)) return;
    if (chosen != kColorDialogStart) color = chosen;
}

bool GlobalSetupPage::OnCommand(UINT id, UINT code, HWND control) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_VIEW_LOG:
        Ui().WinExec("Notepad " + logPath_, SW_SHOWNORMAL);
        return true;
    case IDC_EMPTY_LOG:
        EmptyLog(logPath_);
        return true;
    case IDC_BK_COLOR:
        ChooseColor(backgroundColor);
        return true;
    case IDC_TEXT_COLOR:
        ChooseColor(textColor);
        return true;
    case IDC_SHELL_MENU:
        ShowStatus(IsDlgButtonChecked(IDC_SHELL_MENU) == BST_CHECKED);
        return true;
    case IDC_SHELL_ADD:
        Register();
        return true;
    case IDC_SHELL_REMOVE:
        Unregister();
        return true;
    }
    return false;
}

bool GlobalSetupPage::OnApply() {
    // Never created here, and a main.ini without a "log=" line keeps having none.
    WriteIniLine(iniPath_, IsDlgButtonChecked(IDC_LOG_ALL) == BST_CHECKED ? "log=1" : "log=0", kIniReadWrite);

    if (CWiperView* view = MainView()) {
        CListCtrl& list = view->List();
        list.SetTextColor(textColor);
        list.SetTextBkColor(backgroundColor);
        list.SetBkColor(backgroundColor);
        list.Invalidate();
        const COLORREF window = ::GetSysColor(COLOR_WINDOW);
        ImageList_SetBkColor(ListView_GetImageList(list.m_hWnd, LVSIL_NORMAL), window);
        ImageList_SetBkColor(ListView_GetImageList(list.m_hWnd, LVSIL_SMALL), window);
    }

    const bool wanted = IsDlgButtonChecked(IDC_SHELL_MENU) == BST_CHECKED;
    if (wanted && registered == 0) Register();
    if (!wanted && registered == 1) Unregister();

    for (CBitmapButton* button : {&viewLog_, &emptyLog_, &bkColor_, &textColor_, &add_, &remove_}) {
        button->UnsubclassWindow();
    }
    return CPropertyPage::OnApply();
}

void GlobalSetupPage::RunRegsvr32(const char* format, const std::string& folder) {
    for (const char* library : kLibraries) {
        char command[2 * MAX_PATH + 32];
        std::snprintf(command, sizeof command, format, ("\"" + folder + library + "\"").c_str());
        Ui().RunAndWait(command, SW_HIDE, kRegsvr32Wait);
    }
}

void GlobalSetupPage::Register() {
    std::string part;
    if (g_osVersionInfo.win2000 || g_osVersionInfo.winXP) part = "\\system32\\";
    if (g_osVersionInfo.win9598 || g_osVersionInfo.winMe) part = "\\system\\";
    RunRegsvr32("regsvr32.exe /S %s", ShellExtensionFolder(part));
    ShowRegistrationButtons();
}

void GlobalSetupPage::Unregister() {
    const DWORD major = LOBYTE(LOWORD(::GetVersion()));
    std::string part = major == 5 ? "\\system32\\" : major == 4 ? "\\system\\" : "";
    RunRegsvr32("regsvr32.exe /U /S %s", ShellExtensionFolder(part));
    ShowRegistrationButtons();
}

void GlobalSetupPage::ShowRegistrationButtons() {
    // regsvr32 has ended: the registry tells the real outcome, whatever was asked.
    const bool on = IsShellExtensionRegistered();
    GetDlgItem(IDC_SHELL_ADD).EnableWindow(!on);
    GetDlgItem(IDC_SHELL_REMOVE).EnableWindow(on);
}

void GlobalSetupPage::OnHelp() { Ui().ShowHelp(ProgramDirectory() + kHelpTopic); }
