#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

// The drives the harness declares (tests/harness/wine-env.sh) are what the programs will meet on
// Windows: the right drive types, a write protection that holds, and a raw volume device.

TEST(HarnessDrives, EachDriveHasItsDeclaredType) {
    struct Case {
        const char* root;
        UINT type;
    } cases[] = {
        {"D:\\", DRIVE_FIXED}, {"E:\\", DRIVE_REMOVABLE}, {"F:\\", DRIVE_REMOVABLE},
        {"G:\\", DRIVE_CDROM}, {"X:\\", DRIVE_FIXED},
    };
    for (const Case& c : cases) EXPECT_EQ(::GetDriveTypeA(c.root), c.type) << c.root;
}

TEST(HarnessDrives, TheWriteProtectedDiskRefusesEveryChangeButCanBeRead) {
    // Wine reports a read-only file system as access denied (Windows says write-protected), and
    // reports a delete as done although the file stays: only the outcome is checked.
    HANDLE made = ::CreateFileA("F:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(made, INVALID_HANDLE_VALUE);
    if (made != INVALID_HANDLE_VALUE) ::CloseHandle(made);
    EXPECT_EQ(::GetFileAttributesA("F:\\new.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(::CreateDirectoryA("F:\\folder", nullptr));
    ::DeleteFileA("F:\\readme.txt");
    ::SetFileAttributesA("F:\\readme.txt", FILE_ATTRIBUTE_HIDDEN);
    DWORD attributes = ::GetFileAttributesA("F:\\readme.txt");
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "the file survived its deletion";
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_HIDDEN);
    HANDLE writer = ::CreateFileA("F:\\readme.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);

    HANDLE existing = ::CreateFileA("F:\\readme.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(existing, INVALID_HANDLE_VALUE);
    char text[64] = {};
    DWORD read = 0;
    EXPECT_TRUE(::ReadFile(existing, text, sizeof text - 1, &read, nullptr));
    ::CloseHandle(existing);
    EXPECT_STREQ(text, "write-protected disk\r\n");
}

TEST(HarnessDrives, TheRawDeviceOfXReadsAndWritesTheImageFileBySector) {
    // The image is served through the X: folder, so a test can put its own volume there first.
    std::vector<unsigned char> image(64 * 512);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i / 512 + 1);
    HANDLE file = ::CreateFileA("X:\\volume.img", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr));
    ::CloseHandle(file);

    HANDLE device = ::CreateFileA("\\\\.\\X:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    unsigned char sector[512];
    OVERLAPPED at = {};
    at.Offset = 5 * 512;
    DWORD done = 0;
    ASSERT_TRUE(::ReadFile(device, sector, sizeof sector, &done, &at));
    EXPECT_EQ(done, 512u);
    EXPECT_EQ(sector[0], 6);
    EXPECT_EQ(sector[511], 6);

    std::fill(sector, sector + 512, 0xE5);
    at.Offset = 7 * 512;
    ASSERT_TRUE(::WriteFile(device, sector, sizeof sector, &done, &at));
    ::CloseHandle(device);

    file = ::CreateFileA("X:\\volume.img", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::SetFilePointer(file, 7 * 512, nullptr, FILE_BEGIN);
    ASSERT_TRUE(::ReadFile(file, sector, sizeof sector, &done, nullptr));
    ::CloseHandle(file);
    EXPECT_EQ(sector[0], 0xE5);
    EXPECT_EQ(sector[511], 0xE5);
}
