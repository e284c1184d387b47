#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "DiskServer.h"
#include "DriverInstall.h"
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

// The names of the driver's disks that open now ("\\.\QuilFileDisk<n>").
std::vector<std::string> Disks() {
    std::vector<std::string> disks;
    std::vector<char> names(1 << 16);
    const DWORD size = ::QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (const char* name = names.data(); size && *name; name += std::strlen(name) + 1) {
        if (std::strncmp(name, "QuilFileDisk", 12) != 0) continue;
        const std::string path = std::string("\\\\.\\") + name;
        HANDLE disk = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (disk == INVALID_HANDLE_VALUE) continue;
        disks.push_back(path);
        ::CloseHandle(disk);
    }
    return disks;
}

int DisksPresent() { return static_cast<int>(Disks().size()); }

// What the letter names in the system's device namespace; empty when nothing.
std::string LetterTarget(char letter) {
    const char name[] = {letter, ':', 0};
    char target[512] = {};
    return ::QueryDosDeviceA(name, target, sizeof target) ? std::string(target) : std::string();
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The first sector of the only disk present, read through the device.
std::vector<uint8_t> FirstSector() {
    const std::vector<std::string> disks = Disks();
    if (disks.size() != 1) return {};
    HANDLE disk = ::CreateFileA(disks[0].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE) return {};
    std::vector<uint8_t> sector(512);
    OVERLAPPED at = {};
    DWORD done = 0;
    const bool ok = ::ReadFile(disk, sector.data(), 512, &done, &at) && done == 512;
    ::CloseHandle(disk);
    return ok ? sector : std::vector<uint8_t>();
}

struct Password {
    char bytes[17] = {};
    explicit Password(const char* text) { std::strncpy(bytes, text, sizeof bytes); }
};

class WindowsDisks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetDriverInstalled(true); }
    static void TearDownTestSuite() { SetDriverInstalled(false); }
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

// A process that mounted a disk ends without dismounting it: the disk goes with it, and the letter it
// left behind is taken away by a dismount from another process, or by the next mount on that letter.
TEST_F(WindowsDisks, ALetterLeftByAProcessThatEndedIsTakenBackByDismountOrMount) {
    TempFolder folder("windisk");
    const std::string image = folder / "disk.vlr", marker = folder / "child.txt";
    const std::string secret = "pass1234";
    vlr::CreateOptions cheap;
    cheap.kdf = {1, 64, 1};
    ASSERT_EQ(vlr::CVlrImage::Create(image, 100, reinterpret_cast<const uint8_t*>(secret.data()), secret.size(), cheap),
              vlr::VlrResult::Ok);
    const mountex::CPassword password(Password("pass1234").bytes);

    for (const bool byDismount : {true, false}) {
        SCOPED_TRACE(byDismount ? "taken back by a dismount" : "taken back by the next mount");
        ::DeleteFileA(marker.c_str());
        std::string line = "\"" + WinePath(QUILDISK_CHILD) + "\" mount M \"" + image + "\" \"" + marker + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        ASSERT_TRUE(::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
        for (int i = 0; i < 200 && ReadBytes(marker).find("mounted") == std::string::npos; ++i) ::Sleep(50);
        ASSERT_NE(ReadBytes(marker).find("mounted"), std::string::npos) << "the child did not mount";
        const std::string device = LetterTarget('M');
        ASSERT_EQ(device.rfind("\\Device\\QuilFileDisk", 0), 0u) << "M: names " << device;

        ::TerminateProcess(child.hProcess, 9);
        ::WaitForSingleObject(child.hProcess, 20000);
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
        for (int i = 0; i < 100 && DisksPresent() != 0; ++i) ::Sleep(50);
        ASSERT_EQ(DisksPresent(), 0) << "the disk outlived its process";
        EXPECT_EQ(LetterTarget('M'), device) << "the letter was not left behind: nothing to take back";

        if (byDismount) {
            EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
            EXPECT_EQ(LetterTarget('M'), "") << "the letter stayed";
            EXPECT_FALSE(mountex::WindowsDisMountDisk('M')) << "a second dismount";
        } else {
            ASSERT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), password));
            EXPECT_NE(LetterTarget('M'), device) << "M: still names the disk that is gone";
            EXPECT_EQ(FirstSector().size(), 512u) << "the new disk does not serve";
            EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
            EXPECT_EQ(LetterTarget('M'), "");
        }
    }
}
