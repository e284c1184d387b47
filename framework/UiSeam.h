#pragma once
// The UI seam: everything that would block on a person or start another program goes through this
// one interface, so that tests can replace it with a scripted double. The programs call `Ui()`;
// `Win32UiSeam` is the real thing and is installed by default.
#include <windows.h>

#include <string>

class UiSeam {
public:
    virtual ~UiSeam() = default;

    // A modal message box. Returns the button pressed (IDOK, IDCANCEL, IDYES ...).
    virtual int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;

    // The common open-file dialog. `ofn` is filled as for GetOpenFileNameA; returns its result.
    virtual bool ChooseFiles(OPENFILENAMEA& ofn) = 0;
    // Why the last ChooseFiles returned false, as CommDlgExtendedError tells it: 0 when the user
    // cancelled, FNERR_BUFFERTOOSMALL when the chosen names did not fit the buffer.
    virtual DWORD ChooseFilesError() = 0;

    // Folder browsing (SHBrowseForFolderA). On OK stores the chosen folder in `path` and returns true.
    virtual bool BrowseForFolder(HWND owner, const std::string& title, std::string& path) = 0;

    // The colour dialog (ChooseColorA), fully opened, starting at `color`. On OK stores the chosen
    // colour and returns true.
    virtual bool PickColor(HWND owner, COLORREF& color) = 0;

    // Starting programs: WinExec and ShellExecuteA. Return values are those of the API.
    virtual UINT WinExec(const std::string& commandLine, UINT show) = 0;
    virtual HINSTANCE ShellOpen(HWND owner, const std::string& verb, const std::string& file,
                                   const std::string& parameters, const std::string& directory, int show) = 0;
    // Starts a program like WinExec and waits until it has ended (at most `timeoutMs`). False when it
    // could not be started or did not end in time.
    virtual bool RunAndWait(const std::string& commandLine, UINT show, DWORD timeoutMs) = 0;

    // HtmlHelpA with HH_DISPLAY_TOPIC, no owner window.
    virtual HWND ShowHelp(const std::string& topic) = 0;
};

// The seam in force. Never null.
UiSeam& Ui();

// Installs `seam` (nullptr restores the real one) and returns the previous seam.
UiSeam* SetUi(UiSeam* seam);

// The real seam over Win32.
class Win32UiSeam : public UiSeam {
public:
    int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    bool ChooseFiles(OPENFILENAMEA& ofn) override;
    DWORD ChooseFilesError() override;
    bool BrowseForFolder(HWND owner, const std::string& title, std::string& path) override;
    bool PickColor(HWND owner, COLORREF& color) override;
    UINT WinExec(const std::string& commandLine, UINT show) override;
    HINSTANCE ShellOpen(HWND owner, const std::string& verb, const std::string& file,
                           const std::string& parameters, const std::string& directory, int show) override;
    bool RunAndWait(const std::string& commandLine, UINT show, DWORD timeoutMs) override;
    HWND ShowHelp(const std::string& topic) override;
};

// A message box captioned with the application title (the framework's AfxMessageBox).
int AfxMessageBox(const std::string& text, UINT flags = MB_OK);
