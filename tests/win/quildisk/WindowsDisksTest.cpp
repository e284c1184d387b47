#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <aclapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "DiskProtocol.h"
#include "DiskServer.h"
#include "DriverInstall.h"
#include "ImportHook.h"
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

// What the code under test meets of the system, changed on request: a formatter that reports success or
// failure (Wine has none), the new root's access list taken as set (Wine's letter holds no file
// system), a volume with no room, a driver that refuses disks, a lock that fails, exchanges that fail
// for want of resources. Everything else goes through to the real functions.
struct FakeSystem {
    bool formatSucceeds = false;
    bool rootAclSucceeds = true;
    bool volumeFull = false;
    bool driverRefusesDisks = false;
    bool lockFails = false;
    int exchangesToFail = 0;  // the next exchanges that carry a reply fail with ERROR_NO_SYSTEM_RESOURCES
    int exchangesFailed = 0;
};
FakeSystem gFake;
char gFakeFormatter;  // its address stands for fmifs.dll

decltype(&::LoadLibraryA) gRealLoadLibrary;
decltype(&::GetProcAddress) gRealGetProcAddress;
decltype(&::FreeLibrary) gRealFreeLibrary;
decltype(&::GetDiskFreeSpaceExA) gRealGetDiskFreeSpaceEx;
decltype(&::DeviceIoControl) gRealDeviceIoControl;
decltype(&::SetNamedSecurityInfoA) gRealSetNamedSecurityInfo;

typedef BOOLEAN(WINAPI* FormatCallback)(int command, DWORD action, PVOID info);
void WINAPI FakeFormatEx(PWCHAR, DWORD, PWCHAR, PWCHAR, BOOL, DWORD, FormatCallback callback) {
    BOOLEAN done = gFake.formatSucceeds;
    callback(11, 0, &done);
}

HMODULE WINAPI FakeLoadLibrary(LPCSTR name) {
    if (lstrcmpiA(name, "fmifs.dll") == 0) return reinterpret_cast<HMODULE>(&gFakeFormatter);
    return gRealLoadLibrary(name);
}
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (module == reinterpret_cast<HMODULE>(&gFakeFormatter))
        return lstrcmpA(name, "FormatEx") == 0 ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeFormatEx)) : nullptr;
    return gRealGetProcAddress(module, name);
}
BOOL WINAPI FakeFreeLibrary(HMODULE module) {
    return module == reinterpret_cast<HMODULE>(&gFakeFormatter) ? TRUE : gRealFreeLibrary(module);
}
BOOL WINAPI FakeGetDiskFreeSpaceEx(LPCSTR folder, PULARGE_INTEGER available, PULARGE_INTEGER total,
                                   PULARGE_INTEGER free) {
    const BOOL ok = gRealGetDiskFreeSpaceEx(folder, available, total, free);
    if (ok && gFake.volumeFull) available->QuadPart = free->QuadPart = 50u << 20;
    return ok;
}
BOOL WINAPI FakeDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                LPDWORD returned, LPOVERLAPPED overlapped) {
    DWORD error = ERROR_SUCCESS;
    if (code == IOCTL_QUIL_CREATE_DISK && gFake.driverRefusesDisks) error = ERROR_TOO_MANY_NAMES;
    if (code == FSCTL_LOCK_VOLUME && gFake.lockFails) error = ERROR_ACCESS_DENIED;
    if (code == IOCTL_QUIL_EXCHANGE && inSize != 0 && gFake.exchangesToFail > 0) {
        --gFake.exchangesToFail;
        ++gFake.exchangesFailed;
        error = ERROR_NO_SYSTEM_RESOURCES;
    }
    if (error == ERROR_SUCCESS)
        return gRealDeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    ::SetLastError(error);
    return FALSE;
}
DWORD WINAPI FakeSetNamedSecurityInfo(LPSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                                      PSID group, PACL dacl, PACL sacl) {
    // A drive's root ("M:\\") is the new volume's; a folder is a real one.
    if (lstrlenA(name) == 3 && name[1] == ':') return gFake.rootAclSucceeds ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    return gRealSetNamedSecurityInfo(name, type, what, owner, group, dacl, sacl);
}

