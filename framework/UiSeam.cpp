#include "UiSeam.h"

#include <commdlg.h>
#include <htmlhelp.h>
#include <shlobj.h>

#include "WinApp.h"

namespace {

Win32UiSeam realSeam;
UiSeam* currentSeam = &realSeam;

}  // namespace

UiSeam& Ui() { return *currentSeam; }

UiSeam* SetUi(UiSeam* seam) {
    UiSeam* previous = currentSeam;
    currentSeam = seam ? seam : &realSeam;
    return previous;
}

int Win32UiSeam::ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool Win32UiSeam::ChooseFiles(OPENFILENAMEA& ofn) { return ::GetOpenFileNameA(&ofn) != FALSE; }

DWORD Win32UiSeam::ChooseFilesError() { return ::CommDlgExtendedError(); }

bool Win32UiSeam::BrowseForFolder(HWND owner, const std::string& title, std::string& path) {
    char display[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST item = ::SHBrowseForFolderA(&info);
    if (!item) return false;
    char chosen[MAX_PATH] = {};
    bool ok = ::SHGetPathFromIDListA(item, chosen) != FALSE;
    ::CoTaskMemFree(item);
    if (ok) path = chosen;
    return ok;
}

bool Win32UiSeam::PickColor(HWND owner, COLORREF& color) {
    static COLORREF custom[16];
    CHOOSECOLORA choose = {};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner;
    choose.rgbResult = color;
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!::ChooseColorA(&choose)) return false;
    color = choose.rgbResult;
    return true;
}

UINT Win32UiSeam::WinExec(const std::string& commandLine, UINT show) {
    return ::WinExec(commandLine.c_str(), show);
}

HINSTANCE Win32UiSeam::ShellOpen(HWND owner, const std::string& verb, const std::string& file,
                                    const std::string& parameters, const std::string& directory, int show) {
    return ::ShellExecuteA(owner, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                           parameters.empty() ? nullptr : parameters.c_str(),
                           directory.empty() ? nullptr : directory.c_str(), show);
}

bool Win32UiSeam::RunAndWait(const std::string& commandLine, UINT show, DWORD timeoutMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;  // CreateProcessA may write into its command line
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    bool ended = ::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    ::CloseHandle(process.hProcess);
    return ended;
}

HWND Win32UiSeam::ShowHelp(const std::string& topic) {
    return ::HtmlHelpA(nullptr, topic.c_str(), HH_DISPLAY_TOPIC, 0);
}

int AfxMessageBox(const std::string& text, UINT flags) {
    CWinApp* app = AfxGetApp();
    HWND owner = app ? app->GetMainWindow() : nullptr;
    std::string caption = app ? app->m_pszAppName : std::string();
    return Ui().ShowMessage(owner, text, caption, flags);
}
