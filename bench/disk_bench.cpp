// The secret disk at the block level under Wine: 1 GiB written and read sequentially through the
// QUILFILEDISK disk device (each request crossing the driver to Mountex's server and back) against
// the same through the image layer directly. The driver must be installed (./x bench disk runs
// Drivset first).
//   disk_bench IMAGE [THREADS [TRANSFER_KIB]]
//       prints "direct-write S", "direct-read S", "device-write S", "device-read S"; THREADS server threads
//       (default 2) each taking requests of up to TRANSFER_KIB KiB (default Mountex's own choice)
//   disk_bench --transport
//       prints "transport-write S", "transport-read S": the same through a disk whose server answers at
//       once without touching an image (reads give zeros), so what remains is the cost of the crossings
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <winioctl.h>

#include "DiskProtocol.h"
#include "DiskServer.h"
#include "VlrImage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kSizeMB = 1024;
constexpr DWORD kBlock = 4u << 20;  // as dd bs=4M
constexpr uint64_t kBytes = static_cast<uint64_t>(kSizeMB) << 20;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double Direct(vlr::CVlrImage& image, bool write, std::vector<uint8_t>& block) {
    const auto t0 = Clock::now();
    for (uint64_t at = 0; at < kBytes; at += kBlock) {
        const bool ok = write ? image.WriteSectors(at / 512, kBlock / 512, block.data())
                              : image.ReadSectors(at / 512, kBlock / 512, block.data());
        if (!ok) return -1;
    }
    if (write && !image.Flush()) return -1;
    return Since(t0);
}

double Device(const std::string& path, bool write, std::vector<uint8_t>& block) {
    const auto t0 = Clock::now();
    HANDLE disk = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE) return -1;
    bool ok = true;
    for (uint64_t at = 0; ok && at < kBytes; at += kBlock) {
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD done = 0;
        ok = (write ? ::WriteFile(disk, block.data(), kBlock, &done, &where)
                    : ::ReadFile(disk, block.data(), kBlock, &done, &where)) &&
             done == kBlock;
    }
    if (write) ok = ::FlushFileBuffers(disk) && ok;
    ::CloseHandle(disk);
    return ok ? Since(t0) : -1;
}

bool Control(HANDLE control, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& got) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BOOL ok = ::DeviceIoControl(control, code, const_cast<void*>(in), inSize, out, outSize, &got, &overlapped);
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) ok = ::GetOverlappedResult(control, &overlapped, &got, TRUE);
    ::CloseHandle(overlapped.hEvent);
    return ok != FALSE;
}

// A disk of kSizeMB whose two server threads answer every request at once: reads with zeros, writes
// dropped.
int Transport() {
    const ULONG transfer = mountex::CDiskServer::kDefaultMaxTransfer;
    HANDLE control = ::CreateFileA(mountex::DriverInterfacePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    QuilDiskSetup setup = {kBytes / 512, transfer, 0};
    QuilDiskIdentity identity = {};
    DWORD got = 0;
    if (control == INVALID_HANDLE_VALUE ||
        !Control(control, IOCTL_QUIL_CREATE_DISK, &setup, sizeof setup, &identity, sizeof identity, got)) {
        std::fprintf(stderr, "the driver does not make the disk\n");
        return 1;
    }
    auto serve = [&] {
        std::vector<uint8_t> request(sizeof(QuilDiskRequest) + transfer), reply(sizeof(QuilDiskReply) + transfer);
        DWORD replySize = 0, size = 0;
        while (Control(control, IOCTL_QUIL_EXCHANGE, reply.data(), replySize, request.data(), static_cast<DWORD>(request.size()), size)) {
            QuilDiskRequest head;
            memcpy(&head, request.data(), sizeof head);
            QuilDiskReply answer = {head.tag, 0, head.operation == QUIL_OP_READ ? head.length : 0};
            memcpy(reply.data(), &answer, sizeof answer);
            replySize = sizeof answer + answer.length;
        }
    };
    vlr::CTask first([&] { serve(); return true; }), second([&] { serve(); return true; });
    std::vector<uint8_t> block(kBlock);
    const std::string path = "\\\\.\\QuilFileDisk" + std::to_string(identity.number);
    const double write = Device(path, true, block);
    const double read = Device(path, false, block);
    Control(control, IOCTL_QUIL_REMOVE_DISK, nullptr, 0, nullptr, 0, got);
    first.Join();
    second.Join();
    ::CloseHandle(control);
    std::printf("transport-write %.3f\ntransport-read %.3f\n", write, read);
    return write < 0 || read < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--transport") return Transport();
    if (argc < 2 || argc > 4) return 2;
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 2;
    const ULONG transfer = argc > 3 ? static_cast<ULONG>(std::atoi(argv[3])) * 1024 : mountex::CDiskServer::kDefaultMaxTransfer;
    const std::string password = "bench-password";
    vlr::CreateOptions cheap;
    cheap.kdf = {1, 64, 1};
    vlr::CVlrImage image;
    if (image.CreateOpen(argv[1], kSizeMB, reinterpret_cast<const uint8_t*>(password.data()), password.size(), cheap) !=
        vlr::VlrResult::Ok) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> block(kBlock);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 131 + 7);

    const double directWrite = Direct(image, true, block);
    const double directRead = Direct(image, false, block);
    mountex::CDiskServer server;
    if (!server.Start(image, false, threads, transfer)) {
        std::fprintf(stderr, "the driver does not serve the disk\n");
        return 1;
    }
    const double deviceWrite = Device(server.DevicePath(), true, block);
    const double deviceRead = Device(server.DevicePath(), false, block);
    server.Stop();
    if (directWrite < 0 || directRead < 0 || deviceWrite < 0 || deviceRead < 0) return 1;
    std::printf("direct-write %.3f\ndirect-read %.3f\ndevice-write %.3f\ndevice-read %.3f\n", directWrite, directRead,
                deviceWrite, deviceRead);
    return 0;
}
