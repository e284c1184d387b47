#include <winsock2.h>  // before <windows.h>, which WineHost.h brings

#include "WineHost.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace mountex {

namespace {

// How long the helper may take to say anything at all, and how often its status is read.
constexpr DWORD kStartWaitMs = 20000;
constexpr DWORD kPollMs = 50;
// A helper that is silent for this long is checked for life.
constexpr DWORD kLifeCheckMs = 1000;

typedef char*(CDECL* UnixFileNameFn)(const WCHAR*);
typedef WCHAR*(CDECL* DosFileNameFn)(const char*);

template <typename Fn>
Fn KernelExport(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), name)));
}

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n > 0 ? n : 0, L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string UnixPathOfWide(const std::wstring& path) {
    static const UnixFileNameFn toUnix = KernelExport<UnixFileNameFn>("wine_get_unix_file_name");
    if (!toUnix || path.empty()) return std::string();
    char* unix = toUnix(path.c_str());
    if (!unix) return std::string();
    std::string result(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

// One word of a Windows command line, quoted so that Wine's splitting gives it back unchanged:
// backslashes are doubled only where a quote follows them.
void AppendQuoted(std::wstring& line, const std::wstring& word) {
    line += L" \"";
    size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            if (c == L'"') line.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        line += c;
    }
    line.append(backslashes, L'\\');
    line += L'"';
}

// A connected pair of loopback sockets. The listener lives only until its one connection is
// accepted, and the accepted end must be the one this process connected: another local program
// that slipped in first is refused.
bool SocketPair(SOCKET& mine, SOCKET& theirs) {
    mine = theirs = INVALID_SOCKET;
    SOCKET listener = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    if (listener == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bool ok = ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::listen(listener, 1) == 0 &&
              ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    if (ok) {
        mine = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
        ok = mine != INVALID_SOCKET && ::connect(mine, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    if (ok) {
        sockaddr_in local = {}, peer = {};
        int localSize = sizeof local, peerSize = sizeof peer;
        theirs = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerSize);
        ok = theirs != INVALID_SOCKET &&
             ::getsockname(mine, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
             peer.sin_port == local.sin_port && peer.sin_addr.s_addr == local.sin_addr.s_addr;
    }
    ::closesocket(listener);
    if (!ok) {
        if (mine != INVALID_SOCKET) ::closesocket(mine);
        if (theirs != INVALID_SOCKET) ::closesocket(theirs);
        mine = theirs = INVALID_SOCKET;
    }
    return ok;
}

// The helper's status file: "state=", "result=" and "pid=" lines, replaced whole by the helper.
struct Status {
    std::string state;
    std::string result;
    unsigned long pid = 0;
};

bool ReadStatus(const std::wstring& path, Status& status) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char text[512];
    DWORD got = 0;
    const BOOL read = ::ReadFile(file, text, sizeof text - 1, &got, nullptr);
    ::CloseHandle(file);
    if (!read) return false;
    text[got] = '\0';
    status = Status();
    for (char* line = std::strtok(text, "\r\n"); line; line = std::strtok(nullptr, "\r\n")) {
        if (!std::strncmp(line, "state=", 6)) status.state = line + 6;
        else if (!std::strncmp(line, "result=", 7)) status.result = line + 7;
        else if (!std::strncmp(line, "pid=", 4)) status.pid = std::strtoul(line + 4, nullptr, 10);
    }
    return !status.state.empty();
}

bool Final(const Status& s) { return s.state == "ready" || s.state == "error" || s.state == "unmounted"; }

bool Alive(unsigned long pid) {
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/%lu", pid);
    const std::wstring path = WindowsPath(proc);
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A status file of this process's own in the temporary folder, and its Unix name.
bool NewStatusFile(std::wstring& path, std::string& unixPath) {
    static LONG counter = 0;
    WCHAR folder[MAX_PATH];
    const DWORD n = ::GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH) return false;
    WCHAR name[64];
    std::swprintf(name, 64, L"mountex-%lu-%ld.status", ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
    path = std::wstring(folder) + name;
    ::DeleteFileW(path.c_str());
    unixPath = UnixPathOfWide(path);
    return !unixPath.empty();
}

class CWinsock {
public:
    CWinsock() { ok_ = ::WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~CWinsock() {
        if (ok_) ::WSACleanup();
    }
    bool Ok() const { return ok_; }

private:
    WSADATA data_;
    bool ok_;
};

}  // namespace

bool UnderWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

std::string UnixPath(const char* windowsPath) {
    char full[MAX_PATH];
    const DWORD n = ::GetFullPathNameA(windowsPath, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return UnixPathOfWide(Widen(full, CP_ACP));
}

std::wstring WindowsPath(const std::string& unixPath) {
    static const DosFileNameFn toDos = KernelExport<DosFileNameFn>("wine_get_dos_file_name");
    if (!toDos) return std::wstring();
    WCHAR* dos = toDos(unixPath.c_str());
    if (!dos) return std::wstring();
    std::wstring result(dos);
    ::HeapFree(::GetProcessHeap(), 0, dos);
    return result;
}

CPassword::CPassword(const char* buffer) {
    if (!buffer) return;
    size_ = strnlen(buffer, 17);
    if (Ok()) std::memcpy(text_, buffer, size_);
}

CPassword::~CPassword() { ::SecureZeroMemory(text_, sizeof text_); }

CWineHost::CWineHost(HMODULE module) {
    WCHAR path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring folder(path, n);
    folder.resize(folder.find_last_of(L'\\') + 1);
    helper_ = folder + L"mountex-host";
}

bool CWineHost::Run(const std::string* args, size_t count, const CPassword* password, Answer& answer) {
    answer = Answer();
    if (helper_.empty() || ::GetFileAttributesW(helper_.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    std::wstring statusPath;
    std::string statusUnix;
    if (!NewStatusFile(statusPath, statusUnix)) return false;

    std::wstring line;
    AppendQuoted(line, helper_);
    for (size_t i = 0; i < count; ++i) AppendQuoted(line, Widen(args[i], CP_UTF8));
    AppendQuoted(line, L"--status");
    AppendQuoted(line, Widen(statusUnix, CP_UTF8));

    CWinsock winsock;
    SOCKET mine = INVALID_SOCKET, theirs = INVALID_SOCKET;
    if (password && (!winsock.Ok() || !SocketPair(mine, theirs))) return false;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = password ? reinterpret_cast<HANDLE>(theirs) : nullptr;
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> commandLine(line.begin() + 1, line.end());
    commandLine.push_back(L'\0');
    // Detached, so that Wine gives the helper the standard handles whatever console this process has
    // (see WineHost.h).
    const BOOL started = ::CreateProcessW(helper_.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                          DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
    if (password) {
        ::closesocket(theirs);
        if (started) {
            char message[18];
            std::memcpy(message, password->Data(), password->Size());
            message[password->Size()] = '\n';
            ::send(mine, message, static_cast<int>(password->Size() + 1), 0);
            ::SecureZeroMemory(message, sizeof message);
            ::shutdown(mine, SD_SEND);
        }
        ::closesocket(mine);
    }
    if (!started) return false;
    if (process.hProcess) ::CloseHandle(process.hProcess);
    if (process.hThread) ::CloseHandle(process.hThread);

    Status status;
    bool heard = false;
    DWORD waited = 0, sinceCheck = 0;
    for (;;) {
        if (ReadStatus(statusPath, status)) {
            heard = true;
            if (Final(status)) break;
        }
        if (!heard && waited >= kStartWaitMs) break;
        if (heard && sinceCheck >= kLifeCheckMs) {
            sinceCheck = 0;
            // Read once more after a death: the last word may have come just before it.
            if (!Alive(status.pid) && !(ReadStatus(statusPath, status) && Final(status))) break;
        }
        ::Sleep(kPollMs);
        waited += kPollMs;
        sinceCheck += kPollMs;
    }
    ::DeleteFileW(statusPath.c_str());
    ::DeleteFileW((statusPath + L".tmp").c_str());
    if (!Final(status)) return false;
    answer.state = status.state;
    answer.result = status.result;
    return true;
}

}  // namespace mountex
