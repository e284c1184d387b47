#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "VlrImage.h"
#include "VolumeFixture.h"

using namespace vlr;

namespace {

// A cheap key derivation keeps the tests fast; the cost is stored in the header, so opening follows it.
constexpr KdfCost kTestCost = {1, 64, 1};
constexpr uint64_t kSectors100MB = 100ull * kSectorsPerMB;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void PatchByte(const std::string& path, uint64_t offset, uint8_t x) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    f.get(c);
    f.seekp(static_cast<std::streamoff>(offset));
    f.put(static_cast<char>(c ^ x));
}

std::vector<uint8_t> ReadAt(const std::string& path, uint64_t offset, size_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<uint8_t> out(size);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
    return out;
}

bool Contains(const std::vector<uint8_t>& hay, const std::string& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

std::vector<uint8_t> SectorOf(uint8_t fill, const std::string& text) {
    std::vector<uint8_t> s(kSectorSize, fill);
    std::copy(text.begin(), text.end(), s.begin());
    return s;
}

class VlrImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vlrtest-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/disk.vlr";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
    }
    VlrResult Make(const std::string& password, uint32_t sizeMB = kMinSizeMB) {
        CreateOptions options;
        options.kdf = kTestCost;
        auto pw = Bytes(password);
        return CVlrImage::Create(path_, sizeMB, pw.data(), pw.size(), options);
    }
    VlrResult OpenWith(CVlrImage& image, const std::string& password) {
        auto pw = Bytes(password);
        return image.Open(path_, pw.data(), pw.size());
    }
    std::string dir_, path_;
};

TEST_F(VlrImageTest, SectorsWrittenAtTheFirstMiddleAndLastPositionReadBackAfterReopening) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    const uint64_t positions[] = {0, kSectors100MB / 2, kSectors100MB - 1};
    {
        CVlrImage image;
        ASSERT_EQ(OpenWith(image, "secret"), VlrResult::Ok);
        ASSERT_EQ(image.SectorCount(), kSectors100MB);
        for (uint64_t s : positions)
            ASSERT_TRUE(image.WriteSectors(s, 1, SectorOf(static_cast<uint8_t>(s), "sector " + std::to_string(s)).data()));
        // A run of 3000 sectors crosses the 1 MiB chunks the writer encrypts in.
        std::vector<uint8_t> run(3000 * kSectorSize);
        for (size_t i = 0; i < run.size(); ++i) run[i] = static_cast<uint8_t>(i * 7);
        ASSERT_TRUE(image.WriteSectors(1000, 3000, run.data()));
        image.Close();
        std::vector<uint8_t> out(kSectorSize);
        EXPECT_FALSE(image.ReadSectors(0, 1, out.data())) << "a closed image must not read";
    }
    CVlrImage image;
    ASSERT_EQ(OpenWith(image, "secret"), VlrResult::Ok);
    std::vector<uint8_t> out(kSectorSize);
    for (uint64_t s : positions) {
        ASSERT_TRUE(image.ReadSectors(s, 1, out.data()));
        EXPECT_EQ(out, SectorOf(static_cast<uint8_t>(s), "sector " + std::to_string(s))) << "sector " << s;
    }
    std::vector<uint8_t> run(3000 * kSectorSize);
    ASSERT_TRUE(image.ReadSectors(1000, 3000, run.data()));
    for (size_t i = 0; i < run.size(); ++i) ASSERT_EQ(run[i], static_cast<uint8_t>(i * 7)) << "byte " << i;
    // A sector never written reads as zeros: the fill is the encryption of zeros.
    ASSERT_TRUE(image.ReadSectors(5, 1, out.data()));
    EXPECT_EQ(out, std::vector<uint8_t>(kSectorSize, 0));
}

TEST_F(VlrImageTest, AccessOutsideTheVolumeIsRefused) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    CVlrImage image;
    ASSERT_EQ(OpenWith(image, "secret"), VlrResult::Ok);
    std::vector<uint8_t> buf(2 * kSectorSize);
    struct Case {
        uint64_t first;
        uint32_t count;
    } cases[] = {{kSectors100MB, 1}, {kSectors100MB - 1, 2}, {~0ull, 2}, {1, 0xFFFFFFFFu}};
    for (const Case& c : cases) {
        EXPECT_FALSE(image.ReadSectors(c.first, c.count, buf.data())) << c.first << "+" << c.count;
        EXPECT_FALSE(image.WriteSectors(c.first, c.count, buf.data())) << c.first << "+" << c.count;
    }
    struct stat st;
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), ImageFileSize(kSectors100MB)) << "a refused write must not grow the file";
}

