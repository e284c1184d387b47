#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ImageFile.h"
#include "TempFolder.h"
#include "VlrImage.h"

// The secret disk's image container through the C runtime of Windows: offsets past 4 GiB, and a
// whole create, open and sector round trip with the real key derivation and cipher.

TEST(ImageOnWindows, OffsetsBeyondFourGibibytesReachTheirPlace) {
    TempFolder folder("vlr");
    const std::string path = folder / "sparse.img";
    vlr::CImageFile file;
    EXPECT_EQ(file.OpenExisting(path), vlr::CImageFile::OpenStatus::NotFound);
    ASSERT_TRUE(file.Create(path));
    const uint64_t distant = (5ull << 30) + 4096;  // past what a 32-bit long reaches
    const std::string head = "first sector", tail = "five gibibytes in";
    ASSERT_TRUE(file.WriteAt(0, head.data(), head.size()));
    ASSERT_TRUE(file.WriteAt(distant, tail.data(), tail.size()));
    ASSERT_TRUE(file.Sync());
    uint64_t size = 0;
    ASSERT_TRUE(file.Size(size));
    EXPECT_EQ(size, distant + tail.size());
    std::string back(tail.size(), '\0');
    ASSERT_TRUE(file.ReadAt(distant, &back[0], back.size()));
    EXPECT_EQ(back, tail);
    ASSERT_TRUE(file.ReadAt(0, &back[0], head.size()));
    EXPECT_EQ(back.substr(0, head.size()), head);
    EXPECT_FALSE(file.ReadAt(distant + 1, &back[0], back.size())) << "a read past the end is short";
    file.Close();

    HANDLE raw = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(distant);
    ::SetFilePointerEx(raw, at, nullptr, FILE_BEGIN);
    char bytes[32] = {};
    DWORD read = 0;
    ::ReadFile(raw, bytes, static_cast<DWORD>(tail.size()), &read, nullptr);
    ::CloseHandle(raw);
    EXPECT_EQ(std::string(bytes, read), tail) << "the bytes lie where the system says";
}

TEST(ImageOnWindows, AnImageMadeHereOpensWithItsPasswordOnlyAndKeepsItsSectors) {
    TempFolder folder("vlr");
    const std::string path = folder / "secret.vlr";
    const std::string password = "密码1234";
    const auto* pw = reinterpret_cast<const uint8_t*>(password.data());
    vlr::CreateOptions cheap;
    cheap.kdf = {1, 64, 1};
    ASSERT_EQ(vlr::CVlrImage::Create(path, 100, pw, password.size(), cheap), vlr::VlrResult::Ok);

    std::vector<uint8_t> sector(512), back(512);
    for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<uint8_t>(i * 7);
    {
        vlr::CVlrImage image;
        ASSERT_EQ(image.Open(path, pw, password.size()), vlr::VlrResult::Ok);
        EXPECT_EQ(image.SectorCount(), 204800u);
        ASSERT_TRUE(image.WriteSectors(204799, 1, sector.data()));
        EXPECT_FALSE(image.WriteSectors(204800, 1, sector.data())) << "past the volume";
        ASSERT_TRUE(image.Flush());
    }
    vlr::CVlrImage wrong;
    EXPECT_EQ(wrong.Open(path, reinterpret_cast<const uint8_t*>("wrong1"), 6), vlr::VlrResult::WrongPassword);
    vlr::CVlrImage image;
    ASSERT_EQ(image.Open(path, pw, password.size()), vlr::VlrResult::Ok);
    ASSERT_TRUE(image.ReadSectors(204799, 1, back.data()));
    EXPECT_EQ(back, sector);

    std::string raw = ReadBytes(path);
    EXPECT_EQ(raw.find(std::string(sector.begin(), sector.begin() + 64)), std::string::npos)
        << "the sector is not in the file as it was written";
}
