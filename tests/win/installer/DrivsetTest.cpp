#include <gtest/gtest.h>
#include <windows.h>
#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "DriverSetup.h"
#include "DrivsetApp.h"
#include "ScriptedUi.h"

// Drivset installs the real driver into the test prefix and removes it again. Every test leaves the
// prefix without the driver's device.

namespace {

const DWORD kDrivsetTimeoutMs = 60000;

std::string WindowsPath(std::string unixPath) {
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return "Z:" + unixPath;
}

// Runs the real Drivset.exe with `arguments` and waits for it to end. A run that does not end is
// stopped (it is waiting on a message box: something failed) and reported.
void RunDrivset(const std::string& arguments) {
    std::string command = "\"" + WindowsPath(DRIVSET_EXE) + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process))
        << command;
    DWORD waited = ::WaitForSingleObject(process.hProcess, kDrivsetTimeoutMs);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "Drivset " << arguments << " did not end: it shows a failure message";
}

// The device paths of the driver's present interfaces.
std::vector<std::string> InterfacePaths() {
    std::vector<std::string> paths;
    HDEVINFO list = ::SetupDiGetClassDevsA(&kDriverInterfaceClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return paths;
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof item;
    for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(list, nullptr, &kDriverInterfaceClass, i, &item); ++i) {
        DWORD size = 0;
        ::SetupDiGetDeviceInterfaceDetailA(list, &item, nullptr, 0, &size, nullptr);
        std::vector<char> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (size && ::SetupDiGetDeviceInterfaceDetailA(list, &item, detail, size, nullptr, nullptr))
            paths.push_back(detail->DevicePath);
    }
    ::SetupDiDestroyDeviceInfoList(list);
    return paths;
}

// Lockvale's test for the driver: the first interface of the class opens for reading and writing.
bool DriverOpens() {
    std::vector<std::string> paths = InterfacePaths();
    if (paths.empty()) return false;
    HANDLE device = ::CreateFileA(paths[0].c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(device);
    return true;
}

// The device class FileDisk.inf declares.
bool InfClass(GUID& classGuid, char (&className)[32]) {
    DWORD size = 0;
    std::string inf = WindowsPath(DRIVSET_FOLDER) + "\\FileDisk.inf";
    return ::SetupDiGetINFClassA(inf.c_str(), &classGuid, className, sizeof className, &size) != FALSE;
}

// The devices of the INF's class that the driver drives, registered ones included.
int DriverDeviceCount() {
    GUID classGuid;
    char className[32];
    if (!InfClass(classGuid, className)) return -1;
    HDEVINFO list = ::SetupDiGetClassDevsA(&classGuid, nullptr, nullptr, 0);
    if (list == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(list, i, &device); ++i) {
        char service[MAX_PATH] = {};
        if (::SetupDiGetDeviceRegistryPropertyA(list, &device, SPDRP_SERVICE, nullptr, reinterpret_cast<BYTE*>(service),
                                                sizeof service, nullptr) &&
            _stricmp(service, kDriverServiceName) == 0)
            ++count;
    }
    ::SetupDiDestroyDeviceInfoList(list);
    return count;
}

// Brings the prefix to a known state through Drivset itself.
void MakeInstalled(bool installed) {
    RunDrivset(installed ? "Install" : "Uninstall");
    ASSERT_EQ(DriverOpens(), installed) << (installed ? "Install did not install" : "Uninstall did not remove");
}

}  // namespace

// The command word is looked for case-sensitively in the whole command line; removal wins. An
// installed driver is one device whose interface opens, as Lockvale checks it.
TEST(Drivset, TheCommandWordChoosesTheOperation) {
    struct Case {
        bool installedBefore;
        const char* arguments;
        bool installedAfter;
    } cases[] = {
        {false, "Install", true},
        {true, "Install", true},             // already there: no second device
        {true, "Uninstall", false},
        {true, "Install Uninstall", false},  // both words: removal only
        {false, "Install Uninstall", false},
        {false, "install", false},           // lower case: nothing
        {true, "uninstall", true},
        {false, "", false},
        {false, "/Installnow", true},        // anywhere in the line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.arguments + "\" with the driver " + (c.installedBefore ? "in" : "absent"));
        MakeInstalled(c.installedBefore);
        RunDrivset(c.arguments);
        EXPECT_EQ(DriverOpens(), c.installedAfter);
        EXPECT_EQ(InterfacePaths().size(), c.installedAfter ? 1u : 0u);
        EXPECT_EQ(DriverDeviceCount(), c.installedAfter ? 1 : 0);
    }
    MakeInstalled(false);
}

