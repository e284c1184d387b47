#pragma once
// The interface page of the settings sheet (template 133, "界面设置"): the log switch of main.ini,
// viewing and emptying the log, the erase list's colours, and the Explorer context menu (the shell
// extensions Erasext.dll and Binshex.dll, registered with regsvr32.exe).
#include <windows.h>

#include <string>

#include "BitmapButton.h"
#include "PropertySheet.h"

// The key a registered Erasext.dll makes under HKEY_CLASSES_ROOT.
extern const char kShellExtensionKey[];

// True when the registration key opens for reading.
bool IsShellExtensionRegistered();

// The folder the shell extensions live in, with its final backslash: the Windows folder and
// "\system32\" (or "\system\" on Windows 95, 98 and Me) on the systems that layout is known for,
// the system directory itself on any other (`knownPart` empty).
std::string ShellExtensionFolder(const std::string& knownPart);

class GlobalSetupPage : public CPropertyPage {
public:
    // `iniPath`, `logPath`: main.ini and log.txt beside the program. Reads the list colours from the
    // application profile ("ColorSetting").
    GlobalSetupPage(const std::string& iniPath, const std::string& logPath);

    COLORREF textColor;
    COLORREF backgroundColor;
    // 1 when the registration key existed as the page was opened.
    int registered = 0;

protected:
    bool OnInitDialog() override;
    // The log switch, the colours on the erase list, then registering or unregistering as the box
    // now asks.
    bool OnApply() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void OnHelp() override;

private:
    void ShowStatus(bool on);
    // Opens a colour dialog at pure red; a colour other than that replaces `color`.
    void ChooseColor(COLORREF& color);
    // Runs regsvr32.exe on both libraries and waits for each; the hidden buttons then follow the
    // registry as it is.
    void Register();
    void Unregister();
    void RunRegsvr32(const char* format, const std::string& folder);
    void ShowRegistrationButtons();

    std::string iniPath_;
    std::string logPath_;
    CBitmapButton viewLog_, emptyLog_, bkColor_, textColor_, add_, remove_;
};
