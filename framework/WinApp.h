#pragma once
// The application object: start-up, the message loop and the profile store.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CWnd;
class CSingleDocTemplate;
class CCommandLineInfo;

class CWinApp {
public:
    // `appName` is the application title: message-box captions and the profile's key under the
    // registry key. Exactly one application object exists at a time.
    explicit CWinApp(const std::string& appName);
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; returning false ends the program at once (after ExitInstance).
    virtual bool InitInstance() { return true; }
    // End; the value becomes the process exit code.
    virtual int ExitInstance() { return exitCode_; }
    // The message loop: runs until WM_QUIT and returns its exit code.
    virtual int Run();
    // Gives modeless dialogs and the main window the first look at a queued message; true means it
    // was consumed.
    virtual bool PreTranslateMessage(MSG& msg);

    // Moves the profile into the registry, under HKEY_CURRENT_USER\Software\<company>\<appName>.
    // Without it the profile stores nothing and reads give the defaults.
    void SetRegistryKey(const std::string& company);
    UINT GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) const;
    bool WriteProfileInt(const std::string& section, const std::string& entry, int value);
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue = std::string()) const;
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);

    // Commands that neither the view nor the frame took (About, settings ...); true when handled.
    virtual bool OnCommand(UINT id) { return false; }

    // The document template; the application keeps it until it is destroyed.
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate);
    CSingleDocTemplate* GetDocTemplate() const { return docTemplate_.get(); }
    // Fills `info` from the process's command line (its arguments after the program's path).
    void ParseCommandLine(CCommandLineInfo& info) const;
    // A new document (or the one named on the command line) with its frame and view.
    bool ProcessShellCommand(const CCommandLineInfo& info);

    // Modeless dialogs register themselves so the loop routes their keyboard messages.
    void AddModeless(HWND dialog);
    void RemoveModeless(HWND dialog);

    HWND GetMainWindow() const;

    HINSTANCE m_hInstance;
    std::string m_lpCmdLine;
    int m_nCmdShow = SW_SHOWNORMAL;
    std::string m_pszAppName;
    std::string m_pszRegistryKey;
    std::string m_pszProfileName;
    CWnd* m_pMainWnd = nullptr;

protected:
    int exitCode_ = 0;

private:
    HKEY OpenSectionKey(const std::string& section, bool create) const;

    std::vector<HWND> modeless_;
    std::unique_ptr<CSingleDocTemplate> docTemplate_;
};

// The application object, or nullptr before it exists.
CWinApp* AfxGetApp();
// The instance whose resources the framework loads (the application's, or the process module).
HINSTANCE AfxGetResourceHandle();
// Runs the application object: InitInstance, Run when it succeeded, ExitInstance. Call it from WinMain.
int AfxWinMain(HINSTANCE instance, const char* commandLine, int show);
// A string from the string table of the resource instance; empty when absent.
std::string AfxLoadString(UINT id);
