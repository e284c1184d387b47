#include "DiskServer.h"

#include <winioctl.h>
#include <setupapi.h>

#include <cstring>

#include "DiskProtocol.h"
#include "DriverIdentity.h"

namespace mountex {

namespace {

constexpr ULONG kSector = QUIL_SECTOR_SIZE;

// One synchronous-looking control call on the overlapped handle: each server thread waits for its
// own exchange, so several can be pending at once on the one handle.
bool Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& returned) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return false;
    BOOL done = ::DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &returned, &overlapped);
    if (!done && ::GetLastError() == ERROR_IO_PENDING) done = ::GetOverlappedResult(device, &overlapped, &returned, TRUE);
    const DWORD error = ::GetLastError();
    ::CloseHandle(overlapped.hEvent);
    ::SetLastError(done ? ERROR_SUCCESS : error);
    return done != FALSE;
}

// Failures that pass: the system lacked memory or resources for the exchange, or the driver had as many
// exchanges waiting as it takes.
bool Passing(DWORD error) {
    switch (error) {
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_NONPAGED_SYSTEM_RESOURCES:
    case ERROR_PAGED_SYSTEM_RESOURCES:
    case ERROR_WORKING_SET_QUOTA:
    case ERROR_PAGEFILE_QUOTA:
    case ERROR_COMMITMENT_LIMIT:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NOT_ENOUGH_QUOTA:
    case ERROR_BUSY:
        return true;
    default:
        return false;
    }
}

constexpr DWORD kFirstPauseMs = 10;
constexpr DWORD kLongestPauseMs = 1000;

}  // namespace

std::string DriverInterfacePath() {
    HDEVINFO list = ::SetupDiGetClassDevsA(&kDriverInterfaceClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return std::string();
    const std::string path = FirstDriverInterfacePath(list);
    ::SetupDiDestroyDeviceInfoList(list);
    return path;
}

bool CDiskServer::Start(vlr::CVlrImage& image, bool readOnly, unsigned threads, ULONG maxTransfer) {
    Stop();
    if (!image.IsOpen() || threads == 0) return false;
    vlr::FileIdentity identity;
    if (!image.FileIdentity(identity)) return false;
    const std::string path = DriverInterfacePath();
    if (path.empty()) return false;
    HANDLE control = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (control == INVALID_HANDLE_VALUE) return false;

    QuilDiskSetup setup = {};
    setup.sectorCount = image.SectorCount();
    setup.maxTransfer = maxTransfer;
    setup.flags = readOnly ? QUIL_DISK_READ_ONLY : 0;
    for (int i = 0; i < 8; ++i) {
        setup.uniqueId[i] = static_cast<UCHAR>(identity.volume >> (8 * i));
        setup.uniqueId[8 + i] = static_cast<UCHAR>(identity.index >> (8 * i));
    }
    QuilDiskIdentity created = {};
    DWORD returned = 0;
    if (!Control(control, IOCTL_QUIL_CREATE_DISK, &setup, sizeof setup, &created, sizeof created, returned) ||
        returned != sizeof created) {
        ::CloseHandle(control);
        return false;
    }
    stopping_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stopping_) {
        ::CloseHandle(control);
        return false;
    }
    image_ = &image;
    control_ = control;
    number_ = created.number;
    maxTransfer_ = maxTransfer;
    for (unsigned i = 0; i < threads; ++i) {
        HANDLE thread = ::CreateThread(nullptr, 0, &CDiskServer::ServeThread, this, 0, nullptr);
        if (!thread) {
            Stop();
            return false;
        }
        threads_.push_back(thread);
    }
    return true;
}

void CDiskServer::Stop() {
    if (control_ == INVALID_HANDLE_VALUE) return;
    ::SetEvent(stopping_);
    DWORD returned = 0;
    Control(control_, IOCTL_QUIL_REMOVE_DISK, nullptr, 0, nullptr, 0, returned);
    for (HANDLE thread : threads_) {
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
    }
    threads_.clear();
    ::CloseHandle(control_);
    control_ = INVALID_HANDLE_VALUE;
    ::CloseHandle(stopping_);
    stopping_ = nullptr;
    image_ = nullptr;
}

std::string CDiskServer::DevicePath() const { return "\\\\.\\QuilFileDisk" + std::to_string(number_); }

std::wstring CDiskServer::DeviceName() const { return L"\\Device\\QuilFileDisk" + std::to_wstring(number_); }

DWORD CDiskServer::Handle(const BYTE* request, DWORD requestSize, std::vector<BYTE>& reply) {
    QuilDiskRequest head;
    std::memcpy(&head, request, sizeof head);
    QuilDiskReply answer = {};
    answer.tag = head.tag;
    answer.status = 1;
    const uint64_t first = head.offset / kSector;
    const uint32_t count = head.length / kSector;
    const bool sound = head.offset % kSector == 0 && head.length % kSector == 0 && head.length <= maxTransfer_;
    if (sound && head.operation == QUIL_OP_READ) {
        if (image_->ReadSectors(first, count, reply.data() + sizeof answer)) {
            answer.status = 0;
            answer.length = head.length;
        }
    } else if (sound && head.operation == QUIL_OP_WRITE && requestSize - sizeof head == head.length) {
        if (image_->WriteSectors(first, count, request + sizeof head)) answer.status = 0;
    } else if (head.operation == QUIL_OP_FLUSH) {
        if (image_->Flush()) answer.status = 0;
    }
    std::memcpy(reply.data(), &answer, sizeof answer);
    return static_cast<DWORD>(sizeof answer + answer.length);
}

DWORD WINAPI CDiskServer::ServeThread(void* self) {
    static_cast<CDiskServer*>(self)->Serve();
    return 0;
}

void CDiskServer::Serve() {
    std::vector<BYTE> request(sizeof(QuilDiskRequest) + maxTransfer_);
    std::vector<BYTE> reply(sizeof(QuilDiskReply) + maxTransfer_);
    DWORD replySize = 0;
    DWORD pause = 0;  // 0 while exchanges succeed
    for (;;) {
        DWORD returned = 0;
        if (Control(control_, IOCTL_QUIL_EXCHANGE, reply.data(), replySize, request.data(),
                    static_cast<DWORD>(request.size()), returned)) {
            pause = 0;
            if (returned < sizeof(QuilDiskRequest)) break;
            replySize = Handle(request.data(), returned, reply);
            continue;
        }
        const DWORD error = ::GetLastError();
        // A reply sent again after a failure may have reached the driver the first time; it then
        // refuses it as unknown, and the exchange goes on without it.
        if (error == ERROR_INVALID_PARAMETER && pause != 0 && replySize != 0) {
            replySize = 0;
            continue;
        }
        if (!Passing(error)) break;
        pause = pause ? (pause * 2 < kLongestPauseMs ? pause * 2 : kLongestPauseMs) : kFirstPauseMs;
        if (::WaitForSingleObject(stopping_, pause) == WAIT_OBJECT_0) break;
    }
    // An exchange fails when the disk is removed. Should it fail for any other lasting reason, the disk
    // is removed all the same: with a server gone, its requests would otherwise wait for ever.
    DWORD returned = 0;
    Control(control_, IOCTL_QUIL_REMOVE_DISK, nullptr, 0, nullptr, 0, returned);
}

}  // namespace mountex