void FakeTheSystem() {
    if (gRealLoadLibrary) return;
    gRealLoadLibrary = reinterpret_cast<decltype(gRealLoadLibrary)>(
        HookKernel32Import("LoadLibraryA", reinterpret_cast<void*>(&FakeLoadLibrary)));
    gRealGetProcAddress = reinterpret_cast<decltype(gRealGetProcAddress)>(
        HookKernel32Import("GetProcAddress", reinterpret_cast<void*>(&FakeGetProcAddress)));
    gRealFreeLibrary = reinterpret_cast<decltype(gRealFreeLibrary)>(
        HookKernel32Import("FreeLibrary", reinterpret_cast<void*>(&FakeFreeLibrary)));
    gRealGetDiskFreeSpaceEx = reinterpret_cast<decltype(gRealGetDiskFreeSpaceEx)>(
        HookKernel32Import("GetDiskFreeSpaceExA", reinterpret_cast<void*>(&FakeGetDiskFreeSpaceEx)));
    gRealDeviceIoControl = reinterpret_cast<decltype(gRealDeviceIoControl)>(
        HookKernel32Import("DeviceIoControl", reinterpret_cast<void*>(&FakeDeviceIoControl)));
    gRealSetNamedSecurityInfo = reinterpret_cast<decltype(gRealSetNamedSecurityInfo)>(
        HookImport("advapi32.dll", "SetNamedSecurityInfoA", reinterpret_cast<void*>(&FakeSetNamedSecurityInfo)));
}

// A fingerprint of a file's every byte (FNV-1a), read beside whatever holds it open; 0 when unreadable.
uint64_t Fingerprint(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    uint64_t hash = 1469598103934665603ull;
    std::vector<uint8_t> buffer(1 << 20);
    DWORD read = 0;
    while (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read)
        for (DWORD i = 0; i < read; ++i) hash = (hash ^ buffer[i]) * 1099511628211ull;
    ::CloseHandle(file);
    return hash;
}

// The names in a folder.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

// An image made directly by the image layer (cheap key derivation), its first sector `sector`.
void MakeImage(const std::string& path, const std::vector<uint8_t>& sector) {
    const std::string secret = "pass1234";
    vlr::CreateOptions cheap;
    cheap.kdf = {1, 64, 1};
    vlr::CVlrImage made;
    ASSERT_EQ(made.CreateOpen(path, 100, reinterpret_cast<const uint8_t*>(secret.data()), secret.size(), cheap),
              vlr::VlrResult::Ok);
    ASSERT_TRUE(made.WriteSectors(0, 1, sector.data()));
}

std::vector<uint8_t> Sector(uint8_t seed) {
    std::vector<uint8_t> sector(512);
    for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<uint8_t>(i * seed + 1);
    return sector;
}

class WindowsDisks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetDriverInstalled(true); }
    static void TearDownTestSuite() { SetDriverInstalled(false); }
    void SetUp() override {
        ASSERT_FALSE(mountex::DriverInterfacePath().empty()) << "the driver is not installed";
        ASSERT_EQ(DisksPresent(), 0);
        FakeTheSystem();
        gFake = FakeSystem();
    }
    void TearDown() override { gFake = FakeSystem(); }
};

}  // namespace

