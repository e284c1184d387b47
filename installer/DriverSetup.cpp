#include "DriverSetup.h"

#include <setupapi.h>

#include <cstring>

#include "GbkText.h"
#include "UiSeam.h"

const char kDriverInfName[] = "FileDisk.inf";

// The records handed to SetupAPI carry their own size; these are the sizes a 32-bit caller passes.
#ifndef _WIN64
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "SP_DEVICE_INTERFACE_DATA");
static_assert(sizeof(SP_DEVINSTALL_PARAMS_A) == 296, "SP_DEVINSTALL_PARAMS_A");
static_assert(sizeof(SP_DRVINFO_DATA_V1_A) == 780, "SP_DRVINFO_DATA_V1_A");
#endif

namespace {

// The hardware id the INF's models section matches.
const char kHardwareIds[] = "root\\quilfiledisk\0";  // REG_MULTI_SZ: the literal adds the second zero

// The INF's class name fits 32 characters.
const DWORD kClassNameSize = 32;

void Fail(const char* text) { AfxMessageBox(text, MB_OK); }

// The INF's class: its GUID and name. False when the INF cannot be read.
bool GetInfClass(const std::string& infPath, GUID& classGuid, char (&className)[kClassNameSize]) {
    DWORD size = 0;
    return ::SetupDiGetINFClassA(infPath.c_str(), &classGuid, className, kClassNameSize, &size) != FALSE;
}

// Selects the driver for `device` by its hardware id from the INF named in its install parameters.
// Failures are reported with the texts of the steps this stands in for.
bool SelectCompatibleDriver(HDEVINFO list, SP_DEVINFO_DATA& device) {
    if (!::SetupDiSetDeviceRegistryPropertyA(list, &device, SPDRP_HARDWAREID,
                                             reinterpret_cast<const BYTE*>(kHardwareIds), sizeof kHardwareIds) ||
        !::SetupDiBuildDriverInfoList(list, &device, SPDIT_COMPATDRIVER)) {
        Fail("SetupDiBuildDriverInfoList() Error!\n");
        ::SetupDiDestroyDriverInfoList(list, &device, SPDIT_COMPATDRIVER);
        return false;
    }
    if (!::SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, list, &device)) {
        Fail("SetupDiSetSelectedDriver() Error!\n");
        return false;
    }
    return true;
}

// Selects the INF's first class driver for `device`.
bool SelectClassDriver(HDEVINFO list, SP_DEVINFO_DATA& device) {
    if (!::SetupDiBuildDriverInfoList(list, &device, SPDIT_CLASSDRIVER)) {
        // Wine's SetupAPI has no class-driver lists (error 120) and aborts the process in
        // SetupDiSetSelectedDriverA; it can select a driver by the device's hardware id instead.
        if (::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return SelectCompatibleDriver(list, device);
        Fail("SetupDiBuildDriverInfoList() Error!\n");
        ::SetupDiDestroyDriverInfoList(list, &device, SPDIT_CLASSDRIVER);
        return false;
    }
    SP_DRVINFO_DATA_V1_A driver = {};
    driver.cbSize = sizeof driver;
    auto* driverData = reinterpret_cast<SP_DRVINFO_DATA_A*>(&driver);  // the size field tells the version
    if (!::SetupDiEnumDriverInfoA(list, &device, SPDIT_CLASSDRIVER, 0, driverData)) {
        Fail("SetupDiEnumDriverInfo() Error!\n");
        return false;
    }
    if (!::SetupDiSetSelectedDriverA(list, &device, driverData)) {
        Fail("SetupDiSetSelectedDriver() Error!\n");
        return false;
    }
    return true;
}

// Registers a new root-enumerated device of the INF's class in `list` and installs the INF's
// driver on it.
bool InstallDevice(HDEVINFO list, const GUID& classGuid, const char* className, const std::string& infPath) {
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!::SetupDiCreateDeviceInfoA(list, className, &classGuid, nullptr, nullptr, DICD_GENERATE_ID, &device)) {
        Fail("SetupDiCreateDeviceInfo() Error!\n");
        return false;
    }
    if (!::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, list, &device)) {
        Fail("DIF_REGISTERDEVICE Error!\n");
        return false;
    }
    SP_DEVINSTALL_PARAMS_A params = {};
    params.cbSize = sizeof params;
    params.Flags = DI_DONOTCALLCONFIGMG | DI_QUIETINSTALL | DI_ENUMSINGLEINF | DI_INF_IS_SORTED;
    params.FlagsEx = DI_FLAGSEX_ALLOWEXCLUDEDDRVS;
    // A path that does not fit DriverPath is refused rather than cut into another path.
    if (infPath.size() >= sizeof params.DriverPath) {
        Fail("SetupDiSetDeviceInstallParams() Error!\n");
        return false;
    }
    std::memcpy(params.DriverPath, infPath.c_str(), infPath.size() + 1);
    if (!::SetupDiSetDeviceInstallParamsA(list, &device, &params)) {
        Fail("SetupDiSetDeviceInstallParams() Error!\n");
        return false;
    }
    if (!SelectClassDriver(list, device)) return false;
    if (!::SetupDiCallClassInstaller(DIF_INSTALLDEVICE, list, &device)) {
        Fail("SetupDiInstallDevice() Error!\n");
        return false;
    }
    return true;
}

}  // namespace

