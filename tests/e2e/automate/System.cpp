#include "System.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "GbkText.h"
#include "Script.h"

namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) throw Failure("text is not valid in code page " + std::to_string(codePage));
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// `lossy` (when given) is set when a character had no form in the code page.
std::string Narrow(const std::wstring& wide, UINT codePage, bool* lossy) {
    if (wide.empty()) return std::string();
    BOOL usedDefault = FALSE;
    BOOL* pUsedDefault = (lossy && codePage != CP_UTF8) ? &usedDefault : nullptr;
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, pUsedDefault);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, pUsedDefault);
    if (lossy) *lossy = usedDefault != FALSE;
    return text;
}

std::string FromWide(const wchar_t* wide) { return Narrow(std::wstring(wide), CP_UTF8, nullptr); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// True when the file at `path` is a complete PNG: it ends with the IEND chunk (length 0, "IEND", CRC).
bool IsCompletePng(const std::string& path, LONGLONG& size) {
    static const unsigned char kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length{};
    unsigned char tail[12] = {};
    DWORD got = 0;
    bool complete = false;
    if (GetFileSizeEx(file, &length) && length.QuadPart >= 8 + 12) {
        LARGE_INTEGER at;
        at.QuadPart = length.QuadPart - 12;
        complete = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, tail, 12, &got, nullptr) &&
                   got == 12 && memcmp(tail, kEnd, 12) == 0;
    }
    size = length.QuadPart;
    CloseHandle(file);
    return complete;
}

}  // namespace

std::string Utf8ToGbk(const std::string& utf8) {
    bool lossy = false;
    std::string gbk = Narrow(Widen(utf8, CP_UTF8), kGbk, &lossy);
    if (lossy) throw Failure(Quoted(utf8) + " has characters that GBK cannot hold");
    return gbk;
}

std::string GbkToUtf8(const std::string& gbk) {
    // Window texts are not checked for validity: show what can be shown.
    if (gbk.empty()) return gbk;
    int n = MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), &wide[0], n);
    return Narrow(wide, CP_UTF8, nullptr);
}

std::string Quoted(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        default: out += c;
        }
    }
    return out + "\"";
}

void Print(const std::string& utf8) {
    fputs(utf8.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

bool GetEnvironmentUtf8(const std::string& name, std::string& value) {
    std::wstring wideName = Widen(name, CP_UTF8);
    DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n == 0) return false;
    std::vector<wchar_t> buffer(n + 1);
    GetEnvironmentVariableW(wideName.c_str(), buffer.data(), n + 1);
    value = FromWide(buffer.data());
    return true;
}

std::string UnixPathToWindows(const std::string& utf8Path) {
    if (utf8Path.empty() || utf8Path[0] != '/') return utf8Path;
    // Wine's own mapping knows every drive of the prefix; Z: (the Unix root) is the fallback.
    typedef WCHAR*(CDECL * UnixToDos)(const char*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto toDos = reinterpret_cast<UnixToDos>(
        reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr));
    if (toDos) {
        if (WCHAR* dos = toDos(utf8Path.c_str())) {
            std::string result = FromWide(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    std::string result = "Z:" + utf8Path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

void MakeFolders(const std::string& folder) {
    if (folder.size() <= 3 || Exists(folder)) return;  // "Z:" or "Z:\" always exists
    MakeFolders(gbk::FolderOf(folder));
    if (CreateDirectoryA(folder.c_str(), nullptr)) return;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
        throw Failure("cannot make the folder " + GbkToUtf8(folder) + " (error " + std::to_string(error) + ")");
}

std::string ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw Failure("cannot open " + GbkToUtf8(path) + " (error " + std::to_string(error) + ")");
    }
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

void AppendArgument(std::string& commandLine, const std::string& argument) {
    if (!commandLine.empty()) commandLine += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        commandLine += argument;
        return;
    }
    // Backslashes count only before a quote; a GBK character whose trail byte is 0x5C is no backslash.
    commandLine += '"';
    size_t backslashes = 0;
    for (size_t i = 0; i < argument.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(argument[i]);
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        commandLine.append(backslashes, '\\');
        backslashes = 0;
        commandLine += static_cast<char>(c);
        if (gbk::IsLeadByte(c) && i + 1 < argument.size()) commandLine += argument[++i];
    }
    commandLine.append(backslashes * 2, '\\');
    commandLine += '"';
}

// Under Wine, CreateProcessA starts a Linux program given by its Unix path ("/usr/bin/import", or
// "Z:\usr\bin\import"): it succeeds but returns no process handle, so there is nothing to wait on.
// The Linux program inherits DISPLAY from the environment and gets its arguments converted back to
// UTF-8. The shot is finished when the file ends with PNG's IEND chunk and stops growing.
void TakeScreenshot(const std::string& unixPath, DWORD timeoutMs) {
    static const char* const kImport[] = {"/usr/bin/import", "/usr/local/bin/import"};
    std::string import;
    for (const char* candidate : kImport) {
        if (Exists(Utf8ToGbk(UnixPathToWindows(candidate)))) {
            import = candidate;
            break;
        }
    }
    if (import.empty()) throw Failure("screenshot: ImageMagick's import is not installed (/usr/bin/import)");
    if (unixPath.empty() || unixPath[0] != '/') throw Failure("screenshot: the path must be an absolute Unix path");

    const std::string windowsPath = Utf8ToGbk(UnixPathToWindows(unixPath));
    MakeFolders(gbk::FolderOf(windowsPath));
    if (!DeleteFileA(windowsPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        throw Failure("screenshot: cannot replace " + unixPath);

    std::string commandLine;
    AppendArgument(commandLine, import);
    AppendArgument(commandLine, "-window");
    AppendArgument(commandLine, "root");
    AppendArgument(commandLine, Utf8ToGbk(unixPath));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        throw Failure("screenshot: cannot start " + import + " (error " + std::to_string(error) + ")");
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);

    const DWORD start = GetTickCount();
    LONGLONG lastSize = -1;
    while (GetTickCount() - start < timeoutMs) {
        LONGLONG size = 0;
        bool complete = IsCompletePng(windowsPath, size);
        if (complete && size == lastSize) return;
        lastSize = complete ? size : -1;
        Sleep(50);
    }
    throw Failure("screenshot: " + unixPath + " was not written within " + std::to_string(timeoutMs) + " ms");
}
