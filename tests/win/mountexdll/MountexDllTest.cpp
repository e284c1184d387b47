#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "HostShell.h"
#include "TempFolder.h"
#include "WineDrives.h"

// Mountex.dll under Wine, through its three exports as Lockvale calls them: a secret disk made,
// written, closed and opened again on a drive letter every Windows program sees, and the calls that
// must fail with nothing changed.

namespace {

typedef int(WINAPI* CreateImageFn)(char, const char*, const char*, UINT);
typedef int(WINAPI* MountDiskFn)(char, const char*, const char*, BYTE);
typedef int(WINAPI* DisMountDiskFn)(char);

// A password as Lockvale keeps it: a zero-filled 17-byte buffer.
struct Password {
    char bytes[17] = {};
    explicit Password(const char* text) { std::strncpy(bytes, text, sizeof bytes); }
};

bool DriveUsed(char letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    return ::GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR;
}

unsigned long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// True when `needle` occurs anywhere in the file (read in pieces that overlap by its length).
bool FileContains(const std::string& path, const std::string& needle) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(4 << 20);
    size_t kept = 0;
    bool found = false;
    DWORD got = 0;
    while (!found && ::ReadFile(file, buffer.data() + kept, static_cast<DWORD>(buffer.size() - kept), &got, nullptr) && got) {
        const size_t size = kept + got;
        found = std::search(buffer.begin(), buffer.begin() + size, needle.begin(), needle.end()) != buffer.begin() + size;
        kept = std::min(size, needle.size() - 1);
        std::memmove(buffer.data(), buffer.data() + size - kept, kept);
    }
    ::CloseHandle(file);
    return found;
}

// Runs mountex-call (one call of the DLL from a process of its own) and returns its exit code. The
// caller is a GUI program without a console, as Lockvale is when started from the desktop (Wine
// would otherwise hand it this test's console).
int CallInOwnProcess(const std::string& arguments) {
    std::string line = "\"" + WinePath(MOUNTEX_CALL) + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                          &process))
        return -1;
    ::WaitForSingleObject(process.hProcess, 120000);
    DWORD code = static_cast<DWORD>(-1);
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

class MountexDll : public ::testing::Test {
protected:
    void SetUp() override {
        dll_ = ::LoadLibraryA(WinePath(MOUNTEX_DLL).c_str());
        ASSERT_NE(dll_, nullptr) << "Mountex.dll does not load";
        // Plain names, as the import library of the 32-bit DLL asks for them.
        createImage_ = reinterpret_cast<CreateImageFn>(reinterpret_cast<void*>(::GetProcAddress(dll_, "CreateImage")));
        mountDisk_ = reinterpret_cast<MountDiskFn>(reinterpret_cast<void*>(::GetProcAddress(dll_, "MountDisk")));
        disMountDisk_ = reinterpret_cast<DisMountDiskFn>(reinterpret_cast<void*>(::GetProcAddress(dll_, "DisMountDisk")));
        ASSERT_TRUE(createImage_ && mountDisk_ && disMountDisk_) << "an export is missing under its plain name";
        ASSERT_FALSE(DriveUsed('S')) << "S: is taken before the test";
        ASSERT_FALSE(DriveUsed('T')) << "T: is taken before the test";
    }
    void TearDown() override {
        for (char letter : {'S', 'T'})
            if (DriveUsed(letter)) disMountDisk_(letter);
        if (dll_) ::FreeLibrary(dll_);
    }

    HMODULE dll_ = nullptr;
    CreateImageFn createImage_ = nullptr;
    MountDiskFn mountDisk_ = nullptr;
    DisMountDiskFn disMountDisk_ = nullptr;
};

}  // namespace