// A new disk that cannot be formatted leaves nothing: no image file, no disk device, no letter.
TEST_F(WindowsDisks, ACreationThatFailsLeavesNoImageNoDiskAndNoLetter) {
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

// A creation over an existing image that fails at any step leaves that image byte for byte as it was,
// and nothing beside it; one that succeeds replaces it with the new image, which it then serves.
TEST_F(WindowsDisks, ACreationThatFailsLeavesTheImageItWasToReplaceAsItWas) {
    TempFolder folder("windisk");
    const std::string image = folder / "disk.vlr";
    MakeImage(image, Sector(13));
    const uint64_t before = Fingerprint(image);
    ASSERT_NE(before, 0u);
    const mountex::CPassword password(Password("newpass1").bytes);

    struct Case {
        const char* what;
        void (*stage)();
        bool holdOpen;  // another program holds the old image open
    } cases[] = {
        {"the format fails", [] { gFake.formatSucceeds = false; }, false},
        {"the driver refuses the disk", [] { gFake.formatSucceeds = true; gFake.driverRefusesDisks = true; }, false},
        {"the volume is full", [] { gFake.formatSucceeds = true; gFake.volumeFull = true; }, false},
        {"the root cannot be protected", [] { gFake.formatSucceeds = true; gFake.rootAclSucceeds = false; }, false},
        {"the old image is open elsewhere", [] { gFake.formatSucceeds = true; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gFake = FakeSystem();
        c.stage();
        HANDLE holder = c.holdOpen ? ::CreateFileA(image.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
        EXPECT_FALSE(mountex::WindowsCreateImage('M', image.c_str(), password, 100));
        if (holder != INVALID_HANDLE_VALUE) ::CloseHandle(holder);
        EXPECT_EQ(Fingerprint(image), before) << "the old image changed";
        EXPECT_EQ(Listing(folder.Path()), std::vector<std::string>{"disk.vlr"}) << "something was left beside it";
        EXPECT_EQ(DisksPresent(), 0) << "the disk stayed";
        EXPECT_EQ(LetterTarget('M'), "") << "the letter stayed";
    }

    gFake = FakeSystem();
    gFake.formatSucceeds = true;
    ASSERT_TRUE(mountex::WindowsCreateImage('M', image.c_str(), password, 100));
    EXPECT_EQ(Listing(folder.Path()), std::vector<std::string>{"disk.vlr"});
    EXPECT_NE(Fingerprint(image), before) << "the new image did not take the old one's place";
    EXPECT_EQ(DisksPresent(), 1);
    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
    EXPECT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), password)) << "the new image does not open";
    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
}

// A served image is the same image under every spelling of its path: a second mount or a creation over
// it is refused, and its bytes stay as they were.
TEST_F(WindowsDisks, AServedImageIsRefusedUnderAnotherSpellingAndNotTruncated) {
    TempFolder folder("windisk");
    ASSERT_TRUE(::CreateDirectoryA((folder / "inner").c_str(), nullptr));
    const std::string image = folder / "Secret disk image.vlr";
    MakeImage(image, Sector(7));
    const mountex::CPassword password(Password("pass1234").bytes);
    ASSERT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), password));
    const uint64_t before = Fingerprint(image);
    gFake.formatSucceeds = true;

    char shortName[MAX_PATH] = {};
    ASSERT_NE(::GetShortPathNameA(image.c_str(), shortName, MAX_PATH), 0u);
    std::string upper = image;
    ::CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    const std::string spellings[] = {shortName, upper, folder / "inner\\..\\Secret disk image.vlr"};
    ASSERT_NE(spellings[0], image) << "this system gave no short name";
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        EXPECT_FALSE(mountex::WindowsMountDisk('N', spelling.c_str(), password)) << "mounted twice";
        EXPECT_FALSE(mountex::WindowsCreateImage('N', spelling.c_str(), password, 100)) << "created over it";
        EXPECT_EQ(Fingerprint(image), before) << "the served image changed";
        EXPECT_EQ(DisksPresent(), 1);
        if (DisksPresent() > 1) mountex::WindowsDisMountDisk('N');
    }
    EXPECT_EQ(FirstSector(), Sector(7)) << "the served disk no longer shows its data";
    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
}

// A volume that will not lock (a file is open on it) is not pulled away: the dismount says it failed,
// the disk keeps serving under its letter, and a later dismount removes it.
TEST_F(WindowsDisks, ADismountThatCannotLockTheVolumeFailsAndKeepsTheDisk) {
    TempFolder folder("windisk");
    const std::string image = folder / "disk.vlr";
    MakeImage(image, Sector(5));
    const mountex::CPassword password(Password("pass1234").bytes);
    ASSERT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), password));
    const std::string device = LetterTarget('M');

    gFake.lockFails = true;
    EXPECT_FALSE(mountex::WindowsDisMountDisk('M')) << "the disk was taken from under its file system";
    EXPECT_EQ(DisksPresent(), 1) << "the disk went";
    EXPECT_EQ(LetterTarget('M'), device) << "the letter went";
    EXPECT_EQ(FirstSector(), Sector(5)) << "the disk no longer serves";

    gFake.lockFails = false;
    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
    EXPECT_EQ(DisksPresent(), 0);
    EXPECT_EQ(LetterTarget('M'), "");
}

