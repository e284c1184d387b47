// The three exported functions: the checks every caller's arguments pass, then the platform's way
// of carrying the disk. Under Wine that is the native helper (WineDisks.cpp); on Windows itself the
// QUILFILEDISK driver carries it, served from this process (WindowsDisks.cpp).
#include "Mountex.h"

#include <cstring>
#include <new>

#include "WineDisks.h"
#include "WineHost.h"
#include "WindowsDisks.h"

namespace {

HMODULE gModule = nullptr;

constexpr UINT kMinSizeMB = 100;
constexpr UINT kMaxSizeMB = 11264;

bool LetterUsable(char letter) {
    if (letter < 'C' || letter > 'Z') return false;
    char root[] = "?:\\";
    root[0] = letter;
    return ::GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR;
}

bool PathUsable(const char* path) { return path && *path && strnlen(path, MAX_PATH) < MAX_PATH; }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" int WINAPI CreateImage(char letter, const char* imagePath, const char* password, UINT sizeMB) {
    try {
        const mountex::CPassword secret(password);
        if (!secret.Ok() || !PathUsable(imagePath) || sizeMB < kMinSizeMB || sizeMB > kMaxSizeMB ||
            !LetterUsable(letter))
            return 0;
        if (!mountex::UnderWine()) return mountex::WindowsCreateImage(letter, imagePath, secret, sizeMB) ? 1 : 0;
        return mountex::WineCreateImage(gModule, letter, imagePath, secret, sizeMB) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" int WINAPI MountDisk(char letter, const char* imagePath, const char* password, BYTE) {
    try {
        const mountex::CPassword secret(password);
        if (!secret.Ok() || !PathUsable(imagePath) || !LetterUsable(letter)) return 0;
        if (!mountex::UnderWine()) return mountex::WindowsMountDisk(letter, imagePath, secret) ? 1 : 0;
        return mountex::WineMountDisk(gModule, letter, imagePath, secret) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" int WINAPI DisMountDisk(char letter) {
    try {
        if (letter < 'C' || letter > 'Z') return 0;
        if (!mountex::UnderWine()) return mountex::WindowsDisMountDisk(letter) ? 1 : 0;
        return mountex::WineDisMountDisk(gModule, letter) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
