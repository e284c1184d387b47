#include "Gui.h"

#include <commctrl.h>

#include "System.h"

namespace {

constexpr UINT kAnswerMs = 5000;  // how long a window may take to answer one message

LRESULT Send(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &result))
        return static_cast<LRESULT>(result);
    const DWORD error = GetLastError();
    char number[16];
    wsprintfA(number, "0x%04X", msg);
    throw Failure(Describe(window) + " did not answer message " + number + " (error " + std::to_string(error) + ")");
}

// False when the window is gone or does not answer in time.
bool TryGetText(HWND window, std::string& text) {
    DWORD_PTR length = 0;
    text.clear();
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &length))
        return false;
    if (length == 0) return true;
    std::vector<char> buffer(length * 2 + 2);  // the length may count characters, not GBK bytes
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &got))
        return false;
    text.assign(buffer.data(), got < buffer.size() ? got : 0);
    return true;
}

bool IEquals(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The caption as the window manager stores it; never blocks on a busy window.
std::string StoredTitle(HWND window) {
    char buffer[1024] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// The top-level windows (parent null) or all descendants of `parent`. The callbacks only collect:
// nothing may throw through the system's frames.
BOOL CALLBACK AddWindow(HWND window, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(window);
    return TRUE;
}

std::vector<HWND> Collect(HWND parent) {
    std::vector<HWND> windows;
    if (parent)
        EnumChildWindows(parent, AddWindow, reinterpret_cast<LPARAM>(&windows));
    else
        EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Memory inside another process, released with the object.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size) : process_(process) {
        address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!address_) throw Failure("list: cannot allocate memory in the target process (error " +
                                     std::to_string(GetLastError()) + ")");
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* Address() const { return static_cast<char*>(address_); }
    void Write(const void* at, const void* data, size_t size) {
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_, const_cast<void*>(at), data, size, &done) || done != size)
            throw Failure("list: cannot write into the target process");
    }
    void Read(const void* at, void* data, size_t size) {
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_, at, data, size, &done) || done != size)
            throw Failure("list: cannot read from the target process");
    }

private:
    HANDLE process_;
    void* address_ = nullptr;
};

class ProcessHandle {
public:
    explicit ProcessHandle(HANDLE h) : handle_(h) {}
    ~ProcessHandle() {
        if (handle_) CloseHandle(handle_);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

bool IsWow64(HANDLE process) {
    BOOL wow = FALSE;
    return IsWow64Process(process, &wow) && wow;
}

}  // namespace

bool TextMatches(const std::string& actual, const std::string& wanted, Match match) {
    return match == Match::Exact ? actual == wanted : actual.find(wanted) != std::string::npos;
}

std::vector<HWND> FindTopWindows(const WindowQuery& query) {
    std::vector<HWND> found;
    for (HWND window : Collect(nullptr)) {
        if (!IsWindowVisible(window)) continue;
        if (query.processId) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid != query.processId) continue;
        }
        if (!query.className.empty() && !IEquals(GetClass(window), query.className)) continue;
        if (!query.title.empty() && !TextMatches(StoredTitle(window), query.title, query.titleMatch)) continue;
        if (query.hasText) {
            bool any = false;
            for (const std::string& text : StaticTexts(window)) any = any || TextMatches(text, query.text, query.textMatch);
            if (!any) continue;
        }
        found.push_back(window);
    }
    return found;
}

std::vector<std::string> StaticTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child : Collect(dialog)) {
        if (!IEquals(GetClass(child), "Static")) continue;
        std::string text;
        if (TryGetText(child, text) && !text.empty()) texts.push_back(text);
    }
    return texts;
}

void Ping(HWND window) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &result);
}

std::string GetText(HWND window) {
    std::string text;
    if (!TryGetText(window, text))
        throw Failure(Describe(window) + " did not give its text (error " + std::to_string(GetLastError()) + ")");
    return text;
}

void SetText(HWND window, const std::string& text) {
    if (!Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())))
        throw Failure(Describe(window) + " refused the text " + Quoted(GbkToUtf8(text)));
}

