#include "StartupChecks.h"

#include <string>
#include <vector>

#include "UiSeam.h"

// The sizes a 32-bit caller hands the system.
#ifndef _WIN64
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA");
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "SP_DEVICE_INTERFACE_DATA");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "SP_DEVICE_INTERFACE_DETAIL_DATA_A");
#endif

namespace {

CSystemProbe gRealProbe;
CSystemProbe* gProbe = &gRealProbe;

}  // namespace

CSystemProbe& SystemProbe() { return *gProbe; }

CSystemProbe* SetSystemProbe(CSystemProbe* probe) {
    CSystemProbe* previous = gProbe == &gRealProbe ? nullptr : gProbe;
    gProbe = probe ? probe : &gRealProbe;
    return previous;
}

bool IsWindows2000() {
    OSVERSIONINFOEXA info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!SystemProbe().GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!SystemProbe().GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
            ::OutputDebugStringA("GetVersion failed!");
            return false;
        }
    }
    if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) {
        ::OutputDebugStringA("Microsoft Windows 2000 ");
        return true;
    }
    return false;
}

bool CheckDriverPresent() {
    std::string path;
    HDEVINFO list = SystemProbe().GetClassDevsA(&kDriverInterfaceClass, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) {
        AfxMessageBox("连接驱动程序失败，请重试！", MB_OK | MB_ICONEXCLAMATION);
    } else {
        path = FirstDriverInterfacePath(list);
        ::SetupDiDestroyDeviceInfoList(list);
    }
    return DriverDeviceOpens(path);
}
