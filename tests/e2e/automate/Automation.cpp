#include "Automation.h"

#include <cstring>
#include <functional>

#include "GbkText.h"
#include "Gui.h"
#include "System.h"
#include "WineMountManager.h"

namespace {

// Retries `holds` every 50 ms until it is true or `timeoutMs` passed; true when it held.
bool Poll(DWORD timeoutMs, const std::function<bool()>& holds) {
    const DWORD start = GetTickCount();
    while (true) {
        if (holds()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
}

struct NamedId {
    const char* name;
    int id;
};
const NamedId kButtonIds[] = {
    {"OK", IDOK},       {"CANCEL", IDCANCEL}, {"ABORT", IDABORT}, {"RETRY", IDRETRY},
    {"IGNORE", IDIGNORE}, {"YES", IDYES},     {"NO", IDNO},       {"CLOSE", IDCLOSE},
    {"HELP", IDHELP},   {"TRYAGAIN", 10},     {"CONTINUE", 11},
};
constexpr int kSelf = -0x10000;  // "." : the current window itself

int ParseId(const Word& word) {
    if (word.text == "." && !word.literal) return kSelf;
    std::string name = word.text;
    if (name.size() > 2 && _strnicmp(name.c_str(), "ID", 2) == 0) name = name.substr(2);
    for (const NamedId& known : kButtonIds)
        if (lstrcmpiA(known.name, name.c_str()) == 0) return known.id;
    return static_cast<int>(ParseNumber(word, "control id"));
}

std::string Gbk(const Word& word) { return Utf8ToGbk(word.text); }

std::string IdText(int id) { return id == kSelf ? "the window" : "control " + std::to_string(id); }

}  // namespace

const Automation::Command Automation::kCommands[] = {
    {"start", &Automation::Start},
    {"wait-exit", &Automation::WaitExit},
    {"kill", &Automation::Kill},
    {"adopt", &Automation::Adopt},
    {"wait-window", &Automation::WaitWindow},
    {"use", &Automation::Use},
    {"wait-closed", &Automation::WaitClosed},
    {"click", &Automation::Click},
    {"command", &Automation::PostCommand},
    {"close", &Automation::CloseWindow},
    {"page", &Automation::ShowPage},
    {"set-text", &Automation::SetTextOf},
    {"text", &Automation::TextOf},
    {"list", &Automation::List},
    {"select", &Automation::Select},
    {"define-drive", &Automation::DefineDrive},
    {"wait-msgbox", &Automation::WaitMessageBox},
    {"check-file", &Automation::CheckFile},
    {"same-file", &Automation::CheckSameFile},
    {"hold", &Automation::HoldFile},
    {"release", &Automation::ReleaseFile},
    {"write-file", &Automation::WriteFile},
    {"delete-file", &Automation::RemoveFile},
    {"missing", &Automation::CheckMissing},
    {"screenshot", &Automation::Screenshot},
    {"sleep", &Automation::SleepFor},
    {"timeout", &Automation::SetTimeout},
    {"set", &Automation::SetVariable},
};

bool Automation::Knows(const std::string& name) {
    for (const Command& command : kCommands)
        if (name == command.name) return true;
    return false;
}

void Automation::Run(const std::vector<Word>& words) {
    if (words.empty()) return;
    for (const Command& command : kCommands) {
        if (words[0].raw != command.name || !words[0].key.empty()) continue;
        std::vector<Word> rest(words.begin() + 1, words.end());
        ArgReader args(command.name, rest);
        (this->*command.run)(args);
        return;
    }
    throw Failure("unknown command \"" + words[0].raw + "\"");
}

PROCESS_INFORMATION& Automation::FindProcess(const std::string& name) {
    auto it = processes_.find(name);
    if (it == processes_.end()) throw Failure("no program was started as \"" + name + "\"");
    return it->second;
}

HWND Automation::Current() const {
    if (!current_) throw Failure("no current window: wait for one first (wait-window)");
    if (!IsWindow(current_)) throw Failure("the current window is gone");
    return current_;
}

HWND Automation::Control(int id, bool enabled, DWORD timeout) {
    HWND window = Current();
    if (id == kSelf) return window;
    HWND control = nullptr;
    // A person cannot use a control of a disabled window either (a modal dialog is open over it).
    auto usable = [&] { return IsWindowEnabled(control) && IsWindowEnabled(GetAncestor(control, GA_ROOT)); };
    Poll(timeout, [&] {
        control = FindControl(window, id);
        return control && IsWindowVisible(control) && (!enabled || usable());
    });
    if (!control) throw Failure("no " + IdText(id) + " in " + Describe(window));
    if (!IsWindowVisible(control)) throw Failure(IdText(id) + " stayed hidden");
    if (enabled && !IsWindowEnabled(control)) throw Failure(IdText(id) + " stayed disabled");
    if (enabled && !usable()) throw Failure(IdText(id) + " cannot be used: its window stayed disabled (a modal dialog open?)");
    return control;
}

void Automation::Start(ArgReader& args) {
    const std::string name = args.Next("a name for the program").text;
    std::string folder;
    const Word* word = args.NextRaw();
    for (; word && !word->key.empty(); word = args.NextRaw()) {
        if (word->key != "dir") throw Failure("start: unknown option " + word->key + " (options come before the program)");
        folder = Utf8ToGbk(word->text);
    }
    if (!word) throw Failure("start: missing the program");
    const std::string program = Utf8ToGbk(word->raw);
    std::string commandLine;
    AppendArgument(commandLine, program);
    while ((word = args.NextRaw())) AppendArgument(commandLine, Utf8ToGbk(word->raw));
    args.Done();

    auto old = processes_.find(name);
    if (old != processes_.end()) {
        if (WaitForSingleObject(old->second.hProcess, 0) == WAIT_TIMEOUT)
            throw Failure("start: \"" + name + "\" is still running");
        CloseHandle(old->second.hProcess);
        processes_.erase(old);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Without a console, as a program started from the desktop runs: a child of this console program
    // would otherwise share its console, and what a program does differently with one (Wine gives the
    // Unix programs it starts their standard handles only then) would go untested.
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        throw Failure("cannot start " + GbkToUtf8(commandLine) + " (error " + std::to_string(error) + ")");
    }
    if (info.hThread) CloseHandle(info.hThread);
    if (!info.hProcess) throw Failure("started " + GbkToUtf8(program) + " but got no process to wait for (not a Windows program?)");
    processes_[name] = info;
    Print("    started process " + std::to_string(info.dwProcessId) + ": " + GbkToUtf8(commandLine));
}

void Automation::WaitExit(ArgReader& args) {
    const std::string name = args.Next("the program's name").text;
    const bool checkCode = args.HasNext();
    const DWORD wanted = checkCode ? static_cast<DWORD>(ParseNumber(args.Next("exit code"), "exit code")) : 0;
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    PROCESS_INFORMATION& process = FindProcess(name);
    if (WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0)
        throw Failure(name + " is still running after " + std::to_string(timeout) + " ms");
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    processes_.erase(name);
    Print("    " + name + " ended with exit code " + std::to_string(code));
    if (checkCode && code != wanted)
        throw Failure(name + " ended with exit code " + std::to_string(code) + ", expected " + std::to_string(wanted));
}

void Automation::Kill(ArgReader& args) {
    const std::string name = args.Next("the program's name").text;
    args.Done();
    PROCESS_INFORMATION& process = FindProcess(name);
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    processes_.erase(name);
}

void Automation::Adopt(ArgReader& args) {
    const std::string name = args.Next("a name for the program").text;
    args.Done();
    if (processes_.count(name)) throw Failure("adopt: \"" + name + "\" is already a program of the script");
    PROCESS_INFORMATION info{};
    GetWindowThreadProcessId(Current(), &info.dwProcessId);
    info.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, info.dwProcessId);
    if (!info.hProcess) throw Failure("adopt: the window's program cannot be opened");
    processes_[name] = info;
}

std::string Automation::EndAll() {
    std::string names;
    for (auto& entry : processes_) {
        HANDLE handle = entry.second.hProcess;
        if (WaitForSingleObject(handle, 0) == WAIT_TIMEOUT) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, 5000);
            names += (names.empty() ? "" : ", ") + entry.first;
        }
        CloseHandle(handle);
    }
    processes_.clear();
    return names;
}

