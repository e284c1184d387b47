#pragma once
// The driver for the disk tests: installed by the real Drivset into the test prefix before a test
// program's tests, removed after them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "DiskServer.h"
#include "WineDrives.h"

inline void RunDrivset(const char* verb) {
    std::string command = "\"" + WinePath(DRIVSET_EXE) + "\" " + verb;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process));
    DWORD waited = ::WaitForSingleObject(process.hProcess, 60000);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "Drivset " << verb << " did not end";
}

// Runs Drivset with `verb` and waits until the driver's interface is there (or gone): the first
// installation after the prefix's services start can take a few seconds to bring the driver up, and
// a device that came up after its removal would be left behind for the next program.
inline void SetDriverInstalled(bool installed) {
    RunDrivset(installed ? "Install" : "Uninstall");
    for (int i = 0; i < 200 && mountex::DriverInterfacePath().empty() == installed; ++i) ::Sleep(50);
}
