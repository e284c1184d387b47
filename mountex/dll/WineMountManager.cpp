#include "WineMountManager.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace mountex {

namespace {

// Wine's own request to its mount manager (Wine 8 layout), followed by the strings it points to.
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

const ULONG kMountManagerType = 0x6D;  // 'm'
const DWORD kDefineUnixDrive =
    CTL_CODE(kMountManagerType, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
const DWORD kQueryUnixDrive = CTL_CODE(kMountManagerType, 33, METHOD_BUFFERED, FILE_READ_ACCESS);

WCHAR LowerLetter(char letter) { return static_cast<WCHAR>(letter | 0x20); }

bool Ask(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
    HANDLE manager = ::CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(manager, code, in, inSize, out, outSize, &returned, nullptr);
    ::CloseHandle(manager);
    return ok != FALSE;
}

}  // namespace

bool DefineUnixDrive(char letter, const std::string& unixFolder, const std::string& unixDevice) {
    std::vector<char> request(sizeof(UnixDrive) + unixFolder.size() + unixDevice.size() + 2, '\0');
    if (request.size() > 0xFFFF) return false;
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = DRIVE_FIXED;
    drive->letter = LowerLetter(letter);
    drive->mountPointOffset = sizeof(UnixDrive);
    std::memcpy(&request[drive->mountPointOffset], unixFolder.c_str(), unixFolder.size() + 1);
    if (!unixDevice.empty()) {
        drive->deviceOffset = static_cast<USHORT>(drive->mountPointOffset + unixFolder.size() + 1);
        std::memcpy(&request[drive->deviceOffset], unixDevice.c_str(), unixDevice.size() + 1);
    }
    return Ask(kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()), nullptr, 0);
}

bool RemoveUnixDrive(char letter) {
    UnixDrive drive = {};  // no mount point: the mount manager deletes the letter
    drive.size = sizeof drive;
    drive.letter = LowerLetter(letter);
    return Ask(kDefineUnixDrive, &drive, sizeof drive, nullptr, 0);
}

bool QueryUnixDrive(char letter, std::string& unixFolder) {
    UnixDrive query = {};
    query.size = sizeof query;
    query.letter = LowerLetter(letter);
    std::vector<char> answer(4096, '\0');
    if (!Ask(kQueryUnixDrive, &query, sizeof query, answer.data(), static_cast<DWORD>(answer.size()))) return false;
    const auto* drive = reinterpret_cast<const UnixDrive*>(answer.data());
    const size_t offset = drive->mountPointOffset;
    if (!offset || offset >= answer.size() || drive->size > answer.size()) return false;
    const char* folder = &answer[offset];
    unixFolder.assign(folder, strnlen(folder, answer.size() - offset));
    return true;
}

}  // namespace mountex