std::string Automation::DescribeWindows() const {
    std::string text;
    for (const auto& entry : processes_) {
        WindowQuery query;
        query.processId = entry.second.dwProcessId;
        for (HWND window : FindTopWindows(query)) text += "    window of " + entry.first + ": " + Describe(window) + "\n";
    }
    return text;
}

void Automation::WaitWindow(ArgReader& args) {
    const std::string name = args.Next("a name for the window").text;
    WindowQuery query;
    if (const Word* title = args.Option("title")) {
        query.title = Gbk(*title);
        query.titleMatch = title->match;
    }
    if (const Word* className = args.Option("class")) query.className = Gbk(*className);
    if (const Word* process = args.Option("process")) query.processId = FindProcess(process->text).dwProcessId;
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    if (query.title.empty() && query.className.empty()) throw Failure("wait-window: give title= or class=");
    std::vector<HWND> found;
    if (!Poll(timeout, [&] { return !(found = FindTopWindows(query)).empty(); }))
        throw Failure("no such window appeared within " + std::to_string(timeout) + " ms");
    windows_[name] = current_ = found.front();
    Print("    " + name + " is " + Describe(current_));
}

void Automation::Use(ArgReader& args) {
    const std::string name = args.Next("the window's name").text;
    args.Done();
    auto it = windows_.find(name);
    if (it == windows_.end()) throw Failure("no window was remembered as \"" + name + "\"");
    current_ = it->second;
    Current();
}

