// automate: drives Windows programs from outside, for the end-to-end tests.
//
//   automate SCRIPT [NAME=VALUE ...]
//
// Runs the commands of SCRIPT (UTF-8, one per line) in order and prints each step. Exits 0 when
// every step succeeded, 1 at the first failing step (naming its line), 2 on a usage error. Programs
// the script started and that still run when it ends are ended, and the script fails.
//
// Waits and checks of what a window shows retry until they hold or the timeout passes: 10000 ms,
// changed for the lines that follow by `timeout MS`, or for one command by timeout=MS (taken by every
// command that waits: the wait-* commands, click, set-text, text, list, screenshot; missing waits only
// when given one).
// Controls are named by id: a number, 0x hex, IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY,
// IDIGNORE, IDCLOSE, IDHELP (also without "ID"), or "." for the current window itself; they are
// searched among all descendants of the current window. A TEXT matches exactly after "=" (title=T)
// and as a part after "~=" (title~=T).
//
//   start NAME [dir=FOLDER] PROGRAM [ARG ...]   start a program (Windows path); NAME refers to it
//   wait-exit NAME [CODE] [timeout=MS]          wait for it to end; check its exit code
//   kill NAME                                   end it at once
//   adopt NAME                                  the current window's program, started by another,
//                                               becomes NAME as if the script had started it
//   wait-window NAME [title=T] [class=C] [process=P] [timeout=MS]
//                                               wait for a visible top-level window; it becomes current
//   use NAME                                    make a remembered window current again
//   wait-closed [NAME] [timeout=MS]             wait until the window (default: current) is gone
//   click ID                                    press a button (BM_CLICK, posted)
//   command ID                                  post WM_COMMAND with ID to the current window
//   close                                       post WM_CLOSE to the current window (its close box)
//   page N                                      show page N (from 0) of the current property sheet
//   set-text ID TEXT                            WM_SETTEXT
//                                               (click and set-text wait until the control and its
//                                               window are enabled, as a person would have to)
//   text ID [= T | ~= T]                        print, or check, the control's text
//   list ID [count N | row T ...]               print a list view, check its count, or that a row
//                                               starts with the texts T (a plain * matches any)
//   select ID TEXT                              select the list-view rows (or the drop-down entry) whose
//                                               text ends with TEXT, and tell the window as a click does
//   define-drive LETTER FOLDER DEVICE           give a Unix folder (and raw device) a drive letter
//   wait-msgbox [caption=T] [text=T] [process=P] [press=BUTTON] [timeout=MS]
//                                               wait for a message box; press a button, or make it current
//   check-file PATH (= | ~=) TEXT               compare a file's bytes with TEXT in GBK
//   same-file PATH PATH                         check that two files hold the same bytes
//   hold PATH | release PATH                    keep a file open, shared with nobody, until released
//   write-file PATH TEXT                        make the file hold exactly TEXT in GBK (folders made)
//   delete-file PATH                            delete a file if it is there
//   missing PATH [timeout=MS]                   check that no file or folder PATH exists (or is gone within MS)
//   screenshot PATH                             save the X display as PNG (Unix path)
//   sleep MS | timeout MS | set NAME VALUE
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "Automation.h"
#include "GbkText.h"
#include "System.h"

namespace {

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a UTF-8 byte order mark
    while (start <= content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsBlankOrComment(const std::string& line) {
    size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '#';
}

std::string FirstWord(const std::string& line) {
    size_t first = line.find_first_not_of(" \t");
    size_t end = line.find_first_of(" \t", first);
    return line.substr(first, end == std::string::npos ? std::string::npos : end - first);
}

// The arguments as UTF-8, whatever the ANSI code page.
std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], n, nullptr, nullptr);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

// A screenshot of the moment a script failed, kept next to the others for a person to look at.
void ShotOfFailure(const std::string& scriptName) {
    std::string out;
    if (!GetEnvironmentUtf8("PURGIX_OUT_DIR", out)) return;
    std::string name = GbkToUtf8(gbk::NameOf(Utf8ToGbk(UnixPathToWindows(scriptName))));
    name = name.substr(0, name.rfind('.'));
    std::string path = out + "/screenshots/failed-" + name + ".png";
    try {
        TakeScreenshot(path, 10000);
        Print("    the screen at the failure: " + path);
    } catch (const Failure& failure) {
        Print(std::string("    no screenshot of the failure: ") + failure.what());
    }
}

int RunScript(const std::string& scriptPath, Variables& vars) {
    const std::vector<std::string> lines = SplitLines(ReadWholeFile(Utf8ToGbk(UnixPathToWindows(scriptPath))));
    // A misspelt command fails at once rather than after the steps before it have run.
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsBlankOrComment(lines[i]) || Automation::Knows(FirstWord(lines[i]))) continue;
        fprintf(stderr, "%s:%u: unknown command \"%s\"\n", scriptPath.c_str(), static_cast<unsigned>(i + 1),
                FirstWord(lines[i]).c_str());
        return 2;
    }
    Automation automation(vars);
    size_t steps = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsBlankOrComment(lines[i])) continue;
        Print("[" + std::to_string(i + 1) + "] " + lines[i].substr(lines[i].find_first_not_of(" \t")));
        try {
            automation.Run(SplitLine(lines[i], vars));
            ++steps;
        } catch (const Failure& failure) {
            const std::string where = scriptPath + ":" + std::to_string(i + 1);
            Print("FAILED " + where + ": " + failure.what());
            std::string windows = automation.DescribeWindows();
            if (!windows.empty()) Print("    open windows:\n" + windows.substr(0, windows.size() - 1));
            ShotOfFailure(scriptPath);
            std::string ended = automation.EndAll();
            if (!ended.empty()) Print("    ended " + ended);
            fprintf(stderr, "automate: %s: %s\n", where.c_str(), failure.what());
            return 1;
        }
    }
    std::string running = automation.EndAll();
    if (!running.empty()) {
        Print("FAILED: still running at the end of the script (ended now): " + running);
        fprintf(stderr, "automate: %s: still running at the end: %s\n", scriptPath.c_str(), running.c_str());
        return 1;
    }
    Print("automate: all " + std::to_string(steps) + " steps of " + scriptPath + " passed");
    return 0;
}

}  // namespace

int main() {
    // Output is UTF-8 whatever the code page; the console translates nothing.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const std::vector<std::string> args = Arguments();
    if (args.size() < 2) {
        fputs("usage: automate SCRIPT [NAME=VALUE ...]\n", stderr);
        return 2;
    }
    if (GetACP() != kGbk) {
        fprintf(stderr, "automate: the ANSI code page is %u, not 936 (GBK); run under LANG=zh_CN.UTF-8\n", GetACP());
        return 2;
    }
    Variables vars;
    for (size_t i = 2; i < args.size(); ++i) {
        size_t eq = args[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            fprintf(stderr, "automate: \"%s\" is not NAME=VALUE\n", args[i].c_str());
            return 2;
        }
        vars.Set(args[i].substr(0, eq), args[i].substr(eq + 1));
    }
    try {
        return RunScript(args[1], vars);
    } catch (const Failure& failure) {
        fprintf(stderr, "automate: %s\n", failure.what());
        return 2;
    }
}
