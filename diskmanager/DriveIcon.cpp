#include "DriveIcon.h"

#include <cstdio>

#include "SecretDisk.h"

void SetDriveIcon(bool show) {
    char key[128];
    std::snprintf(key, sizeof key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\%c\\DefaultIcon",
                  DiskState().driveLetter);
    if (!show) {
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);  // only DefaultIcon goes; the letter's key stays
        return;
    }
    HKEY handle = nullptr;
    if (::RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &handle) != ERROR_SUCCESS) {
        ::OutputDebugStringA("FAILED");
        return;
    }
    const std::string icon = ProgramDirectory() + "\\Lockvale.ico";
    ::OutputDebugStringA(icon.c_str());
    const LONG set = ::RegSetValueA(handle, "", REG_SZ, icon.c_str(), static_cast<DWORD>(icon.size()));
    ::OutputDebugStringA(set == ERROR_SUCCESS ? "OK" : "FAILED");
    ::RegCloseKey(handle);
}