void Automation::WaitClosed(ArgReader& args) {
    HWND window = current_;
    if (args.HasNext()) {
        const std::string name = args.Next("the window's name").text;
        auto it = windows_.find(name);
        if (it == windows_.end()) throw Failure("no window was remembered as \"" + name + "\"");
        window = it->second;
    }
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    if (!window) throw Failure("no current window");
    if (!Poll(timeout, [&] { return !IsWindow(window) || !IsWindowVisible(window); }))
        throw Failure(Describe(window) + " is still open after " + std::to_string(timeout) + " ms");
}

void Automation::Click(ArgReader& args) {
    const int id = ParseId(args.Next("the button's id"));
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    HWND button = Control(id, true, timeout);
    if (lstrcmpiA(GetClass(button).c_str(), "Button") != 0)
        throw Failure(IdText(id) + " is " + Describe(button) + ", not a button");
    // Posted: a click that opens a modal dialog does not return until the dialog ends.
    PostMessageA(button, BM_CLICK, 0, 0);
}

void Automation::PostCommand(ArgReader& args) {
    const int id = ParseId(args.Next("the command id"));
    args.Done();
    if (id == kSelf) throw Failure("command: \".\" is not a command id");
    PostMessageA(Current(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void Automation::CloseWindow(ArgReader& args) {
    args.Done();
    PostMessageA(Current(), WM_CLOSE, 0, 0);
}

void Automation::ShowPage(ArgReader& args) {
    const long index = ParseNumber(args.Next("the page index"), "page index");
    args.Done();
    // PSM_SETCURSEL: the property sheet shows page `index` as a click on its tab does.
    PostMessageA(Current(), WM_USER + 101, static_cast<WPARAM>(index), 0);
}

void Automation::SetTextOf(ArgReader& args) {
    const int id = ParseId(args.Next("the control's id"));
    const std::string text = Gbk(args.Next("the text"));
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    SetText(Control(id, true, timeout), text);
}

void Automation::TextOf(ArgReader& args) {
    const int id = ParseId(args.Next("the control's id"));
    const DWORD timeout = args.Millis("timeout", timeout_);
    if (!args.HasNext()) {
        args.Done();
        Print("    " + Quoted(GbkToUtf8(GetText(Control(id, false, timeout)))));
        return;
    }
    const Word& op = args.Next("= or ~=");
    const std::string wanted = Gbk(args.Next("the text"));
    args.Done();
    if (op.literal || (op.raw != "=" && op.raw != "~=")) throw Failure("text: expected = or ~= before the text");
    HWND control = Control(id, false, timeout);
    std::string actual;
    if (Poll(timeout, [&] { return TextMatches(actual = GetText(control), wanted, op.match); })) return;
    throw Failure("the text of " + IdText(id) + " is " + Quoted(GbkToUtf8(actual)) +
                  (op.match == Match::Exact ? ", expected " : ", which does not contain ") + Quoted(GbkToUtf8(wanted)));
}

namespace {

std::string JoinRow(const std::vector<std::string>& row) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) line += (i ? "\t" : "") + GbkToUtf8(row[i]);
    return line;
}

}  // namespace

void Automation::List(ArgReader& args) {
    const int id = ParseId(args.Next("the list's id"));
    const DWORD timeout = args.Millis("timeout", timeout_);
    std::string check;
    long long count = 0;
    std::vector<std::string> cells;  // GBK
    std::vector<bool> any;           // the cell is a plain *: any text
    if (args.HasNext()) {
        check = args.Next("count or row").raw;
        if (check == "count") {
            count = ParseNumber(args.Next("the count"), "count");
        } else if (check == "row") {
            while (args.HasNext()) {
                const Word& cell = args.Next("a text");
                any.push_back(!cell.literal && cell.text == "*");
                cells.push_back(Gbk(cell));
            }
            if (cells.empty()) throw Failure("list: row needs at least one text");
        } else {
            throw Failure("list: expected count or row, not \"" + check + "\"");
        }
    }
    args.Done();
    HWND list = Control(id, false, timeout);
    std::vector<std::vector<std::string>> rows;
    auto holds = [&] {
        rows = ReadListView(list);
        if (check == "count") return static_cast<long long>(rows.size()) == count;
        for (const auto& row : rows) {
            bool same = row.size() >= cells.size();
            for (size_t i = 0; same && i < cells.size(); ++i) same = any[i] || row[i] == cells[i];
            if (same) return true;
        }
        return false;
    };
    bool held = check.empty() ? (rows = ReadListView(list), true) : Poll(timeout, holds);
    std::string table;
    for (const auto& row : rows) table += "\n      " + JoinRow(row);
    if (held) {
        Print("    " + std::to_string(rows.size()) + " rows" + table);
        return;
    }
    if (check == "count")
        throw Failure("the list has " + std::to_string(rows.size()) + " rows, expected " + std::to_string(count) + ":" + table);
    throw Failure("no row starts with " + Quoted(JoinRow(cells)) + "; the rows are:" + table);
}

void Automation::WaitMessageBox(ArgReader& args) {
    WindowQuery query;
    query.className = "#32770";
    if (const Word* caption = args.Option("caption")) {
        query.title = Gbk(*caption);
        query.titleMatch = caption->match;
    }
    if (const Word* text = args.Option("text")) {
        query.text = Gbk(*text);
        query.textMatch = text->match;
        query.hasText = true;
    }
    if (const Word* process = args.Option("process")) query.processId = FindProcess(process->text).dwProcessId;
    const Word* press = args.Option("press");
    const int button = press ? ParseId(*press) : 0;
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();

    std::vector<HWND> found;
    if (!Poll(timeout, [&] { return !(found = FindTopWindows(query)).empty(); })) {
        std::string seen;
        WindowQuery boxes;
        boxes.className = "#32770";
        for (HWND box : FindTopWindows(boxes)) {
            seen += "\n      " + Describe(box);
            for (const std::string& text : StaticTexts(box)) seen += " " + Quoted(GbkToUtf8(text));
        }
        throw Failure("no such message box appeared within " + std::to_string(timeout) + " ms" +
                      (seen.empty() ? std::string("; none is open") : "; open are:" + seen));
    }
    HWND box = found.front();
    std::string says;
    for (const std::string& text : StaticTexts(box)) says += " " + Quoted(GbkToUtf8(text));
    Print("    " + Describe(box) + says);
    if (!press) {
        current_ = box;
        return;
    }
    HWND control = FindControl(box, button);
    if (!control || !IsWindowVisible(control) || !IsWindowEnabled(control) ||
        lstrcmpiA(GetClass(control).c_str(), "Button") != 0)
        throw Failure("the message box has no button " + press->text + "; its buttons are " + DescribeButtons(box));
    PostMessageA(control, BM_CLICK, 0, 0);
    if (!Poll(timeout, [&] { return !IsWindow(box) || !IsWindowVisible(box); }))
        throw Failure("the message box is still open " + std::to_string(timeout) + " ms after pressing " + press->text);
}

void Automation::CheckFile(ArgReader& args) {
    const Word& path = args.Next("the file's path");
    const Word& op = args.Next("= or ~=");
    const std::string wanted = Gbk(args.Next("the text"));
    args.Done();
    if (op.literal || (op.raw != "=" && op.raw != "~=")) throw Failure("check-file: expected = or ~= before the text");
    const std::string content = ReadWholeFile(Utf8ToGbk(UnixPathToWindows(path.text)));
    if (TextMatches(content, wanted, op.match)) return;
    throw Failure(path.text + " holds " + Quoted(GbkToUtf8(content)) + " (" + std::to_string(content.size()) +
                  " bytes)" + (op.match == Match::Exact ? ", expected " : ", which does not contain ") +
                  Quoted(GbkToUtf8(wanted)) + " (" + std::to_string(wanted.size()) + " bytes in GBK)");
}

void Automation::CheckSameFile(ArgReader& args) {
    const Word& first = args.Next("the first file's path");
    const Word& second = args.Next("the second file's path");
    args.Done();
    const std::string a = ReadWholeFile(Utf8ToGbk(UnixPathToWindows(first.text)));
    const std::string b = ReadWholeFile(Utf8ToGbk(UnixPathToWindows(second.text)));
    if (a == b) return;
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    throw Failure(first.text + " (" + std::to_string(a.size()) + " bytes) and " + second.text + " (" +
                  std::to_string(b.size()) + " bytes) differ from byte " + std::to_string(at) + " on");
}

void Automation::HoldFile(ArgReader& args) {
    const Word& path = args.Next("the file's path");
    args.Done();
    if (held_.count(path.text)) throw Failure(path.text + " is held already");
    // Opened for reading and writing and shared with nobody, as a program that locks its file does.
    HANDLE handle = CreateFileA(Utf8ToGbk(UnixPathToWindows(path.text)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw Failure("cannot hold " + path.text + " (error " + std::to_string(GetLastError()) + ")");
    held_[path.text] = handle;
}

void Automation::ReleaseFile(ArgReader& args) {
    const Word& path = args.Next("the file's path");
    args.Done();
    auto found = held_.find(path.text);
    if (found == held_.end()) throw Failure(path.text + " is not held");
    CloseHandle(found->second);
    held_.erase(found);
}

void Automation::WriteFile(ArgReader& args) {
    const Word& path = args.Next("the file's path");
    const std::string content = Gbk(args.Next("the text"));
    args.Done();
    const std::string file = Utf8ToGbk(UnixPathToWindows(path.text));
    const std::string folder = gbk::FolderOf(file);
    if (!folder.empty()) MakeFolders(folder);
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw Failure("cannot write " + path.text + " (error " + std::to_string(GetLastError()) + ")");
    DWORD written = 0;
    const bool ok = content.empty() ||
                    (::WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                     written == content.size());
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok) throw Failure("cannot write " + path.text + " (error " + std::to_string(error) + ")");
}

void Automation::RemoveFile(ArgReader& args) {
    const Word& path = args.Next("the file's path");
    args.Done();
    if (DeleteFileA(Utf8ToGbk(UnixPathToWindows(path.text)).c_str())) return;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)  // not there, nor its folder
        throw Failure("cannot delete " + path.text + " (error " + std::to_string(error) + ")");
}

void Automation::CheckMissing(ArgReader& args) {
    const Word& path = args.Next("the path");
    const DWORD timeout = args.Millis("timeout", 0);  // a program that removes it may still be at work
    args.Done();
    const std::string file = Utf8ToGbk(UnixPathToWindows(path.text));
    if (!Poll(timeout, [&] { return GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES; }))
        throw Failure(path.text + " is still there");
}

void Automation::Select(ArgReader& args) {
    const int id = ParseId(args.Next("the list's id"));
    const std::string ending = Gbk(args.Next("the end of the item's text"));
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    HWND control = Control(id, true, timeout);
    if (SelectItems(control, ending) == 0) throw Failure("select: no item of " + IdText(id) + " ends with that text");
}

void Automation::DefineDrive(ArgReader& args) {
    const std::string letter = args.Next("the drive letter").text;
    const std::string folder = args.Next("the Unix folder").text;
    const std::string device = args.Next("the Unix device").text;
    args.Done();
    if (letter.size() != 1 || !mountex::DefineUnixDrive(letter[0], folder, device))
        throw Failure("define-drive: Wine's mount manager did not take the letter " + letter);
}

void Automation::Screenshot(ArgReader& args) {
    const std::string path = args.Next("the PNG's Unix path").text;
    const DWORD timeout = args.Millis("timeout", timeout_);
    args.Done();
    // Let every window of the started programs finish painting: a message sent to a window returns
    // once its thread is back in its message loop, which paints as soon as nothing else is queued;
    // Wine shows the painted surface on the display a moment later.
    for (const auto& entry : processes_) {
        WindowQuery query;
        query.processId = entry.second.dwProcessId;
        for (HWND window : FindTopWindows(query)) Ping(window);
    }
    Sleep(200);
    TakeScreenshot(path, timeout);
    Print("    saved " + path);
}

void Automation::SleepFor(ArgReader& args) {
    const long long ms = ParseNumber(args.Next("milliseconds"), "sleep");
    args.Done();
    if (ms < 0) throw Failure("sleep: the time must not be negative");
    Sleep(static_cast<DWORD>(ms));
}

void Automation::SetTimeout(ArgReader& args) {
    const long long ms = ParseNumber(args.Next("milliseconds"), "timeout");
    args.Done();
    if (ms < 0) throw Failure("timeout: the time must not be negative");
    timeout_ = static_cast<DWORD>(ms);
}

void Automation::SetVariable(ArgReader& args) {
    const std::string name = args.Next("the variable's name").text;
    const std::string value = args.Next("the value").text;
    args.Done();
    vars_.Set(name, value);
}

