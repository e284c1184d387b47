#pragma once
// What Lockvale asks the system before its window opens: the Windows version (Windows 2000 is
// refused) and whether the virtual-disk driver's device can be opened. The two system calls whose
// answers decide go through CSystemProbe, which tests replace.
#include <windows.h>
#include <setupapi.h>

#include "DriverIdentity.h"

class CSystemProbe {
public:
    virtual ~CSystemProbe() = default;
    virtual BOOL GetVersionExA(OSVERSIONINFOA* info) { return ::GetVersionExA(info); }
    virtual HDEVINFO GetClassDevsA(const GUID* interfaceClass, DWORD flags) {
        return ::SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr, flags);
    }
};

// The probe in force (never null), and its replacement (nullptr restores the real one).
CSystemProbe& SystemProbe();
CSystemProbe* SetSystemProbe(CSystemProbe* probe);


// True on Windows 2000 (version 5.0); every other version, and an unknown one, passes.
bool IsWindows2000();

// True when a device of the driver's interface class is present and opens. A class list that cannot
// be made is reported ("连接驱动程序失败，请重试！") and counts as absent.
bool CheckDriverPresent();
