#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "DiskWipeText.h"
#include "FreeSpaceFill.h"

namespace {

const uint64_t kMiB = 1 << 20;

// A drive in memory: a capacity, an optional file size limit (as FAT32's 4 GiB), and failures on
// request. Writes beyond the room left come back short, then fail with ERROR_DISK_FULL, as Wine
// reports them on a full NTFS mount.
class FakeVolume : public FillVolume {
public:
    uint64_t capacity = 0;
    uint64_t fileLimit = ~0ull;
    DWORD limitError = ERROR_DISK_FULL;  // what a write at the size limit fails with
    int failCreateAt = -1;               // the create (counting from 0) that fails
    DWORD failWriteError = 0;            // every write fails with it when set
    bool freeNeverShrinks = false;       // the drive reports its capacity whatever is written
    bool allOrNothing = false;           // a write that does not fit fails whole, as on Windows

    std::map<std::string, uint64_t> files;
    std::vector<uint32_t> writeSizes;
    int creates = 0;

    uint64_t Used() const {
        uint64_t used = 0;
        for (const auto& file : files) used += file.second;
        return used;
    }
    uint64_t FreeBytes() override { return freeNeverShrinks ? capacity : capacity - Used(); }
    bool Create(const std::string& path, DWORD& error) override {
        if (creates++ == failCreateAt) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        files[path] = 0;
        open_ = path;
        return true;
    }
    bool Write(const void*, uint32_t count, uint32_t& written, DWORD& error) override {
        EXPECT_FALSE(open_.empty()) << "a write with no temp file open";
        writeSizes.push_back(count);
        written = 0;
        if (failWriteError) {
            error = failWriteError;
            return false;
        }
        uint64_t& size = files[open_];
        const uint64_t room = freeNeverShrinks ? 0 : std::min(capacity - Used(), fileLimit - size);
        if (room == 0 || (allOrNothing && count > room)) {
            error = size >= fileLimit ? limitError : ERROR_DISK_FULL;
            return false;
        }
        written = static_cast<uint32_t>(std::min<uint64_t>(count, room));
        size += written;
        return true;
    }
    void Close() override { open_.clear(); }
    bool Delete(const std::string& path) override {
        EXPECT_NE(path, open_) << "an open temp file is deleted";
        return files.erase(path) == 1;
    }

private:
    std::string open_;
};

class CountingObserver : public FillObserver {
public:
    unsigned cancelAfter = 0;  // writes before the cancel; 0 = never
    unsigned writes = 0;
    std::vector<int> percents;
    bool Cancelled() override { return cancelAfter && writes >= cancelAfter; }
    void Progress(int percent, unsigned count) override {
        writes = count;
        percents.push_back(percent);
    }
};

}  // namespace

