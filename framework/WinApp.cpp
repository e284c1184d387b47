#include "WinApp.h"

#include <algorithm>
#include <cstdlib>

#include "DocTemplate.h"
#include "Wnd.h"

namespace {

CWinApp* theApp = nullptr;

}  // namespace

CWinApp* AfxGetApp() { return theApp; }

HINSTANCE AfxGetResourceHandle() {
    return theApp && theApp->m_hInstance ? theApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

std::string AfxLoadString(UINT id) {
    // LoadStringA cannot tell the length in advance; string-table entries are at most 4095 characters.
    char buffer[4096];
    int length = ::LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

CWinApp::CWinApp(const std::string& appName)
    : m_hInstance(::GetModuleHandleA(nullptr)), m_pszAppName(appName), m_pszProfileName(appName) {
    theApp = this;
}

CWinApp::~CWinApp() {
    docTemplate_.reset();
    if (theApp == this) theApp = nullptr;
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate) { docTemplate_ = std::move(docTemplate); }

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const {
    for (int i = 1; i < __argc; ++i) {
        const char* arg = __argv[i];
        bool isFlag = arg[0] == '/' || arg[0] == '-';
        info.ParseParam(isFlag ? arg + 1 : arg, isFlag, i + 1 == __argc);
    }
}

bool CWinApp::ProcessShellCommand(const CCommandLineInfo& info) {
    if (!docTemplate_) return false;
    std::string path = info.m_nShellCommand == CCommandLineInfo::FileOpen ? info.m_strFileName : std::string();
    return docTemplate_->OpenDocumentFile(path) != nullptr;
}

int AfxWinMain(HINSTANCE instance, const char* commandLine, int show) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine ? commandLine : "";
    app->m_nCmdShow = show;
    int code = 0;
    if (app->InitInstance()) code = app->Run();
    int exitCode = app->ExitInstance();
    return code != 0 ? code : exitCode;
}

int CWinApp::Run() {
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (PreTranslateMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    exitCode_ = static_cast<int>(msg.wParam);
    return exitCode_;
}

bool CWinApp::PreTranslateMessage(MSG& msg) {
    if (m_pMainWnd && m_pMainWnd->m_hWnd && m_pMainWnd->PreTranslateMessage(msg)) return true;
    for (HWND dialog : modeless_) {
        if (::IsWindow(dialog) && ::IsDialogMessageA(dialog, &msg)) return true;
    }
    return false;
}

void CWinApp::AddModeless(HWND dialog) { modeless_.push_back(dialog); }

void CWinApp::RemoveModeless(HWND dialog) {
    modeless_.erase(std::remove(modeless_.begin(), modeless_.end(), dialog), modeless_.end());
}

HWND CWinApp::GetMainWindow() const { return m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr; }

void CWinApp::SetRegistryKey(const std::string& company) {
    m_pszRegistryKey = company;
    m_pszProfileName = m_pszAppName;
}

HKEY CWinApp::OpenSectionKey(const std::string& section, bool create) const {
    if (m_pszRegistryKey.empty()) return nullptr;
    std::string path = "Software\\" + m_pszRegistryKey + "\\" + m_pszProfileName + "\\" + section;
    HKEY key = nullptr;
    LONG status = create ? ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
                         : ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

UINT CWinApp::GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) const {
    HKEY key = OpenSectionKey(section, false);
    if (!key) return static_cast<UINT>(defaultValue);
    DWORD value = 0, type = 0, size = sizeof value;
    LONG status = ::RegQueryValueExA(key, entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return static_cast<UINT>(defaultValue);
    return value;
}

bool CWinApp::WriteProfileInt(const std::string& section, const std::string& entry, int value) {
    HKEY key = OpenSectionKey(section, true);
    if (!key) return false;
    DWORD data = static_cast<DWORD>(value);
    LONG status = ::RegSetValueExA(key, entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::string CWinApp::GetProfileString(const std::string& section, const std::string& entry,
                                      const std::string& defaultValue) const {
    HKEY key = OpenSectionKey(section, false);
    if (!key) return defaultValue;
    DWORD type = 0, size = 0;
    LONG status = ::RegQueryValueExA(key, entry.c_str(), nullptr, &type, nullptr, &size);
    std::string value;
    if (status == ERROR_SUCCESS && type == REG_SZ) {
        value.resize(size);
        status = ::RegQueryValueExA(key, entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size);
        value.resize(status == ERROR_SUCCESS ? size : 0);
        while (!value.empty() && value.back() == '\0') value.pop_back();
    }
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? value : defaultValue;
}

bool CWinApp::WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
    HKEY key = OpenSectionKey(section, true);
    if (!key) return false;
    LONG status = ::RegSetValueExA(key, entry.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}
