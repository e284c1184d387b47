#include "HostShell.h"

#include <windows.h>

#include "WineDrives.h"

std::string HostPath(const std::string& windowsPath) {
    typedef char*(CDECL * UnixNameFn)(const WCHAR*);
    FARPROC found = ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (!found) return std::string();
    UnixNameFn unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void (*)()>(found));
    WCHAR wide[MAX_PATH * 2];
    if (!::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2)) return std::string();
    char* host = unixName(wide);
    if (!host) return std::string();
    std::string result = host;
    ::HeapFree(::GetProcessHeap(), 0, host);
    return result;
}

void StartHostProgram(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return;
    if (process.hProcess) ::CloseHandle(process.hProcess);
    if (process.hThread) ::CloseHandle(process.hThread);
}

void RunHostShell(const std::string& command) {
    static int counter = 0;
    const std::string marker =
        "/tmp/purgix-host-shell-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
    StartHostProgram("/bin/sh -c \"" + command + "; : > '" + marker + "'\"");
    const std::string seen = WinePath(marker);
    for (int waited = 0; waited < 30000 && ::GetFileAttributesA(seen.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 20)
        ::Sleep(20);
    ::DeleteFileA(seen.c_str());
}
