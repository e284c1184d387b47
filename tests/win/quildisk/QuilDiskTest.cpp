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
#include "TempFolder.h"
#include "VlrImage.h"
#include "WineDrives.h"

// The QUILFILEDISK driver carrying a secret disk, installed by Drivset into the test prefix and served
// by Mountex's disk server. Wine cannot put a Windows file system on a disk device, so these tests
// drive the disk itself: its sectors, its queries, its control codes.

namespace {

const DWORD kWaitMs = 20000;

void RunDrivset(const char* verb) {
    std::string command = "\"" + WinePath(DRIVSET_EXE) + "\" " + verb;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process));
    DWORD waited = ::WaitForSingleObject(process.hProcess, 60000);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "Drivset " << verb << " did not end";
}

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
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
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
    static void SetUpTestSuite() { RunDrivset("Install"); }
    static void TearDownTestSuite() { RunDrivset("Uninstall"); }
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
