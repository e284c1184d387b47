#include "EngineFixture.h"

#include <cstring>

#include "GbkText.h"
#include "HostShell.h"
#include "ImportHook.h"

namespace engine_test {

namespace {

typedef BOOL(WINAPI* FlushFn)(HANDLE);
FlushFn realFlush = nullptr;
volatile LONG flushCalls = 0;

BOOL WINAPI CountingFlush(HANDLE file) {
    ::InterlockedIncrement(&flushCalls);
    return realFlush(file);
}

// Points this program's import of FlushFileBuffers at the counter.
bool HookFlushFileBuffers() {
    void* real = HookKernel32Import("FlushFileBuffers", reinterpret_cast<void*>(&CountingFlush));
    realFlush = reinterpret_cast<FlushFn>(real);
    return realFlush != nullptr;
}

}  // namespace

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_EQ(written, bytes.size()) << path;
}

std::string ReadBytes(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    DWORD read = 0;
    while (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
        bytes.append(buffer.data(), read);
    }
    ::CloseHandle(file);
    return bytes;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolder(const std::string& path) { ::CreateDirectoryA(path.c_str(), nullptr); }

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName, child = path + "\\" + name;
            if (name == "." || name == "..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                RemoveDirLink(child);
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}

std::string Original(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(0xC0 + i % 37);
    return bytes;
}

bool MakeDirLink(const std::string& target, const std::string& link) {
    std::string hostTarget = HostPath(target);
    if (!hostTarget.empty()) {
        RunHostShell("ln -s '" + hostTarget + "' '" + HostPath(gbk::FolderOf(link)) + "/" + gbk::NameOf(link) + "'");
        for (int wait = 0; wait < 100 && !Exists(link); ++wait) ::Sleep(50);
        return Exists(link);
    }
    typedef BOOLEAN(WINAPI * SymlinkFn)(LPCSTR, LPCSTR, DWORD);
    FARPROC found = ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA");
    return found && reinterpret_cast<SymlinkFn>(reinterpret_cast<void (*)()>(found))(link.c_str(), target.c_str(), 1);
}

void RemoveDirLink(const std::string& link) {
    std::string host = HostPath(link);
    if (!host.empty()) {
        RunHostShell("rm -f '" + host + "'");
        for (int wait = 0; wait < 100 && Exists(link); ++wait) ::Sleep(50);
    } else {
        ::RemoveDirectoryA(link.c_str());
    }
}

long FlushCount() {
    static const bool hooked = HookFlushFileBuffers();
    return hooked ? flushCalls : -1;
}

void PassRecorder::PassWritten(const std::string& path, int pass) {
    PassRecord record{path, pass, ReadBytes(path), FlushCount() - flushes_, -1, -1, std::string()};
    flushes_ = FlushCount();
    if (g_progressDlg) {
        record.totalBar = g_progressDlg->totalBar.GetPos();
        record.currentBar = g_progressDlg->currentBar.GetPos();
        record.passText = g_progressDlg->GetDlgItemText(IDC_PASS_TEXT);
    }
    records.push_back(record);
    if (then) then(path, pass);
}

void EngineTest::SetUp() {
    static int serial = 0;
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    dir = std::string(temp) + "purgix-engine-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    MakeFolder(dir);
    parent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(view.CreateView(parent, AFX_IDW_PANE_FIRST));
    for (int column = 0; column < 4; ++column) view.List().InsertColumn(column, "", LVCFMT_LEFT, 80);
    view.iniPath = Path("main.ini");
    view.settings.passes = 1;
    view.passObserver = &recorder;
    g_progressTotals.Reset();
    EnsureProgressDialog();
}

void EngineTest::TearDown() {
    DestroyProgressDialog();
    view.DestroyWindow();
    ::DestroyWindow(parent);
    RemoveTree(dir);
}

void EngineTest::EnsureProgressDialog() {
    if (!g_progressDlg) {
        ASSERT_NE(CreateProgressDialog(), nullptr);
    }
}

}  // namespace engine_test
