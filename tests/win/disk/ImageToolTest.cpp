#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "DiskImages.h"

// The image scanner built for Windows reads an image file as the native one does.

namespace {

// Runs `command`, its standard output into `outputPath`; the exit code, or -1 when it cannot start.
int RunTool(std::string command, const std::string& outputPath) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = ::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                  nullptr);
    if (output == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    BOOL started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                    &process);
    ::CloseHandle(output);
    if (!started) return -1;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::string WithoutCarriageReturns(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

}  // namespace

TEST(ImageTool, TheWindowsBuildListsWhatTheNativeBuildLists) {
    TempFolder folder("scan");
    std::string tool = WinePath(DELETED_SCAN_EXE);
    for (const char* name : {"fat32", "ntfs"}) {
        std::string output = folder / (std::string(name) + ".txt");
        ASSERT_EQ(RunTool("\"" + tool + "\" \"" + FixturePath(std::string(name) + ".img") + "\"", output), 0) << name;
        EXPECT_EQ(WithoutCarriageReturns(ReadBytes(output)), ReadBytes(FixturePath(std::string(name) + ".expected")))
            << name;
    }
    std::string output = folder / "usage.txt";
    EXPECT_EQ(RunTool("\"" + tool + "\" --limit", output), 2) << "bad usage";
    EXPECT_EQ(RunTool("\"" + tool + "\" \"" + FixturePath("fat32.expected") + "\"", output), 1) << "not a volume";
}
