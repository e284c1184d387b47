#pragma once
// Who the virtual-disk driver is, for the programs that look for it or install it: the device
// interface class it registers (its presence means the driver is installed) and its service name.
#include <windows.h>

inline const GUID kDriverInterfaceClass = {0x25628D25, 0x6E35, 0x4E46, {0xBE, 0x3F, 0x74, 0xB5, 0x5B, 0x74, 0x94, 0x4A}};

inline const char kDriverServiceName[] = "QUILFILEDISK";