TEST_F(MountexDll, ASecretDiskKeepsItsFilesBehindItsPasswordOnly) {
    TempFolder folder("mountex");
    const std::string image = folder / "秘密盘.vlr";
    const Password password("Secret#12345"), wrong("Secret#12346");
    const std::string marker = "PLAINTEXT-MARKER-never-in-the-image-";
    std::string content;
    while (content.size() < 64 * 1024) content += marker + std::to_string(content.size()) + "\r\n";

    ASSERT_EQ(createImage_('S', image.c_str(), password.bytes, 100), 1);
    EXPECT_EQ(::GetDriveTypeA("S:\\"), static_cast<UINT>(DRIVE_FIXED));
    char fileSystem[32] = {};
    ASSERT_TRUE(::GetVolumeInformationA("S:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem));
    EXPECT_STREQ(fileSystem, "NTFS");
    EXPECT_EQ(FileSize(image), 100ull * 1024 * 1024 + 2 * 4096) << "the image is written in full: 100 MB and two header slots";
    ASSERT_TRUE(WriteBytes("S:\\机密.txt", content));
    EXPECT_EQ(ReadBytes("S:\\机密.txt"), content);

    ASSERT_EQ(disMountDisk_('S'), 1);
    EXPECT_FALSE(DriveUsed('S')) << "the letter is gone after dismounting";
    EXPECT_FALSE(FileContains(image, marker)) << "the image holds the file's plaintext";

    EXPECT_EQ(mountDisk_('S', image.c_str(), wrong.bytes, 0), 0);
    EXPECT_FALSE(DriveUsed('S')) << "a wrong password leaves the letter free";
    ASSERT_EQ(mountDisk_('S', image.c_str(), password.bytes, 0), 1);
    EXPECT_EQ(ReadBytes("S:\\机密.txt"), content) << "the file is back after mounting again";
    EXPECT_EQ(disMountDisk_('S'), 1);
    EXPECT_FALSE(DriveUsed('S'));
}

namespace {

// What a failed call must leave as it was: the names and sizes in the folders, and the image's
// header slot.
std::string Snapshot(const std::vector<std::string>& folders, const std::string& image) {
    std::string state;
    for (const std::string& folder : folders) {
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            state += std::string(found.cFileName) + " " + std::to_string(found.nFileSizeLow) + "\n";
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    return state + ReadBytes(image).substr(0, 4096);
}

}  // namespace

TEST_F(MountexDll, EveryRefusedCallChangesNothing) {
    TempFolder folder("mountex");
    const std::string small = WinePath(SMALL_VOLUME);  // a 64 MB volume
    const std::string mounted = folder / "mounted.vlr", closed = folder / "closed.vlr";
    const std::string damaged = folder / "damaged.vlr", missing = folder / "missing.vlr";
    const Password password("right-pw"), wrong("wrong-pw"), tooShort("abc");
    Password tooLong("");
    std::memset(tooLong.bytes, 'p', sizeof tooLong.bytes);  // 17 characters and no end
    ASSERT_EQ(createImage_('T', closed.c_str(), password.bytes, 100), 1);
    ASSERT_EQ(disMountDisk_('T'), 1);
    ASSERT_EQ(createImage_('S', mounted.c_str(), password.bytes, 100), 1);
    ASSERT_TRUE(WriteBytes("S:\\kept.txt", "still here"));
    ASSERT_TRUE(WriteBytes(damaged, std::string(1 << 20, 'x')));

    const std::vector<std::pair<const char*, std::function<int()>>> cases = {
        {"a wrong password", [&] { return mountDisk_('T', closed.c_str(), wrong.bytes, 0); }},
        {"a missing image", [&] { return mountDisk_('T', missing.c_str(), password.bytes, 0); }},
        {"a damaged image", [&] { return mountDisk_('T', damaged.c_str(), password.bytes, 0); }},
        {"letter 0", [&] { return mountDisk_(0, closed.c_str(), password.bytes, 0); }},
        {"letter B", [&] { return mountDisk_('B', closed.c_str(), password.bytes, 0); }},
        {"a lower-case letter", [&] { return mountDisk_('t', closed.c_str(), password.bytes, 0); }},
        {"a letter past Z", [&] { return mountDisk_('[', closed.c_str(), password.bytes, 0); }},
        {"a letter in use", [&] { return mountDisk_('D', closed.c_str(), password.bytes, 0); }},
        {"creating on a letter in use", [&] { return createImage_('D', missing.c_str(), password.bytes, 100); }},
        {"an image already mounted", [&] { return mountDisk_('T', mounted.c_str(), password.bytes, 0); }},
        {"creating over a mounted image", [&] { return createImage_('T', mounted.c_str(), password.bytes, 100); }},
        {"99 MB", [&] { return createImage_('T', missing.c_str(), password.bytes, 99); }},
        {"11265 MB", [&] { return createImage_('T', missing.c_str(), password.bytes, 11265); }},
        {"an image too big for its volume", [&] { return createImage_('T', (small + "\\big.vlr").c_str(), password.bytes, 100); }},
        {"a 3-character password", [&] { return createImage_('T', missing.c_str(), tooShort.bytes, 100); }},
        {"a 17-character password", [&] { return createImage_('T', missing.c_str(), tooLong.bytes, 100); }},
        {"mounting with a 3-character password", [&] { return mountDisk_('T', closed.c_str(), tooShort.bytes, 0); }},
        {"dismounting a letter this library did not mount", [&] { return disMountDisk_('D'); }},
        {"dismounting a free letter", [&] { return disMountDisk_('T'); }},
    };
    const std::vector<std::string> folders = {folder.Path(), small};
    for (const auto& c : cases) {
        const std::string before = Snapshot(folders, closed) + Snapshot({}, mounted);
        EXPECT_EQ(c.second(), 0) << c.first;
        EXPECT_EQ(Snapshot(folders, closed) + Snapshot({}, mounted), before) << c.first << " changed a file";
        EXPECT_FALSE(DriveUsed('T')) << c.first << " left T: defined";
        EXPECT_TRUE(DriveUsed('D')) << c.first << " took D: away";
        EXPECT_EQ(ReadBytes("S:\\kept.txt"), "still here") << c.first << " disturbed the mounted disk";
    }
}

// Each call in a process of its own, a GUI program without a console as Lockvale is: the disk
// outlives the process that made or mounted it, a later one closes it, and only its password opens it.
TEST_F(MountexDll, ADiskOutlivesTheProcessThatMountedItAndOnlyItsPasswordOpensIt) {
    TempFolder folder("mountex");
    const std::string image = folder / "窗口.vlr";
    ASSERT_EQ(CallInOwnProcess("create T \"" + image + "\" pass1234"), 1) << "a GUI program cannot make a disk";
    ASSERT_TRUE(WriteBytes("T:\\note.txt", "written before")) << "the disk is gone with the process that made it";
    ASSERT_EQ(CallInOwnProcess("dismount T"), 1) << "a later process cannot close the disk";

    EXPECT_EQ(CallInOwnProcess("mount T \"" + image + "\" pass1235"), 0) << "a wrong password opened the disk";
    EXPECT_FALSE(DriveUsed('T'));
    ASSERT_EQ(CallInOwnProcess("mount T \"" + image + "\" pass1234"), 1) << "a GUI program cannot open its disk";
    EXPECT_EQ(ReadBytes("T:\\note.txt"), "written before") << "the disk is gone with the process that mounted it";
    EXPECT_EQ(CallInOwnProcess("dismount T"), 1) << "a later process cannot close the disk";
    EXPECT_FALSE(DriveUsed('T'));
}

namespace {

// The host folder the library mounts a letter's disk on: "<prefix>/mountex/<letter>".
std::string LetterFolder(char letter) {
    const std::string drive = HostPath("C:\\");
    return drive.substr(0, drive.rfind("/dosdevices/")) + "/mountex/" + static_cast<char>(letter | 0x20);
}

// Runs a host shell command and gives what it printed.
std::string HostOutput(const std::string& command) {
    static int serial = 0;
    const std::string out = "/tmp/mountex-dll-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    RunHostShell("(" + command + ") > " + out + " 2>&1");
    const std::string text = ReadBytes(WinePath(out));
    ::DeleteFileA(WinePath(out).c_str());
    return text;
}

}  // namespace

TEST_F(MountexDll, AnOpenDiskAndItsFoldersAreClosedToOtherUsers) {
    TempFolder folder("mountex");
    const std::string image = folder / "private.vlr";
    const Password password("owner-only");
    ASSERT_EQ(createImage_('S', image.c_str(), password.bytes, 100), 1);
    ASSERT_TRUE(WriteBytes("S:\\mine.txt", "the owner's"));
    EXPECT_EQ(ReadBytes("S:\\mine.txt"), "the owner's");

    const std::string point = LetterFolder('S'), parent = point.substr(0, point.rfind('/'));
    // Mode bits for others: none on the library's folder, and the open disk is the owner's alone.
    EXPECT_EQ(HostOutput("stat -c %a " + parent + " | tail -c 2; stat -c %a " + point), "0\n700\n")
        << "the open disk or its folder is open to other users";
    EXPECT_EQ(HostOutput("runuser -u nobody -- ls " + point + " >/dev/null 2>&1 && echo listed; "
                         "runuser -u nobody -- cat " + point + "/mine.txt >/dev/null 2>&1 && echo read; echo done"),
              "done\n") << "another user reaches the open disk";
    ASSERT_EQ(disMountDisk_('S'), 1);
    EXPECT_EQ(HostOutput("stat -c %a " + point), "700\n") << "the letter's folder is open to other users";
}

TEST_F(MountexDll, ALetterWhoseServerWasKilledWritesNothingToTheHostDisk) {
    TempFolder folder("mountex");
    const std::string image = folder / "killed.vlr", other = folder / "other.vlr";
    const Password password("pass1234");
    ASSERT_EQ(createImage_('S', image.c_str(), password.bytes, 100), 1);
    ASSERT_TRUE(WriteBytes("S:\\before.txt", "written before"));
    const std::string point = LetterFolder('S');
    // The record of the disk's serving process is where its volume's view lies: "<record>/view/volume".
    HostOutput("sync; src=$(findmnt -n -o SOURCE --mountpoint " + point + "); kill -9 $(cat ${src%/view/volume}/pid)");

    EXPECT_FALSE(WriteBytes("S:\\after-kill.txt", "lost")) << "a write to the dead disk was taken";
    // A restart of the machine takes the dead mounts away; the letter is kept by Wine.
    HostOutput("src=$(findmnt -n -o SOURCE --mountpoint " + point + "); umount -l " + point + "; umount -l ${src%/volume}");
    ASSERT_EQ(createImage_('T', other.c_str(), password.bytes, 100), 1);
    EXPECT_FALSE(DriveUsed('S')) << "the letter of the dead disk outlived another mount";
    EXPECT_FALSE(WriteBytes("S:\\after-restart.txt", "plaintext")) << "the dead disk's letter took a file";
    EXPECT_EQ(HostOutput("ls -A " + point), "") << "files landed in the bare folder of the dead disk";

    // A file in the bare folder would be hidden by a mount there: the mount is refused and it stays.
    HostOutput("echo stray > " + point + "/stray.txt");
    EXPECT_EQ(mountDisk_('S', image.c_str(), password.bytes, 0), 0) << "a disk was mounted over a file";
    EXPECT_FALSE(DriveUsed('S'));
    EXPECT_EQ(HostOutput("cat " + point + "/stray.txt"), "stray\n");
    HostOutput("rm " + point + "/stray.txt");
    ASSERT_EQ(mountDisk_('S', image.c_str(), password.bytes, 0), 1) << "the disk does not mount again";
    EXPECT_EQ(ReadBytes("S:\\before.txt"), "written before");
}

TEST_F(MountexDll, ACreationThatFailsKeepsTheImageItWasToReplace) {
    TempFolder folder("mountex");
    const std::string small = WinePath(SMALL_VOLUME);  // a 64 MB volume
    const std::string image = folder / "old.vlr", smallImage = small + "\\old.vlr";
    const Password password("old-pass1"), newer("new-pass1");
    ASSERT_EQ(createImage_('T', image.c_str(), password.bytes, 100), 1);
    ASSERT_TRUE(WriteBytes("T:\\old.txt", "the old disk's"));
    ASSERT_EQ(disMountDisk_('T'), 1);
    ASSERT_TRUE(WriteBytes(smallImage, std::string(1 << 20, 'o')));
    const std::string point = LetterFolder('T');

    struct Case {
        const char* what;
        std::string image;
        std::string before, after;  // host commands run before and after the call
    } cases[] = {
        {"a file in the letter's folder", image, "echo stray > " + point + "/stray.txt", "rm " + point + "/stray.txt"},
        {"a volume without room for the new image", smallImage, "", ""},
    };
    for (const Case& c : cases) {
        const std::string old = ReadBytes(c.image);
        if (!c.before.empty()) HostOutput(c.before);
        EXPECT_EQ(createImage_('T', c.image.c_str(), newer.bytes, 100), 0) << c.what;
        if (!c.after.empty()) HostOutput(c.after);
        EXPECT_TRUE(ReadBytes(c.image) == old) << c.what << ": the old image was changed or lost";
        EXPECT_FALSE(DriveUsed('T')) << c.what;
    }
    ASSERT_EQ(mountDisk_('T', image.c_str(), password.bytes, 0), 1);
    EXPECT_EQ(ReadBytes("T:\\old.txt"), "the old disk's");
    ::DeleteFileA(smallImage.c_str());
}