TEST_F(VlrImageTest, OpeningGivesADistinctResultForEachFailure) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    const uint64_t fileSize = ImageFileSize(kSectors100MB);
    struct Case {
        const char* what;
        std::string password;
        void (*damage)(const std::string& path, uint64_t fileSize);
        VlrResult expected;
    } cases[] = {
        {"right password", "secret", nullptr, VlrResult::Ok},
        {"wrong password", "secreT", nullptr, VlrResult::WrongPassword},
        {"password too short", "abc", nullptr, VlrResult::BadPassword},
        {"file missing", "secret", [](const std::string& p, uint64_t) { std::remove(p.c_str()); },
         VlrResult::NotFound},
        {"file cut short", "secret", [](const std::string& p, uint64_t n) { ASSERT_EQ(truncate(p.c_str(), n - 512), 0); },
         VlrResult::Truncated},
        {"file cut inside the header", "secret", [](const std::string& p, uint64_t) { ASSERT_EQ(truncate(p.c_str(), 300), 0); },
         VlrResult::Truncated},
        {"both headers damaged", "secret",
         [](const std::string& p, uint64_t n) {
             PatchByte(p, 100, 0x01);
             PatchByte(p, n - kHeaderSlotSize + 200, 0x80);
         },
         VlrResult::Damaged},
        {"primary damaged, wrong password", "Secret", [](const std::string& p, uint64_t) { PatchByte(p, 20, 0x04); },
         VlrResult::WrongPassword},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Make("secret"), VlrResult::Ok);
        if (c.damage) c.damage(path_, fileSize);
        CVlrImage image;
        EXPECT_EQ(OpenWith(image, c.password), c.expected) << c.what;
        EXPECT_EQ(image.IsOpen(), Succeeded(c.expected)) << c.what;
        std::vector<uint8_t> out(kSectorSize, 0xEE);
        if (!Succeeded(c.expected)) {
            EXPECT_FALSE(image.ReadSectors(0, 1, out.data())) << c.what << ": a refused image must give no data";
            EXPECT_EQ(out, std::vector<uint8_t>(kSectorSize, 0xEE)) << c.what;
        }
    }
}

TEST_F(VlrImageTest, CreationRefusesBadPasswordsAndSizes) {
    struct Case {
        std::string password;
        uint32_t sizeMB;
        VlrResult expected;
    } cases[] = {
        {"abcd", 99, VlrResult::BadSize},
        {"abcd", 11265, VlrResult::BadSize},
        {"abc", 100, VlrResult::BadPassword},
        {"0123456789abcdefX", 100, VlrResult::BadPassword},  // 17 bytes
        {"", 100, VlrResult::BadPassword},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Make(c.password, c.sizeMB), c.expected) << c.password << " " << c.sizeMB;
        EXPECT_NE(access(path_.c_str(), F_OK), 0) << "a refused creation must leave no file";
    }
}

TEST_F(VlrImageTest, AllSixteenPasswordBytesCountAndASeventeenthIsRefused) {
    const std::string pw16 = "0123456789abcdef";
    ASSERT_EQ(Make(pw16), VlrResult::Ok);
    struct Case {
        std::string password;
        VlrResult expected;
    } cases[] = {
        {pw16, VlrResult::Ok},
        {"0123456789abcdeX", VlrResult::WrongPassword},   // differs only in the 16th byte
        {"0123456789abcde", VlrResult::WrongPassword},    // the first 15 bytes
        {pw16 + "f", VlrResult::BadPassword},             // a 17th byte is refused, not ignored
    };
    for (const Case& c : cases) {
        CVlrImage image;
        EXPECT_EQ(OpenWith(image, c.password), c.expected) << c.password;
    }
}

