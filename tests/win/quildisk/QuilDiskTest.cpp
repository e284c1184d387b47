#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <gcrypt.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "DiskProtocol.h"
#include "DiskServer.h"
#include "DriverInstall.h"
#include "TempFolder.h"
#include "VlrImage.h"
#include "WineDrives.h"

// The QUILFILEDISK driver carrying a secret disk, installed by Drivset into the test prefix and served
// by Mountex's disk server. Wine cannot put a Windows file system on a disk device, so these tests
// drive the disk itself: its sectors, its queries, its control codes.

namespace {

const DWORD kWaitMs = 20000;

// The mount manager's queries of a volume's names (ddk/mountdev.h, which user-mode code cannot include).
const DWORD kMountDevQueryUniqueId = CTL_CODE('M', 0, METHOD_BUFFERED, FILE_ANY_ACCESS);
const DWORD kMountDevQueryDeviceName = CTL_CODE('M', 2, METHOD_BUFFERED, FILE_ANY_ACCESS);

const uint8_t kDataKey[vlr::kDataKeySize] = {
    0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87, 0x98, 0xa9, 0xba, 0xcb, 0xdc, 0xed, 0xfe, 0x0f,
    0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff, 0x01,
    0x12, 0x23, 0x34, 0x45, 0x56, 0x67, 0x78, 0x89, 0x9a, 0xab, 0xbc, 0xcd, 0xde, 0xef, 0xf0, 0x02,
    0x13, 0x24, 0x35, 0x46, 0x57, 0x68, 0x79, 0x8a, 0x9b, 0xac, 0xbd, 0xce, 0xdf, 0xe0, 0xf1, 0x03};

// A 100 MB image with a known data key, open in `image`.
void MakeImage(const std::string& path, vlr::CVlrImage& image) {
    vlr::CreateOptions options;
    options.kdf = {1, 64, 1};
    options.fixedDataKey = kDataKey;
    const std::string password = "pass1234";
    ASSERT_EQ(image.CreateOpen(path, 100, reinterpret_cast<const uint8_t*>(password.data()), password.size(), options),
              vlr::VlrResult::Ok);
}

// The sectors' plaintext, decrypted from the image file's bytes with AES-256-XTS (tweak: the sector
// number) by libgcrypt directly, not through the image layer.
std::vector<uint8_t> DecryptFromFile(const std::string& path, uint64_t sector, size_t count) {
    std::vector<uint8_t> bytes(count * 512);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(vlr::kDataOffset + sector * 512);
    DWORD read = 0;
    bool ok = ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
              ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    ::CloseHandle(file);
    if (!ok) return {};
    gcry_cipher_hd_t cipher;
    if (gcry_cipher_open(&cipher, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_XTS, 0)) return {};
    gcry_cipher_setkey(cipher, kDataKey, sizeof kDataKey);
    for (size_t i = 0; i < count; ++i) {
        uint8_t tweak[16] = {};
        for (int b = 0; b < 8; ++b) tweak[b] = static_cast<uint8_t>((sector + i) >> (8 * b));
        gcry_cipher_setiv(cipher, tweak, sizeof tweak);
        gcry_cipher_decrypt(cipher, bytes.data() + i * 512, 512, nullptr, 0);
    }
    gcry_cipher_close(cipher);
    return bytes;
}

HANDLE OpenDisk(const std::string& path, DWORD flags = 0) {
    return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
}

// Reads and writes at an offset given in an OVERLAPPED, as raw disk access does on a handle opened
// without FILE_FLAG_OVERLAPPED (Wine keeps no file position for a device).
OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

bool WriteAt(HANDLE disk, uint64_t offset, const std::vector<uint8_t>& data) {
    DWORD done = 0;
    OVERLAPPED at = At(offset);
    return ::WriteFile(disk, data.data(), static_cast<DWORD>(data.size()), &done, &at) && done == data.size();
}

std::vector<uint8_t> ReadAt(HANDLE disk, uint64_t offset, size_t size) {
    std::vector<uint8_t> data(size);
    DWORD done = 0;
    OVERLAPPED at = At(offset);
    if (!::ReadFile(disk, data.data(), static_cast<DWORD>(size), &done, &at) || done != size) return {};
    return data;
}

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> data(size);
    std::mt19937 random(seed);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
    return data;
}

