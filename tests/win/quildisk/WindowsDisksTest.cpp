#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "DiskServer.h"
#include "TempFolder.h"
#include "VlrImage.h"
#include "WindowsDisks.h"
#include "WineDrives.h"

// Mountex's way on Windows itself, run under Wine as far as Wine carries it: the image served by the
// driver from this process, the letter naming the disk device, the bookkeeping of mounted disks, and
// the clean-up of every failure. Wine has no formatter (fmifs.dll) and cannot put a file system on the
// disk (the letter names the device, yet holds no volume), so a creation fails at the format here,
// which is the failure whose clean-up these tests watch.

namespace {

void RunDrivset(const char* verb) {
    std::string command = "\"" + WinePath(DRIVSET_EXE) + "\" " + verb;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process));
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

// The driver's disks that open now.
int DisksPresent() {
    int present = 0;
    for (int n = 0; n < 8; ++n) {
        HANDLE disk = ::CreateFileA(("\\\\.\\QuilFileDisk" + std::to_string(n)).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (disk == INVALID_HANDLE_VALUE) continue;
        ++present;
        ::CloseHandle(disk);
    }
    return present;
}

// What the letter names in the system's device namespace; empty when nothing.
std::string LetterTarget(char letter) {
    const char name[] = {letter, ':', 0};
    char target[512] = {};
    return ::QueryDosDeviceA(name, target, sizeof target) ? std::string(target) : std::string();
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The first sector of the only disk present, read through the device.
std::vector<uint8_t> FirstSector() {
    for (int n = 0; n < 8; ++n) {
        HANDLE disk = ::CreateFileA(("\\\\.\\QuilFileDisk" + std::to_string(n)).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (disk == INVALID_HANDLE_VALUE) continue;
        std::vector<uint8_t> sector(512);
        OVERLAPPED at = {};
        DWORD done = 0;
        const bool ok = ::ReadFile(disk, sector.data(), 512, &done, &at) && done == 512;
        ::CloseHandle(disk);
        return ok ? sector : std::vector<uint8_t>();
    }
    return {};
}

struct Password {
    char bytes[17] = {};
    explicit Password(const char* text) { std::strncpy(bytes, text, sizeof bytes); }
};

class WindowsDisks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RunDrivset("Install"); }
    static void TearDownTestSuite() { RunDrivset("Uninstall"); }
    void SetUp() override {
        ASSERT_FALSE(mountex::DriverInterfacePath().empty()) << "the driver is not installed";
        ASSERT_EQ(DisksPresent(), 0);
    }
};

}  // namespace

// A new disk that cannot be formatted leaves nothing: no image file, no disk device, no letter.
TEST_F(WindowsDisks, ACreationThatFailsLeavesNoImageNoDiskAndNoLetter) {
    HMODULE formatter = ::LoadLibraryA("fmifs.dll");
    if (formatter) {
        ::FreeLibrary(formatter);
        GTEST_SKIP() << "this system can format: the failure cannot be staged";
    }
    TempFolder folder("windisk");
    const std::string image = folder / "new.vlr";
    const mountex::CPassword password(Password("pass1234").bytes);
    EXPECT_FALSE(mountex::WindowsCreateImage('M', image.c_str(), password, 100));
    EXPECT_FALSE(Exists(image)) << "the half-made image stayed";
    EXPECT_EQ(DisksPresent(), 0) << "the disk stayed";
    EXPECT_EQ(LetterTarget('M'), "") << "the letter stayed";
}

// A mounted image is served from this process until it is dismounted; the same image or the same letter
// cannot be mounted twice, and a refused mount leaves no disk.
TEST_F(WindowsDisks, AMountedImageIsServedOnceUntilItsDismount) {
    TempFolder folder("windisk");
    const std::string image = folder / "disk.vlr", other = folder / "other.vlr";
    const std::string secret = "pass1234";
    vlr::CreateOptions cheap;
    cheap.kdf = {1, 64, 1};
    std::vector<uint8_t> sector(512);
    for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<uint8_t>(i * 13 + 1);
    for (const std::string& path : {image, other}) {
        vlr::CVlrImage made;
        ASSERT_EQ(made.CreateOpen(path, 100, reinterpret_cast<const uint8_t*>(secret.data()), secret.size(), cheap),
                  vlr::VlrResult::Ok);
        ASSERT_TRUE(made.WriteSectors(0, 1, sector.data()));
    }
    const mountex::CPassword right(Password("pass1234").bytes), wrong(Password("pass1235").bytes);

    EXPECT_FALSE(mountex::WindowsMountDisk('M', image.c_str(), wrong));
    EXPECT_EQ(DisksPresent(), 0) << "a wrong password left a disk";
    ASSERT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), right));
    EXPECT_EQ(DisksPresent(), 1);
    EXPECT_EQ(LetterTarget('M').rfind("\\Device\\QuilFileDisk", 0), 0u) << "M: names " << LetterTarget('M');
    EXPECT_EQ(FirstSector(), sector) << "the disk does not show the image's plaintext";
    EXPECT_FALSE(mountex::WindowsMountDisk('N', image.c_str(), right)) << "the same image twice";
    EXPECT_FALSE(mountex::WindowsMountDisk('M', other.c_str(), right)) << "the same letter twice";
    EXPECT_EQ(DisksPresent(), 1);

    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
    EXPECT_EQ(DisksPresent(), 0) << "the disk outlived its dismount";
    EXPECT_EQ(LetterTarget('M'), "") << "the letter stayed";
    EXPECT_FALSE(mountex::WindowsDisMountDisk('M')) << "a second dismount";
    ASSERT_TRUE(mountex::WindowsMountDisk('N', image.c_str(), right)) << "the image is still taken";
    EXPECT_TRUE(mountex::WindowsDisMountDisk('N'));
}
