#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "TempFolder.h"

// Mountex.dll under Wine, through its three exports as Lockvale calls them: a secret disk made,
// written, closed and opened again on a drive letter every Windows program sees, and the calls that
// must fail with nothing changed.

namespace {

typedef int(WINAPI* CreateImageFn)(char, const char*, const char*, UINT);
typedef int(WINAPI* MountDiskFn)(char, const char*, const char*, BYTE);
typedef int(WINAPI* DisMountDiskFn)(char);

std::string WinePath(const std::string& hostPath) {
    std::string path = "Z:" + hostPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

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

// Runs mountex-call (one call of the DLL from a process of its own) and returns its exit code.
int CallInOwnProcess(const std::string& arguments) {
    std::string line = "\"" + WinePath(MOUNTEX_CALL) + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
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