namespace {

// How long an installation waits for the driver it installed to answer: the system starts the new
// device's driver on its own time, and a program started right after setup must find it.
constexpr DWORD kAnswerWaitMs = 30000;
constexpr DWORD kAnswerPollMs = 100;

// Whether the driver's interface is present and its device opens.
bool DriverAnswers() {
    HDEVINFO list = ::SetupDiGetClassDevsA(&kDriverInterfaceClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return false;
    const std::string path = FirstDriverInterfacePath(list);
    ::SetupDiDestroyDeviceInfoList(list);
    return DriverDeviceOpens(path);
}

bool WaitForDriverAnswer() {
    for (DWORD waited = 0;; waited += kAnswerPollMs) {
        if (DriverAnswers()) return true;
        if (waited >= kAnswerWaitMs) return false;
        ::Sleep(kAnswerPollMs);
    }
}

}  // namespace

int FindDriverInterface() {
    HDEVINFO list = ::SetupDiGetClassDevsA(&kDriverInterfaceClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return -1;
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof item;
    bool found = ::SetupDiEnumDeviceInterfaces(list, nullptr, &kDriverInterfaceClass, 0, &item) != FALSE;
    ::SetupDiDestroyDeviceInfoList(list);
    return found ? 1 : 0;
}

std::string InfPathOf(const std::string& modulePath, const std::string& infName) {
    if (modulePath.empty()) return std::string();
    size_t last = gbk::FindLastBackslash(modulePath);
    return modulePath.substr(0, last == std::string::npos ? 0 : last + 1) + infName;
}

std::string ProgramInfPath(const std::string& infName) {
    char module[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, module, sizeof module);
    // A path cut at the buffer's end names another folder: then there is no INF path at all.
    if (length == 0 || length >= sizeof module) return std::string();
    return InfPathOf(std::string(module, length), infName);
}

bool IsDriverService(const char (&service)[MAX_PATH]) {
    char upper[sizeof kDriverServiceName];
    for (size_t i = 0; i < sizeof upper; ++i) {
        char c = service[i];
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return std::memcmp(upper, kDriverServiceName, sizeof upper) == 0;
}

bool InstallDriver(const std::string& infName) {
    int present = FindDriverInterface();
    if (present < 0) return false;
    if (present > 0) return true;

    std::string infPath = ProgramInfPath(infName);
    if (!::SetupDiInstallClassA(nullptr, infPath.c_str(), DI_QUIETINSTALL | DI_DONOTCALLCONFIGMG, nullptr)) {
        Fail("SetupDiInstallClass() Error!\n");
        return false;
    }
    GUID classGuid;
    char className[kClassNameSize] = {};
    if (!GetInfClass(infPath, classGuid, className)) {
        Fail("SetupDiGetINFClass() Error!\n");
        return false;
    }
    HDEVINFO list = ::SetupDiCreateDeviceInfoList(&classGuid, nullptr);
    if (list == INVALID_HANDLE_VALUE) {
        Fail("SetupDiGetClassDevs() Error!\n");
        return false;
    }
    bool installed = InstallDevice(list, classGuid, className, infPath);
    ::SetupDiDestroyDeviceInfoList(list);
    // Setup waits for this program: it ends once the driver it installed answers, so that the
    // first start of Lockvale finds it.
    return installed && WaitForDriverAnswer();
}

bool RemoveDriver(const std::string& infName) {
    int present = FindDriverInterface();
    if (present < 0) return false;
    if (present == 0) return true;

    std::string infPath = ProgramInfPath(infName);
    GUID classGuid;
    char className[kClassNameSize] = {};
    if (!GetInfClass(infPath, classGuid, className)) {
        Fail("SetupDiGetINFClass() Error!\n");
        return false;
    }
    HDEVINFO list = ::SetupDiGetClassDevsA(&classGuid, nullptr, nullptr, DIGCF_PRESENT);
    if (list == INVALID_HANDLE_VALUE) {
        Fail("SetupDiGetClassDevs() Error!\n");
        return false;
    }
    bool removedAll = true;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    char service[MAX_PATH] = {};
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(list, index, &device); ++index) {
        if (::SetupDiGetDeviceRegistryPropertyA(list, &device, SPDRP_SERVICE, nullptr,
                                                reinterpret_cast<BYTE*>(service), sizeof service, nullptr) &&
            IsDriverService(service) && !::SetupDiRemoveDevice(list, &device)) {
            Fail("SetupDiRemoveDevice() Error!\n");
            removedAll = false;
        }
        device = {};
        device.cbSize = sizeof device;
        std::memset(service, 0, sizeof service);
    }
    ::SetupDiDestroyDeviceInfoList(list);
    return removedAll;
}