// A control call that must end at once (never left pending); true when it succeeded.
bool ControlNow(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                DWORD* returned = nullptr) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD got = 0;
    BOOL ok = ::DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &got, &overlapped);
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
        if (::WaitForSingleObject(overlapped.hEvent, 2000) != WAIT_OBJECT_0) {
            ::CancelIo(device);
            ::WaitForSingleObject(overlapped.hEvent, kWaitMs);
            ADD_FAILURE() << "control code " << std::hex << code << " was left pending";
        }
        ok = ::GetOverlappedResult(device, &overlapped, &got, FALSE);
    }
    ::CloseHandle(overlapped.hEvent);
    if (returned) *returned = got;
    return ok != FALSE;
}

HANDLE OpenControl() {
    return ::CreateFileA(mountex::DriverInterfacePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

// Writes and reads back a few sectors through a served disk.
bool RoundTrip(const std::string& diskPath, uint32_t seed) {
    HANDLE disk = OpenDisk(diskPath);
    if (disk == INVALID_HANDLE_VALUE) return false;
    const std::vector<uint8_t> data = Pattern(8192, seed);
    bool ok = WriteAt(disk, 1 << 20, data) && ReadAt(disk, 1 << 20, data.size()) == data;
    ::CloseHandle(disk);
    return ok;
}

class QuilDisk : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetDriverInstalled(true); }
    static void TearDownTestSuite() { SetDriverInstalled(false); }
    void SetUp() override { ASSERT_FALSE(mountex::DriverInterfacePath().empty()) << "the driver is not installed"; }
};

// Runs quildisk-child with `arguments`; `inherit` lets it have this process's inheritable handles.
PROCESS_INFORMATION StartChild(const std::string& arguments, bool inherit) {
    std::string line = "\"" + WinePath(QUILDISK_CHILD) + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr, nullptr, &startup, &process))
        process.hProcess = nullptr;
    return process;
}

}  // namespace

