#pragma once
// Who the virtual-disk driver is, for the programs that look for it or install it: the device
// interface class it registers (its presence means the driver is installed) and its service name.
#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

inline const GUID kDriverInterfaceClass = {0x25628D25, 0x6E35, 0x4E46, {0xBE, 0x3F, 0x74, 0xB5, 0x5B, 0x74, 0x94, 0x4A}};

inline const char kDriverServiceName[] = "QUILFILEDISK";

// The device path of the first interface of the driver's class in `list` (made with
// DIGCF_DEVICEINTERFACE); empty when there is none.
inline std::string FirstDriverInterfacePath(HDEVINFO list) {
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    if (!::SetupDiEnumDeviceInterfaces(list, nullptr, &kDriverInterfaceClass, 0, &data)) return std::string();
    DWORD needed = 0;
    ::SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return std::string();
    std::vector<char> buffer(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!::SetupDiGetDeviceInterfaceDetailA(list, &data, detail, needed, nullptr, nullptr)) return std::string();
    return detail->DevicePath;
}

// Whether the driver's device at `path` (from FirstDriverInterfacePath) opens; empty never does.
inline bool DriverDeviceOpens(const std::string& path) {
    if (path.empty()) return false;
    HANDLE device = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(device);
    return true;
}