TEST_F(VlrImageTest, AnyDamagedPrimaryHeaderByteOpensFromTheBackupAndIsRepaired) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    {
        CVlrImage image;
        ASSERT_EQ(OpenWith(image, "secret"), VlrResult::Ok);
        ASSERT_TRUE(image.WriteSectors(7, 1, SectorOf(0x5A, "kept").data()));
    }
    const std::vector<uint8_t> sound = ReadAt(path_, 0, kHeaderSlotSize);
    for (uint32_t offset = 0; offset < kHeaderSize; ++offset) {
        PatchByte(path_, offset, 0x10);
        CVlrImage image;
        ASSERT_EQ(OpenWith(image, "secret"), VlrResult::OpenedFromBackup) << "byte " << offset;
        std::vector<uint8_t> out(kSectorSize);
        ASSERT_TRUE(image.ReadSectors(7, 1, out.data())) << "byte " << offset;
        ASSERT_EQ(out, SectorOf(0x5A, "kept")) << "byte " << offset;
        image.Close();
        ASSERT_EQ(ReadAt(path_, 0, kHeaderSlotSize), sound) << "primary not repaired after byte " << offset;
    }
}

TEST_F(VlrImageTest, TheFileShowsNoPlaintextAndNoFileSystemMarkers) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    const std::vector<std::string> markers = {"NTFS    ", "FILE0", "$MFT", "geheim-bericht.txt", "PLAINTEXT-MARK"};
    {
        CVlrImage image;
        ASSERT_EQ(OpenWith(image, "secret"), VlrResult::Ok);
        std::vector<uint8_t> boot = SectorOf(0, "\xEB\x52\x90NTFS    ");
        ASSERT_TRUE(image.WriteSectors(0, 1, boot.data()));
        uint64_t at = 100;
        for (const std::string& m : markers) {
            std::string repeated;
            while (repeated.size() + m.size() <= kSectorSize) repeated += m;
            ASSERT_TRUE(image.WriteSectors(at, 1, SectorOf(' ', repeated).data()));
            at += 4097;
        }
    }
    const std::vector<uint8_t> file = fixture::ReadBytes(path_);
    ASSERT_EQ(file.size(), ImageFileSize(kSectors100MB));
    // Each marker was written repeated, so a leak shows it twice in a row. A single short marker turns
    // up by chance in 100 MB of ciphertext ("$MFT" in about one run of forty); twice in a row it does not.
    for (const std::string& m : markers)
        EXPECT_FALSE(Contains(file, m + m)) << "\"" << m << "\" is readable in the file";
    // Nor does the fill leave readable zeros: no data sector is all zeros.
    const std::vector<uint8_t> zero(kSectorSize, 0);
    size_t zeroSectors = 0;
    for (uint64_t s = 0; s < kSectors100MB; ++s)
        zeroSectors += std::equal(zero.begin(), zero.end(), file.begin() + static_cast<long>(kDataOffset + s * kSectorSize));
    EXPECT_EQ(zeroSectors, 0u);
}

TEST_F(VlrImageTest, IdenticalSectorsEncryptDifferentlyAtDifferentPositions) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    const uint64_t positions[] = {0, 1, 2, 256, kSectors100MB / 2, kSectors100MB - 1};
    {
        CVlrImage image;
        ASSERT_EQ(OpenWith(image, "secret"), VlrResult::Ok);
        for (uint64_t s : positions) ASSERT_TRUE(image.WriteSectors(s, 1, SectorOf(0x41, "same").data()));
    }
    std::vector<std::vector<uint8_t>> seen;
    for (uint64_t s : positions) {
        auto c = ReadAt(path_, kDataOffset + s * kSectorSize, kSectorSize);
        // Every 16-byte block differs too, so a repeated block does not show as a repeated pattern.
        for (const auto& other : seen)
            for (size_t b = 0; b < kSectorSize; b += 16)
                ASSERT_FALSE(std::equal(c.begin() + b, c.begin() + b + 16, other.begin() + b)) << "sector " << s;
        seen.push_back(c);
    }
}

TEST_F(VlrImageTest, TwoImagesWithTheSamePasswordShareNoKeyMaterial) {
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    const auto first = ReadAt(path_, 0, kHeaderSize);
    const auto firstData = ReadAt(path_, kDataOffset, kSectorSize);
    ASSERT_EQ(Make("secret"), VlrResult::Ok);
    const auto second = ReadAt(path_, 0, kHeaderSize);
    const auto& f = kHeaderFields;
    EXPECT_FALSE(std::equal(first.begin() + f[kFieldSalt].offset, first.begin() + f[kFieldSalt].offset + 32,
                            second.begin() + f[kFieldSalt].offset)) << "salt repeated";
    EXPECT_NE(firstData, ReadAt(path_, kDataOffset, kSectorSize)) << "data key repeated";
}

}  // namespace