// Exchanges with the driver that fail for want of system resources are tried again: the disk stays,
// and what was written reads back, through the disk and after mounting the image again.
TEST_F(WindowsDisks, FailedExchangesAreTriedAgainAndTheDiskKeepsItsData) {
    TempFolder folder("windisk");
    const std::string image = folder / "disk.vlr";
    MakeImage(image, Sector(3));
    const mountex::CPassword password(Password("pass1234").bytes);
    ASSERT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), password));
    const std::vector<std::string> disks = Disks();
    ASSERT_EQ(disks.size(), 1u);

    std::vector<uint8_t> data(64 << 10);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + i / 512);
    gFake.exchangesToFail = 3;
    HANDLE disk = ::CreateFileA(disks[0].c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(disk, INVALID_HANDLE_VALUE);
    OVERLAPPED at = {};
    at.Offset = 1 << 20;
    DWORD done = 0;
    EXPECT_TRUE(::WriteFile(disk, data.data(), static_cast<DWORD>(data.size()), &done, &at));
    std::vector<uint8_t> back(data.size());
    at = OVERLAPPED();
    at.Offset = 1 << 20;
    EXPECT_TRUE(::ReadFile(disk, back.data(), static_cast<DWORD>(back.size()), &done, &at));
    ::CloseHandle(disk);
    EXPECT_EQ(gFake.exchangesFailed, 3) << "the failures were not staged";
    EXPECT_EQ(back, data) << "the disk lost what was written";
    EXPECT_EQ(DisksPresent(), 1) << "a failed exchange removed the disk";

    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
    ASSERT_TRUE(mountex::WindowsMountDisk('M', image.c_str(), password));
    disk = ::CreateFileA(Disks().at(0).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(disk, INVALID_HANDLE_VALUE);
    at = OVERLAPPED();
    at.Offset = 1 << 20;
    back.assign(back.size(), 0);
    EXPECT_TRUE(::ReadFile(disk, back.data(), static_cast<DWORD>(back.size()), &done, &at));
    ::CloseHandle(disk);
    EXPECT_EQ(back, data) << "the image lost what was written";
    EXPECT_TRUE(mountex::WindowsDisMountDisk('M'));
}

// Whether folders here forget an access list set on them: an empty one, which denies everyone, reads
// back as something else.
bool KeepsNoAccessLists(const std::string& probe) {
    if (!::CreateDirectoryA(probe.c_str(), nullptr)) return true;
    ACL empty;
    ::InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool kept =
        ::SetNamedSecurityInfoA(const_cast<char*>(probe.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &empty, nullptr) == ERROR_SUCCESS &&
        ::GetNamedSecurityInfoA(const_cast<char*>(probe.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS &&
        dacl && dacl->AceCount == 0;
    if (descriptor) ::LocalFree(descriptor);
    ::SetNamedSecurityInfoA(const_cast<char*>(probe.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr);
    return !kept;
}

// The root of a new volume lets in its user, SYSTEM and the Administrators, with full control that
// everything below inherits, and nobody else; nothing above it adds to that.
TEST_F(WindowsDisks, ANewVolumesRootAdmitsOnlyItsUserSystemAndAdministrators) {
    TempFolder folder("windisk");
    const std::string root = folder / "root";
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(mountex::ProtectRoot(root));

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoA(const_cast<char*>(root.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    if (KeepsNoAccessLists(folder / "probe")) {
        ::LocalFree(descriptor);
        GTEST_SKIP() << "this file system keeps no access lists (Wine without extended attributes)";
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the root inherits from the folder above";

    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE userBuffer[256];
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, userBuffer, sizeof userBuffer, &size));
    ::CloseHandle(token);
    BYTE system[SECURITY_MAX_SID_SIZE], administrators[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof system, administratorsSize = sizeof administrators;
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
    const PSID expected[] = {reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid, system, administrators};

    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 3u);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        SCOPED_TRACE(i);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE),
                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)
            << "not inherited by files and folders below";
        EXPECT_EQ(ace->Mask & FILE_ALL_ACCESS, static_cast<DWORD>(FILE_ALL_ACCESS));
        EXPECT_TRUE(::EqualSid(&ace->SidStart, expected[i])) << "an account that should not be there";
    }
    ::LocalFree(descriptor);
}