// A second device of the driver (left by an earlier setup, say) goes too: the removal scan must not
// skip the device that follows one it removed. What was removed no longer opens.
TEST(Drivset, UninstallRemovesEveryDeviceOfTheDriver) {
    MakeInstalled(true);
    std::string firstPath = InterfacePaths().at(0);
    GUID classGuid;
    char className[32];
    ASSERT_TRUE(InfClass(classGuid, className));
    HDEVINFO list = ::SetupDiCreateDeviceInfoList(&classGuid, nullptr);
    ASSERT_NE(list, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    char instanceId[MAX_PATH] = {};
    bool registered = ::SetupDiCreateDeviceInfoA(list, className, &classGuid, nullptr, nullptr, DICD_GENERATE_ID,
                                                 &device) &&
                      ::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, list, &device) &&
                      ::SetupDiGetDeviceInstanceIdA(list, &device, instanceId, sizeof instanceId, nullptr);
    ::SetupDiDestroyDeviceInfoList(list);
    ASSERT_TRUE(registered);
    // The service a driver installation would have given it, in lower case.
    HKEY key;
    std::string keyPath = std::string("System\\CurrentControlSet\\Enum\\") + instanceId;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS) << keyPath;
    ::RegSetValueExA(key, "Service", 0, REG_SZ, reinterpret_cast<const BYTE*>("quilfiledisk"), 13);
    ::RegCloseKey(key);
    ASSERT_EQ(DriverDeviceCount(), 2);

    RunDrivset("Uninstall");
    EXPECT_EQ(DriverDeviceCount(), 0);
    EXPECT_TRUE(InterfacePaths().empty());
    HANDLE stale = ::CreateFileA(firstPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(stale, INVALID_HANDLE_VALUE) << "the removed device still opens: " << firstPath;
    if (stale != INVALID_HANDLE_VALUE) ::CloseHandle(stale);
}

// What cannot be done is told in one box, captioned "Drivset", and nothing else happens.
TEST(Drivset, AMissingInfIsReportedAndChangesNothing) {
    MakeInstalled(false);
    CDrivsetApp app;
    ScriptedUi ui;
    EXPECT_FALSE(InstallDriver("Missing.inf"));
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].text, "SetupDiInstallClass() Error!\n");
    EXPECT_EQ(ui.Calls()[0].caption, "Drivset");
    EXPECT_EQ(ui.Calls()[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(DriverDeviceCount(), 0);

    EXPECT_TRUE(RemoveDriver("Missing.inf")) << "nothing present: nothing to remove";
    EXPECT_EQ(ui.Calls().size(), 1u) << "a removal with nothing present shows nothing";
}

TEST(DriverSetup, OnlyTheDriversServiceNameMatchesWhateverItsCase) {
    struct Case {
        const char* service;
        bool matches;
    } cases[] = {
        {"QUILFILEDISK", true},
        {"quilfiledisk", true},
        {"QUILFILEDISKX", false},
        {"QUILFILEDIS", false},
        {"XQUILFILEDISK", false},
    };
    for (const Case& c : cases) {
        char buffer[MAX_PATH] = {};
        std::strcpy(buffer, c.service);
        EXPECT_EQ(IsDriverService(buffer), c.matches) << c.service;
    }
}

// The INF is looked for in the program's own folder; a trail byte 0x5C is not a backslash.
TEST(DriverSetup, TheInfPathIsTheProgramsFolderAndTheInfName) {
    struct Case {
        const char* modulePath;
        const char* infPath;
    } cases[] = {
        {"C:\\Program Files\\Velora\\Drivset.exe", "C:\\Program Files\\Velora\\FileDisk.inf"},
        {"C:\\禱告\\Drivset.exe", "C:\\禱告\\FileDisk.inf"},
        {"C:\\t\\淺.exe", "C:\\t\\FileDisk.inf"},
        {"", ""},  // no program path: no INF, rather than one from the current folder
    };
    for (const Case& c : cases) EXPECT_EQ(InfPathOf(c.modulePath, "FileDisk.inf"), c.infPath) << c.modulePath;
}
