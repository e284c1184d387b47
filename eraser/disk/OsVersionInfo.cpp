#include "OsVersionInfo.h"

OsVersionInfo g_osVersionInfo;

bool OsVersionInfo::Detect() {
    *this = OsVersionInfo();
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);  // 156 bytes
    OSVERSIONINFOA& info = reinterpret_cast<OSVERSIONINFOA&>(extended);
    if (!::GetVersionExA(&info)) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148 bytes
        if (!::GetVersionExA(&info)) return false;
    }
    Classify(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
    return true;
}

void OsVersionInfo::Classify(DWORD platform, DWORD major, DWORD minor) {
    if (platform == VER_PLATFORM_WIN32_WINDOWS && major == 4) {
        if (minor == 0 || minor == 10) win9598 = 1;
        if (minor == 90) winMe = 1;
    }
    if (platform == VER_PLATFORM_WIN32_NT) {
        if (major <= 4) nt4 = 1;
        if (major == 5 && minor == 0) win2000 = 1;
        if (major == 5 && minor == 1) winXP = 1;
    }
}
