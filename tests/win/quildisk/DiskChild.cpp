// quildisk-child: the second process of the driver tests.
//   quildisk-child stall MARKER       creates a disk of 2048 sectors and takes its first request without
//                                     answering it; writes "disk N" to MARKER once the disk exists and
//                                     "request" once the request is taken, then waits to be ended.
//   quildisk-child intrude HANDLE     with HANDLE, an inherited handle that owns a disk of the parent,
//                                     tries to serve and to remove that disk. Exit code 0 when the driver
//                                     refused both, 1 when it accepted either.
//   quildisk-child mount LETTER IMAGE MARKER
//                                     mounts IMAGE (password "pass1234") at LETTER the Windows way,
//                                     writes "mounted" to MARKER and waits to be ended.
#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DiskProtocol.h"
#include "DiskServer.h"
#include "WindowsDisks.h"

namespace {

void Note(const char* path, const std::string& text) {
    FILE* file = std::fopen(path, "ab");
    if (!file) return;
    std::fputs((text + "\n").c_str(), file);
    std::fclose(file);
}

int Stall(const char* marker) {
    const std::string path = mountex::DriverInterfacePath();
    HANDLE control = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (control == INVALID_HANDLE_VALUE) return 2;
    QuilDiskSetup setup = {2048, QUIL_MIN_TRANSFER, 0};
    QuilDiskIdentity identity = {};
    DWORD returned = 0;
    if (!::DeviceIoControl(control, IOCTL_QUIL_CREATE_DISK, &setup, sizeof setup, &identity, sizeof identity, &returned,
                           nullptr))
        return 3;
    Note(marker, "disk " + std::to_string(identity.number));
    std::vector<BYTE> request(sizeof(QuilDiskRequest) + QUIL_MIN_TRANSFER);
    if (!::DeviceIoControl(control, IOCTL_QUIL_EXCHANGE, nullptr, 0, request.data(), static_cast<DWORD>(request.size()),
                           &returned, nullptr))
        return 4;
    Note(marker, "request");
    ::Sleep(INFINITE);
    return 0;
}

int Intrude(HANDLE owner) {
    std::vector<BYTE> request(sizeof(QuilDiskRequest) + (4u << 20));
    DWORD returned = 0;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BOOL served = ::DeviceIoControl(owner, IOCTL_QUIL_EXCHANGE, nullptr, 0, request.data(),
                                    static_cast<DWORD>(request.size()), &returned, &overlapped);
    if (!served && ::GetLastError() == ERROR_IO_PENDING) {
        served = TRUE;  // waiting for work: accepted as a server
        ::CancelIo(owner);
        ::WaitForSingleObject(overlapped.hEvent, 5000);
    }
    ::ResetEvent(overlapped.hEvent);
    BOOL removed = ::DeviceIoControl(owner, IOCTL_QUIL_REMOVE_DISK, nullptr, 0, nullptr, 0, &returned, &overlapped);
    if (!removed && ::GetLastError() == ERROR_IO_PENDING) removed = ::GetOverlappedResult(owner, &overlapped, &returned, TRUE);
    return served || removed ? 1 : 0;
}

int Mount(char letter, const char* image, const char* marker) {
    const char password[17] = "pass1234";
    if (!mountex::WindowsMountDisk(letter, image, mountex::CPassword(password))) return 5;
    Note(marker, "mounted");
    ::Sleep(INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "stall")) return Stall(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "intrude"))
        return Intrude(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 10))));
    if (argc == 5 && !std::strcmp(argv[1], "mount")) return Mount(argv[2][0], argv[3], argv[4]);
    return 100;
}
