#include "WineDrives.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// Wine's own request to the mount manager: define (or redefine) a drive letter.
struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
const DWORD kDefineUnixDrive = CTL_CODE(0x6D /* MOUNTMGRCONTROLTYPE */, 32, METHOD_BUFFERED,
                                        FILE_READ_ACCESS | FILE_WRITE_ACCESS);

}  // namespace

bool DefineHostDrive(char letter, const std::string& folder, const std::string& device) {
    std::vector<char> request(sizeof(UnixDrive) + folder.size() + device.size() + 2, '\0');
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = DRIVE_FIXED;
    drive->letter = static_cast<WCHAR>(letter | 0x20);
    drive->mountPointOffset = sizeof(UnixDrive);
    std::memcpy(&request[drive->mountPointOffset], folder.c_str(), folder.size() + 1);
    drive->deviceOffset = static_cast<USHORT>(drive->mountPointOffset + folder.size() + 1);
    std::memcpy(&request[drive->deviceOffset], device.c_str(), device.size() + 1);

    HANDLE manager = ::CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    BOOL ok = ::DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                nullptr, 0, &returned, nullptr);
    ::CloseHandle(manager);
    return ok != FALSE;
}