TEST(FreeSpaceFill, FillsEveryDriveToItsLastByteAndNeverLeavesATempFile) {
    struct Case {
        const char* what;
        uint64_t capacity;
        uint64_t fileLimit;
        DWORD limitError;
        int failCreateAt;
        DWORD failWriteError;
        bool freeNeverShrinks;
        bool allOrNothing;
        unsigned cancelAfter;
        FillResult result;
        size_t tempFiles;   // made by the run (all deleted again)
        bool filledWhole;   // every byte of the capacity was written
        std::vector<uint32_t> firstWrites;
    } cases[] = {
        {"10 MiB and 3 KiB: 4 MiB writes, then halves of what is left", 10 * kMiB + 3072, ~0ull, 0, -1, 0, false, true,
         0, FillResult::full, 1, true, {4 * kMiB, 4 * kMiB, 4 * kMiB, (2 * kMiB + 3072) / 2}},
        {"a file size limit of 8 MiB gives one temp file per 8 MiB", 30 * kMiB, 8 * kMiB, ERROR_DISK_FULL, -1, 0, false,
         false, 0, FillResult::full, 4, true, {}},
        {"the limit reported as another error also moves on", 30 * kMiB, 8 * kMiB, ERROR_FILE_TOO_LARGE, -1, 0, false,
         false, 0, FillResult::full, 4, true, {}},
        {"less than 4 MiB free is filled in hundredths", 3 * kMiB, ~0ull, 0, -1, 0, false, false, 0, FillResult::full, 1,
         true, {3 * kMiB / 100}},
        {"a drive of 50 bytes still fills (no write of 0 bytes)", 50, ~0ull, 0, -1, 0, false, false, 0,
         FillResult::full, 1, true, {1}},
        {"a full drive: one file, found full at once", 0, ~0ull, 0, -1, 0, false, false, 0, FillResult::full, 1, true, {}},
        {"a cancel after three writes", 100 * kMiB, ~0ull, 0, -1, 0, false, false, 3, FillResult::cancelled, 1, false, {}},
        {"the third temp file cannot be made: the first two go too", 30 * kMiB, 8 * kMiB, ERROR_DISK_FULL, 2, 0, false,
         false, 0, FillResult::cannotCreate, 2, false, {}},
        {"a write that fails for another reason on a fresh file", 30 * kMiB, ~0ull, 0, -1, ERROR_ACCESS_DENIED, false,
         false, 0, FillResult::writeFailed, 1, false, {}},
        {"free space that never shrinks does not keep the fill going", 30 * kMiB, ~0ull, 0, -1, 0, true, false, 0,
         FillResult::full, 1, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeVolume volume;
        volume.capacity = c.capacity;
        volume.fileLimit = c.fileLimit;
        volume.limitError = c.limitError;
        volume.failCreateAt = c.failCreateAt;
        volume.failWriteError = c.failWriteError;
        volume.freeNeverShrinks = c.freeNeverShrinks;
        volume.allOrNothing = c.allOrNothing;
        CountingObserver observer;
        observer.cancelAfter = c.cancelAfter;
        FreeSpaceFill fill("Q:", volume, observer);
        EXPECT_EQ(static_cast<int>(fill.Run(volume.FreeBytes())), static_cast<int>(c.result));
        EXPECT_TRUE(volume.files.empty()) << volume.files.size() << " temp files left, the first "
                                          << (volume.files.empty() ? "" : volume.files.begin()->first);
        EXPECT_EQ(fill.TempFiles().size(), c.tempFiles);
        EXPECT_EQ(fill.TempFiles().empty() ? "" : fill.TempFiles().front(), c.tempFiles ? "Q:\\~DWipeTmp0" : "");
        if (c.filledWhole) {
            EXPECT_EQ(fill.Written(), c.capacity);
        }
        ASSERT_FALSE(volume.writeSizes.empty());
        EXPECT_LE(*std::max_element(volume.writeSizes.begin(), volume.writeSizes.end()), FreeSpaceFill::kChunk);
        EXPECT_GT(*std::min_element(volume.writeSizes.begin(), volume.writeSizes.end()), 0u);
        EXPECT_LT(volume.writeSizes.size(), 200u) << "the fill should take few writes";
        for (size_t i = 0; i < c.firstWrites.size() && i < volume.writeSizes.size(); ++i) {
            EXPECT_EQ(volume.writeSizes[i], c.firstWrites[i]) << "write " << i;
        }
        for (int percent : observer.percents) {
            EXPECT_LE(percent, 99);
        }
    }
}

TEST(DiskWipeText, SizesAndPercentagesAsTheDialogShowsThem) {
    EXPECT_EQ(FormatWipeSize(1ull << 30), "1.00 GB ");
    EXPECT_EQ(FormatWipeSize(1023), "1023 字节 ");
    EXPECT_EQ(FormatWipeSize((1 << 20) - 1), "1024.00 KB ");
    EXPECT_EQ(FormatWipeSize(5ull << 40), "5120.00 GB ") << "sizes beyond 4 GiB do not wrap";
    EXPECT_EQ(DriveInfoLine(false, "软盘 (A:)", 1474560, 1024), "当前磁盘 (A:)   已用大小:1.41 MB   总大小:1.41 MB ");
    EXPECT_EQ(FillPercent(5, 0), 99) << "a drive full from the start divides by nothing";
    EXPECT_EQ(FillPercent(49, 50), 98);
    EXPECT_EQ(FillPercent(5000, 1000), 99);
}
