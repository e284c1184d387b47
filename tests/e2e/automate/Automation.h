#pragma once
// The commands of automate's scripts and what they remember between lines: the programs started,
// the windows found, the current window and the default timeout.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "Script.h"

class Automation {
public:
    explicit Automation(Variables& vars) : vars_(vars) {}
    ~Automation() { EndAll(); }

    // True when `name` is a command.
    static bool Knows(const std::string& name);
    void Run(const std::vector<Word>& words);
    // Ends every program still running; returns their names (empty when none was left).
    std::string EndAll();
    // The visible windows of the started programs, one per line, for failure reports.
    std::string DescribeWindows() const;

private:
    // Files held open by `hold`, by their script path.
    std::map<std::string, HANDLE> held_;

    struct Command {
        const char* name;
        void (Automation::*run)(ArgReader&);
    };
    static const Command kCommands[];

    void Start(ArgReader& args);
    void WaitExit(ArgReader& args);
    void Kill(ArgReader& args);
    void WaitWindow(ArgReader& args);
    void Use(ArgReader& args);
    void WaitClosed(ArgReader& args);
    void Click(ArgReader& args);
    void PostCommand(ArgReader& args);
    void CloseWindow(ArgReader& args);
    void Adopt(ArgReader& args);
    void ShowPage(ArgReader& args);
    void SetTextOf(ArgReader& args);
    void TextOf(ArgReader& args);
    void List(ArgReader& args);
    void Select(ArgReader& args);
    void DefineDrive(ArgReader& args);
    void WaitMessageBox(ArgReader& args);
    void CheckFile(ArgReader& args);
    void CheckSameFile(ArgReader& args);
    void HoldFile(ArgReader& args);
    void ReleaseFile(ArgReader& args);
    void WriteFile(ArgReader& args);
    void RemoveFile(ArgReader& args);
    void CheckMissing(ArgReader& args);
    void Screenshot(ArgReader& args);
    void SleepFor(ArgReader& args);
    void SetTimeout(ArgReader& args);
    void SetVariable(ArgReader& args);

    PROCESS_INFORMATION& FindProcess(const std::string& name);
    HWND Current() const;
    // The control `id` of the current window once it exists and is visible (and usable when asked).
    HWND Control(int id, bool enabled, DWORD timeout);

    Variables& vars_;
    DWORD timeout_ = 10000;
    std::map<std::string, PROCESS_INFORMATION> processes_;
    std::map<std::string, HWND> windows_;
    HWND current_ = nullptr;
};