std::string GetClass(HWND window) {
    char buffer[256] = "";
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

HWND FindControl(HWND parent, int id) {
    HWND hidden = nullptr;
    for (HWND child : Collect(parent)) {
        if ((GetDlgCtrlID(child) & 0xFFFF) != (id & 0xFFFF)) continue;
        if (IsWindowVisible(child)) return child;
        if (!hidden) hidden = child;
    }
    return hidden;
}

std::string DescribeButtons(HWND dialog) {
    std::string list;
    for (HWND child : Collect(dialog)) {
        if (!IEquals(GetClass(child), "Button") || !IsWindowVisible(child) || !IsWindowEnabled(child)) continue;
        if (!list.empty()) list += ", ";
        list += std::to_string(GetDlgCtrlID(child)) + " " + Quoted(GbkToUtf8(StoredTitle(child)));
    }
    return list.empty() ? "none" : list;
}

std::string Describe(HWND window) {
    return GbkToUtf8(GetClass(window)) + " " + Quoted(GbkToUtf8(StoredTitle(window)));
}

std::vector<std::vector<std::string>> ReadListView(HWND list) {
    if (!IEquals(GetClass(list), WC_LISTVIEWA)) throw Failure("list: " + Describe(list) + " is not a list view");
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    ProcessHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                          PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.Get()) throw Failure("list: cannot open the process of the list view (error " +
                                      std::to_string(GetLastError()) + ")");
    // LVITEMA holds a pointer, so its layout follows the width of the process that owns the list.
    if (IsWow64(process.Get()) != IsWow64(GetCurrentProcess()))
        throw Failure("list: the program is not as wide as automate (32-bit against 64-bit); build automate "
                      "in the same tree as the program");

    const int count = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    if (columns < 1) columns = 1;

    constexpr size_t kTextMax = 4096;
    RemoteBuffer remote(process.Get(), sizeof(LVITEMA) + kTextMax);
    char* remoteText = remote.Address() + sizeof(LVITEMA);
    std::vector<std::vector<std::string>> rows;
    std::vector<char> text(kTextMax);
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = remoteText;
            item.cchTextMax = static_cast<int>(kTextMax);
            remote.Write(remote.Address(), &item, sizeof item);
            Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.Address()));
            // The list may answer with a pointer to its own copy of the text instead of filling ours.
            remote.Read(remote.Address(), &item, sizeof item);
            std::string cell;
            if (item.pszText == remoteText) {
                remote.Read(remoteText, text.data(), kTextMax);
                text.back() = '\0';
                cell = text.data();
            } else if (item.pszText && item.pszText != LPSTR_TEXTCALLBACKA) {
                // A buffer of the list's own, of unknown size: read up to its end a byte at a time.
                for (const char* at = item.pszText; cell.size() < kTextMax; ++at) {
                    char c = 0;
                    remote.Read(at, &c, 1);
                    if (!c) break;
                    cell += c;
                }
            }
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    return rows;
}

int SelectItems(HWND control, const std::string& ending) {
    const std::string kind = GetClass(control);
    auto ends = [&](const std::string& text) {
        return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
    };
    HWND owner = GetParent(control);
    const int id = GetDlgCtrlID(control);
    if (IEquals(kind, "ComboBox")) {
        std::string seen;
        const int count = static_cast<int>(Send(control, CB_GETCOUNT, 0, 0));
        const LRESULT before = Send(control, CB_GETCURSEL, 0, 0);
        // The entry's text is read as the control's own once it is chosen: WM_GETTEXT crosses
        // processes, CB_GETLBTEXT does not reliably.
        for (int i = 0; i < count; ++i) {
            Send(control, CB_SETCURSEL, i, 0);
            const std::string text = GetText(control);
            seen += std::string(seen.empty() ? "" : ", ") + "\"" + text + "\"";
            if (!ends(text)) continue;
            Send(owner, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
            return 1;
        }
        Send(control, CB_SETCURSEL, before, 0);
        throw Failure("select: the entries are " + (seen.empty() ? std::string("none") : seen));
    }
    const std::vector<std::vector<std::string>> rows = ReadListView(control);
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    ProcessHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                          PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.Get()) throw Failure("select: cannot open the process of the list view");
    RemoteBuffer remote(process.Get(), sizeof(LVITEMA) + sizeof(RECT));
    LVITEMA none{};
    none.stateMask = LVIS_SELECTED;
    remote.Write(remote.Address(), &none, sizeof none);
    Send(control, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote.Address()));
    // Each row is clicked where it is shown (with Ctrl after the first), so the list selects it and
    // tells its window itself: WM_NOTIFY does not cross processes.
    int selected = 0;
    char* remoteRect = remote.Address() + sizeof(LVITEMA);
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].empty() || !ends(rows[row][0])) continue;
        Send(control, LVM_ENSUREVISIBLE, row, FALSE);
        RECT area{};
        area.left = LVIR_ICON;
        remote.Write(remoteRect, &area, sizeof area);
        if (!Send(control, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remoteRect))) continue;
        remote.Read(remoteRect, &area, sizeof area);
        const LPARAM at = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        const WPARAM keys = selected ? MK_CONTROL : 0;
        PostMessageA(control, WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
        PostMessageA(control, WM_LBUTTONUP, keys, at);
        Ping(control);
        ++selected;
    }
    return selected;
}