// What is written to the disk reads back, lies in the image as XTS ciphertext of the same bytes, and
// the disk ends where the image does.
TEST_F(QuilDisk, SectorsWrittenReadBackAndAreTheImagesCiphertext) {
    TempFolder folder("quildisk");
    const std::string path = folder / "disk.vlr";
    vlr::CVlrImage image;
    MakeImage(path, image);
    mountex::CDiskServer server;
    ASSERT_TRUE(server.Start(image, false));
    HANDLE disk = OpenDisk(server.DevicePath());
    ASSERT_NE(disk, INVALID_HANDLE_VALUE) << server.DevicePath();

    const uint64_t sectors = 100ull * 2048;
    GET_LENGTH_INFORMATION length = {};
    ASSERT_TRUE(ControlNow(disk, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length));
    EXPECT_EQ(static_cast<uint64_t>(length.Length.QuadPart), sectors * 512);
    DISK_GEOMETRY geometry = {};
    ASSERT_TRUE(ControlNow(disk, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry));
    EXPECT_EQ(geometry.BytesPerSector, 512u);
    EXPECT_EQ(static_cast<uint64_t>(geometry.Cylinders.QuadPart) * geometry.TracksPerCylinder *
                  geometry.SectorsPerTrack * geometry.BytesPerSector,
              sectors * 512)
        << "the geometry covers the disk exactly";

    struct Case {
        const char* where;
        uint64_t sector;
        size_t count;
    } cases[] = {
        {"the first sectors", 0, 8},
        {"the middle, across a request's end", sectors / 2 - 3, 2048 + 6},  // more than one request carries
        {"the last sector", sectors - 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const std::vector<uint8_t> data = Pattern(c.count * 512, static_cast<uint32_t>(c.sector));
        ASSERT_TRUE(WriteAt(disk, c.sector * 512, data));
        EXPECT_EQ(ReadAt(disk, c.sector * 512, data.size()), data);
        image.Flush();
        EXPECT_EQ(DecryptFromFile(path, c.sector, c.count), data) << "the image does not hold its ciphertext";
    }

    const std::vector<uint8_t> two = Pattern(1024, 7);
    EXPECT_FALSE(WriteAt(disk, sectors * 512, Pattern(512, 1))) << "a write past the end succeeded";
    EXPECT_FALSE(WriteAt(disk, (sectors - 1) * 512, two)) << "a write across the end succeeded";
    EXPECT_TRUE(ReadAt(disk, sectors * 512, 512).empty()) << "a read past the end succeeded";
    EXPECT_TRUE(ReadAt(disk, 100, 512).empty()) << "a read off the sector grid succeeded";
    ::CloseHandle(disk);
    server.Stop();
    EXPECT_EQ(OpenDisk(server.DevicePath()), INVALID_HANDLE_VALUE) << "the disk outlived its server";
}

// The serving process ends while a read waits on it: the read fails, the disk goes, and a new disk
// serves again.
TEST_F(QuilDisk, EndingTheServingProcessFailsItsReadAndRemovesTheDisk) {
    TempFolder folder("quildisk");
    const std::string marker = folder / "child.txt";
    PROCESS_INFORMATION child = StartChild("stall \"" + marker + "\"", false);
    ASSERT_NE(child.hProcess, nullptr);
    std::string said;
    for (int i = 0; i < 200 && said.find("disk ") == std::string::npos; ++i, ::Sleep(50)) said = ReadBytes(marker);
    ASSERT_NE(said.find("disk "), std::string::npos) << "the child made no disk: " << said;
    const std::string diskPath = "\\\\.\\QuilFileDisk" + std::to_string(std::atoi(said.c_str() + said.find("disk ") + 5));

    HANDLE disk = OpenDisk(diskPath, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(disk, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> buffer(4096);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    ASSERT_FALSE(::ReadFile(disk, buffer.data(), 4096, &done, &overlapped));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    for (int i = 0; i < 200 && said.find("request") == std::string::npos; ++i, ::Sleep(50)) said = ReadBytes(marker);
    ASSERT_NE(said.find("request"), std::string::npos) << "the child never took the read";

    ::TerminateProcess(child.hProcess, 9);
    ::WaitForSingleObject(child.hProcess, kWaitMs);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    ASSERT_EQ(::WaitForSingleObject(overlapped.hEvent, kWaitMs), WAIT_OBJECT_0) << "the read hangs";
    EXPECT_FALSE(::GetOverlappedResult(disk, &overlapped, &done, FALSE)) << "the read succeeded without a server";
    ::CloseHandle(overlapped.hEvent);
    ::CloseHandle(disk);
    HANDLE again = OpenDisk(diskPath);
    EXPECT_EQ(again, INVALID_HANDLE_VALUE) << "the disk outlived its process";
    if (again != INVALID_HANDLE_VALUE) ::CloseHandle(again);

    vlr::CVlrImage image;
    MakeImage(folder / "next.vlr", image);
    mountex::CDiskServer server;
    ASSERT_TRUE(server.Start(image, false));
    EXPECT_TRUE(RoundTrip(server.DevicePath(), 3)) << "a new disk does not serve";
}

namespace {

// A disk created on a control handle of this test, with no server: what is asked of it stays unanswered.
struct RawDisk {
    HANDLE control = OpenControl();
    QuilDiskIdentity identity = {};
    bool created = false;
    explicit RawDisk(ULONG maxTransfer = QUIL_MIN_TRANSFER) {
        QuilDiskSetup setup = {2048, maxTransfer, 0};
        created = ControlNow(control, IOCTL_QUIL_CREATE_DISK, &setup, sizeof setup, &identity, sizeof identity);
    }
    ~RawDisk() { ::CloseHandle(control); }
};

}  // namespace

// Control codes that are short, too long, out of range, from a handle that does not own the disk or
// from another process holding the owner's handle are refused at once, and the disk is not disturbed.
TEST_F(QuilDisk, MalformedControlRequestsAreRefused) {
    RawDisk owner;
    ASSERT_TRUE(owner.created);
    HANDLE stranger = OpenControl();
    ASSERT_NE(stranger, INVALID_HANDLE_VALUE);
    const DWORD exchangeOut = sizeof(QuilDiskRequest) + QUIL_MIN_TRANSFER;
    std::vector<BYTE> big(sizeof(QuilDiskRequest) + QUIL_MAX_TRANSFER + 4096);
    QuilDiskIdentity identity = {};
    auto setup = [](ULONGLONG sectors, ULONG transfer, ULONG flags) { return QuilDiskSetup{sectors, transfer, flags}; };
    const QuilDiskSetup sound = setup(2048, QUIL_MIN_TRANSFER, 0);
    struct Reply {
        QuilDiskReply head;
        BYTE data[512];
    };
    const Reply unknownTag = {{0x5151, 0, 0}, {}};
    const Reply lengthMismatch = {{1, 0, 512}, {}};

    struct Case {
        const char* what;
        HANDLE handle;
        DWORD code;
        QuilDiskSetup setup;
        DWORD inSize;  // bytes of `in` sent
        const void* in;
        DWORD outSize;
    } cases[] = {
        {"a second disk on the same handle", owner.control, IOCTL_QUIL_CREATE_DISK, sound, sizeof sound, nullptr, sizeof identity},
        {"a short setup", stranger, IOCTL_QUIL_CREATE_DISK, sound, sizeof sound - 1, nullptr, sizeof identity},
        {"a long setup", stranger, IOCTL_QUIL_CREATE_DISK, sound, sizeof sound + 1, nullptr, sizeof identity},
        {"no room for the identity", stranger, IOCTL_QUIL_CREATE_DISK, sound, sizeof sound, nullptr, sizeof identity - 1},
        {"no sectors", stranger, IOCTL_QUIL_CREATE_DISK, setup(0, 4096, 0), sizeof sound, nullptr, sizeof identity},
        {"2^32 + 1 sectors", stranger, IOCTL_QUIL_CREATE_DISK, setup(QUIL_MAX_SECTORS + 1, 4096, 0), sizeof sound, nullptr, sizeof identity},
        {"a transfer below 4 KiB", stranger, IOCTL_QUIL_CREATE_DISK, setup(2048, 3584, 0), sizeof sound, nullptr, sizeof identity},
        {"a transfer above 4 MiB", stranger, IOCTL_QUIL_CREATE_DISK, setup(2048, QUIL_MAX_TRANSFER + 512, 0), sizeof sound, nullptr, sizeof identity},
        {"a transfer off the sector grid", stranger, IOCTL_QUIL_CREATE_DISK, setup(2048, 5000, 0), sizeof sound, nullptr, sizeof identity},
        {"an unknown flag", stranger, IOCTL_QUIL_CREATE_DISK, setup(2048, 4096, 2), sizeof sound, nullptr, sizeof identity},
        {"an exchange without a disk", stranger, IOCTL_QUIL_EXCHANGE, {}, 0, nullptr, exchangeOut},
        {"a removal without a disk", stranger, IOCTL_QUIL_REMOVE_DISK, {}, 0, nullptr, 0},
        {"an exchange with no room for a request", owner.control, IOCTL_QUIL_EXCHANGE, {}, 0, nullptr, exchangeOut - 1},
        {"a reply shorter than its header", owner.control, IOCTL_QUIL_EXCHANGE, {}, sizeof(QuilDiskReply) - 1, &unknownTag, exchangeOut},
        {"a reply whose length disagrees", owner.control, IOCTL_QUIL_EXCHANGE, {}, sizeof(QuilDiskReply) + 256, &lengthMismatch, exchangeOut},
        {"a reply to no request", owner.control, IOCTL_QUIL_EXCHANGE, {}, sizeof(QuilDiskReply), &unknownTag, exchangeOut},
    };
    for (const Case& c : cases) {
        const void* in = c.in ? c.in : &c.setup;
        std::memcpy(big.data(), in, std::min<size_t>(c.inSize, sizeof(Reply)));
        EXPECT_FALSE(ControlNow(c.handle, c.code, c.inSize ? big.data() : nullptr, c.inSize, big.data(), c.outSize))
            << c.what << " was accepted";
    }

    // Another process with the owner's handle may neither serve nor remove the disk.
    HANDLE inherited = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), owner.control, ::GetCurrentProcess(), &inherited, 0, TRUE,
                                  DUPLICATE_SAME_ACCESS));
    PROCESS_INFORMATION child =
        StartChild("intrude " + std::to_string(reinterpret_cast<uintptr_t>(inherited)), true);
    ASSERT_NE(child.hProcess, nullptr);
    ASSERT_EQ(::WaitForSingleObject(child.hProcess, kWaitMs), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(child.hProcess, &code);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(inherited);
    EXPECT_EQ(code, 0u) << "another process served or removed the disk";

    const std::string diskPath = "\\\\.\\QuilFileDisk" + std::to_string(owner.identity.number);
    HANDLE disk = OpenDisk(diskPath);
    EXPECT_NE(disk, INVALID_HANDLE_VALUE) << "the disk is gone after the refused requests";
    struct Query {
        const char* what;
        DWORD code;
        DWORD inSize;
        DWORD outSize;
    } queries[] = {
        {"a length into 7 bytes", IOCTL_DISK_GET_LENGTH_INFO, 0, 7},
        {"a geometry into 23 bytes", IOCTL_DISK_GET_DRIVE_GEOMETRY, 0, sizeof(DISK_GEOMETRY) - 1},
        {"partition information into 8 bytes", IOCTL_DISK_GET_PARTITION_INFO_EX, 0, 8},
        {"a verify without its range", IOCTL_DISK_VERIFY, sizeof(VERIFY_INFORMATION) - 1, 0},
        {"an unknown disk code", CTL_CODE(IOCTL_DISK_BASE, 0x7ff, METHOD_BUFFERED, FILE_ANY_ACCESS), 0, 64},
        {"a control code of the control device", IOCTL_QUIL_REMOVE_DISK, 0, 0},
    };
    for (const Query& q : queries) {
        std::memset(big.data(), 0, 64);
        EXPECT_FALSE(ControlNow(disk, q.code, big.data(), q.inSize, big.data(), q.outSize)) << q.what << " was answered";
    }
    VERIFY_INFORMATION beyond = {};
    beyond.StartingOffset.QuadPart = 2048 * 512 - 512;
    beyond.Length = 1024;
    EXPECT_FALSE(ControlNow(disk, IOCTL_DISK_VERIFY, &beyond, sizeof beyond, nullptr, 0)) << "a verify past the end";
    ::CloseHandle(disk);
    ::CloseHandle(stranger);
}

// A loop of random control codes and buffer lengths against the control device (as a stranger and as
// the owner) and against the disk leaves the driver serving the disk.
TEST_F(QuilDisk, RandomControlRequestsLeaveItServing) {
    TempFolder folder("quildisk");
    vlr::CVlrImage image;
    MakeImage(folder / "disk.vlr", image);
    mountex::CDiskServer server;
    ASSERT_TRUE(server.Start(image, false, 2, QUIL_MIN_TRANSFER));
    RawDisk owner;
    ASSERT_TRUE(owner.created);
    HANDLE stranger = OpenControl();
    HANDLE disk = OpenDisk(server.DevicePath(), FILE_FLAG_OVERLAPPED);
    ASSERT_NE(disk, INVALID_HANDLE_VALUE);
    const HANDLE targets[] = {stranger, owner.control, disk};
    const DWORD known[] = {IOCTL_QUIL_CREATE_DISK, IOCTL_QUIL_EXCHANGE, IOCTL_QUIL_REMOVE_DISK,
                           IOCTL_DISK_GET_DRIVE_GEOMETRY, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, IOCTL_DISK_GET_LENGTH_INFO,
                           IOCTL_DISK_GET_PARTITION_INFO, IOCTL_DISK_GET_PARTITION_INFO_EX, IOCTL_DISK_SET_PARTITION_INFO,
                           IOCTL_DISK_VERIFY, IOCTL_DISK_IS_WRITABLE, IOCTL_STORAGE_CHECK_VERIFY,
                           kMountDevQueryUniqueId, kMountDevQueryDeviceName};
    std::mt19937 random(20261208);
    std::vector<BYTE> in(8192), out(8192);
    for (int round = 0; round < 1500; ++round) {
        const HANDLE target = targets[random() % 3];
        DWORD code = random() % 2 ? known[random() % (sizeof known / sizeof *known)]
                                  : CTL_CODE(random() % 0x30, random() % 0x1000, random() % 4, random() % 4);
        // The owner's handle has no server: a sound exchange would rightly wait for work, and removal
        // would rightly remove. Those two are the only requests left out.
        if (target == owner.control && (code == IOCTL_QUIL_EXCHANGE || code == IOCTL_QUIL_REMOVE_DISK)) continue;
        for (BYTE& byte : in) byte = static_cast<BYTE>(random());
        const DWORD inSize = random() % 3 ? random() % 64 : random() % in.size();
        const DWORD outSize = random() % 3 ? random() % 64 : random() % out.size();
        ControlNow(target, code, in.data(), inSize, out.data(), outSize);
    }
    ::CloseHandle(disk);
    ::CloseHandle(stranger);
    EXPECT_TRUE(RoundTrip(server.DevicePath(), 11)) << "the disk stopped serving";
    const std::string rawPath = "\\\\.\\QuilFileDisk" + std::to_string(owner.identity.number);
    HANDLE raw = OpenDisk(rawPath, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE) << "the unserved disk went";

    // A reader that gives up on the unserved disk gets its read back as cancelled.
    std::vector<uint8_t> buffer(4096);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    EXPECT_FALSE(::ReadFile(raw, buffer.data(), 4096, &done, &overlapped));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ::CancelIo(raw);
    EXPECT_EQ(::WaitForSingleObject(overlapped.hEvent, kWaitMs), WAIT_OBJECT_0) << "a cancelled read hangs";
    EXPECT_FALSE(::GetOverlappedResult(raw, &overlapped, &done, FALSE));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    ::CloseHandle(overlapped.hEvent);
    ::CloseHandle(raw);
}
