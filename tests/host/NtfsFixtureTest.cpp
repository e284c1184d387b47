// The NTFS walk on a volume made by mkntfs and ntfs-3g, checked against The Sleuth Kit (fls),
// ntfsfix and a raw search of the MFT; and damaged copies of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "ByteOrder.h"
#include "NtfsWalk.h"
#include "SectorDevice.h"
#include "VolumeFixture.h"

using diskfs::DeletedFileList;
using diskfs::ImageSectorDevice;
using diskfs::NtfsWalk;
using fixture::Quote;
using fixture::Sh;

namespace {

constexpr size_t kRecord = 1024, kCluster = 4096;

bool Scan(const std::string& image, DeletedFileList* list, bool skipEmpty = true) {
    ImageSectorDevice device;
    if (!device.Open(image, 0, false)) return false;
    NtfsWalk walk(device);
    walk.biasMinutes = 0;
    walk.control.skipEmpty = skipEmpty;
    return walk.ScanDeleted("X:", *list);
}

bool Wipe(const std::string& image, int* written = nullptr) {
    ImageSectorDevice device;
    if (!device.Open(image, 0, true)) return false;
    NtfsWalk walk(device);
    bool ok = walk.WipeDeletedNames();
    if (written) *written = walk.writtenRecords;
    return ok;
}

void WriteImage(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class NtfsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        image = dir.path + "/ntfs.img";
        int status = -1;
        Sh(Quote(fixture::FixtureScript("make-ntfs.sh")) + " " + Quote(image) + " 2>&1", &status);
        ASSERT_EQ(status, 0) << "the fixture script failed";
        bytes = fixture::ReadBytes(image);
        mft = diskfs::Le64(&bytes[48]) * kCluster;
    }
    // Offset of record `n` in the image (the fixture's MFT is one run).
    size_t RecordAt(size_t n) const { return mft + n * kRecord; }

    fixture::TempDir dir;
    std::string image;
    std::vector<uint8_t> bytes;
    size_t mft = 0;
};

struct FlsEntry {
    uint64_t record;
    std::string path;
    uint64_t size;
};

// Deleted files with a record number, as fls lists them.
std::vector<FlsEntry> SleuthKitDeleted(const std::string& image) {
    std::vector<FlsEntry> found;
    for (const std::string& line : fixture::Lines(Sh("fls -r -d -p -l -z UTC " + Quote(image)))) {
        std::vector<std::string> f = fixture::Split(line, '\t');
        if (f.size() < 7 || line.size() < 6 || line[2] != 'r' || line.compare(3, 3, " * ") != 0) continue;
        uint64_t record = std::stoull(f[0].substr(6));
        std::string path = f[1];
        std::replace(path.begin(), path.end(), '/', '\\');
        found.push_back({record, "X:\\" + fixture::Gbk(path), std::stoull(f[6])});
    }
    return found;
}

}  // namespace

TEST_F(NtfsFixture, ScanFindsWhatTheSleuthKitFindsUnderOurRules) {
    DeletedFileList list;
    ASSERT_TRUE(Scan(image, &list));
    std::map<std::string, const diskfs::DeletedFileRecord*> ours;
    for (const auto& r : list) ours[r->path] = r.get();

    std::set<std::string> expected, leftOutByDesign;
    for (const FlsEntry& e : SleuthKitDeleted(image)) {
        if (e.record == 0) continue;  // a name left in a folder's index, not a file record
        if (e.path.find("$OrphanFiles") != std::string::npos) leftOutByDesign.insert(e.path);  // no name
        else if (e.size == 0) leftOutByDesign.insert(e.path);                                // empty
        else expected.insert(e.path);
        auto it = ours.find(e.path);
        if (it == ours.end() || e.size == 0) continue;
        // Our sizes are rounded up: resident data to 1 KiB, clusters for non-resident data.
        uint64_t unit = it->second->firstCluster ? kCluster : 1024;
        EXPECT_EQ(it->second->size, (e.size + unit - 1) / unit * unit) << e.path;
    }
    std::set<std::string> ourPaths;
    for (const auto& p : ours) ourPaths.insert(p.first);
    EXPECT_EQ(ourPaths, expected);
    EXPECT_EQ(leftOutByDesign.count("X:\\empty.txt"), 1u);

    struct Want {
        std::string path;
        uint32_t size;
        size_t resident;  // bytes of resident data reported (at most 511), 0 for non-resident data
    } wants[] = {
        {"X:\\small.txt", 1024, 100},
        {"X:\\medium resident.txt", 1024, 511},
        {"X:\\1500.bin", 4096, 0},
        {"X:\\big file.dat", 12288, 0},
        {"X:\\Projects\\2009\\Q3\\plan.txt", 1024, 300},
        {"X:\\old folder\\inner\\b.txt", 4096, 0},
        {fixture::Gbk("X:\\禱告.txt"), 8192, 0},
        {fixture::Gbk("X:\\中文报告.txt"), 1024, 200},
    };
    for (const Want& w : wants) {
        auto it = ours.find(w.path);
        ASSERT_NE(it, ours.end()) << fixture::Printable(w.path);
        EXPECT_EQ(it->second->size, w.size) << w.path;
        EXPECT_EQ(it->second->firstCluster == 0, w.resident != 0) << w.path;
        EXPECT_EQ(it->second->timeText, "2010/01/01 12:00:00") << w.path;
        EXPECT_EQ(it->second->attributes & 0x20, 0x20u) << "archive flag of " << w.path;
        if (w.resident) {
            EXPECT_EQ(std::strlen(it->second->residentData), w.resident) << "resident content of " << w.path;
            EXPECT_EQ(it->second->residentData[0], '#') << "resident content of " << w.path;
        }
    }
}

TEST_F(NtfsFixture, NameWipeBlanksEveryDeletedRecordNameAndNothingElse) {
    const std::vector<uint8_t> before = bytes;
    const char* names[] = {"small", "medium resident", "1500.bin", "big file", "plan.txt", "a.txt", "b.txt",
                           "old folder", "inner", "中文报告", "禱告"};
    const std::vector<uint8_t> mftBefore(before.begin() + mft, before.begin() + mft + 128 * kRecord);
    for (const char* n : names) ASSERT_TRUE(fixture::Contains(mftBefore, fixture::Utf16(n))) << n;

    int written = 0;
    ASSERT_TRUE(Wipe(image, &written));
    const std::vector<uint8_t> after = fixture::ReadBytes(image);
    // No record that was not in use still holds a deleted name. (A live folder keeps the names
    // of its removed entries in the unused part of its index, which the wipe does not write.)
    for (size_t r = 0; r < 128; ++r) {
        if (before[RecordAt(r) + 22] & 1) continue;
        const std::vector<uint8_t> record(after.begin() + RecordAt(r), after.begin() + RecordAt(r) + kRecord);
        for (const char* n : names)
            EXPECT_FALSE(fixture::Contains(record, fixture::Utf16(n))) << "record " << r << " still holds " << n;
    }

    // Only records that were not in use (record header flag 0x01 clear) changed.
    std::set<size_t> changed;
    for (size_t at = 0; at < before.size(); at += 512) {
        if (std::memcmp(&before[at], &after[at], 512) == 0) continue;
        ASSERT_GE(at, mft) << "a change outside the MFT at byte " << at;
        size_t record = (at - mft) / kRecord;
        ASSERT_EQ(before[RecordAt(record) + 22] & 1, 0) << "record " << record << " was in use";
        changed.insert(record);
    }
    EXPECT_EQ(static_cast<int>(changed.size()), written);

    int status = -1;
    std::string check = Sh("ntfsfix -n " + Quote(image) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << check;
    // fls still shows a deleted name it reads from the slack of the root folder's index
    // (禱告.txt); the name wipe blanks file records only, so every record fls lists is nameless.
    for (const FlsEntry& e : SleuthKitDeleted(image)) {
        if (e.record == 0 || e.path.find("$OrphanFiles") != std::string::npos) continue;
        if (e.path == fixture::Gbk("X:\\禱告.txt")) continue;
        EXPECT_TRUE(e.path.back() == '\\' || e.path == "X:\\") << "fls still names record " << e.record << ": " << e.path;
    }
    DeletedFileList list;
    ASSERT_TRUE(Scan(image, &list, false));
    EXPECT_TRUE(list.empty()) << list.front()->path;

    ASSERT_TRUE(Wipe(image, &written));
    EXPECT_EQ(written, 0) << "a second wipe finds no name left";
}

TEST_F(NtfsFixture, HandDamagedVolumesGiveAFailureOrAPartialResult) {
    DeletedFileList good;
    ASSERT_TRUE(Scan(image, &good));
    std::map<std::string, size_t> recordOf;  // from fls, for the damage below
    for (const FlsEntry& e : SleuthKitDeleted(image))
        if (e.record) recordOf[e.path] = e.record;
    const size_t small = recordOf.at("X:\\small.txt"), big = recordOf.at("X:\\big file.dat");
    const size_t plan = recordOf.at("X:\\Projects\\2009\\Q3\\plan.txt");
    auto firstAttribute = [&](std::vector<uint8_t>& v, size_t record, uint32_t type) {
        size_t at = RecordAt(record) + diskfs::Le16(&v[RecordAt(record) + 20]);
        while (diskfs::Le32(&v[at]) != type) at += diskfs::Le32(&v[at + 4]);
        return at;
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        bool ok;
        const char* absent;
        const char* present;
    } cases[] = {
        {"a record with a bad fix-up", [&](std::vector<uint8_t>& v) { v[RecordAt(small) + 510] ^= 0xFF; }, true,
         "X:\\small.txt", "X:\\big file.dat"},
        {"an attribute length of 0",
         [&](std::vector<uint8_t>& v) { std::memset(&v[firstAttribute(v, small, 0x10) + 4], 0, 4); }, true,
         nullptr, "X:\\big file.dat"},
        {"a run list past the record",
         [&](std::vector<uint8_t>& v) {
             size_t a = firstAttribute(v, big, 0x80);
             v[a + 32] = 0xF0, v[a + 33] = 0x03;
         },
         true, nullptr, "X:\\small.txt"},
        {"a parent chain that loops",
         [&](std::vector<uint8_t>& v) {
             size_t name = firstAttribute(v, plan, 0x30);
             size_t content = name + diskfs::Le16(&v[name + 20]);
             v[content] = plan & 0xFF, v[content + 1] = (plan >> 8) & 0xFF;
         },
         true, "X:\\Projects\\2009\\Q3\\plan.txt", "X:\\small.txt"},
        {"the $MFT record with a bad fix-up", [&](std::vector<uint8_t>& v) { v[RecordAt(0) + 1022] ^= 0xFF; }, false,
         nullptr, nullptr},
        {"the $MFT's data runs past the volume",
         [&](std::vector<uint8_t>& v) {
             size_t a = firstAttribute(v, 0, 0x80);
             size_t runs = a + diskfs::Le16(&v[a + 32]);
             v[runs] = 0x41, v[runs + 2] = 0xFF, v[runs + 3] = 0xFF, v[runs + 4] = 0xFF, v[runs + 5] = 0x7F;
         },
         false, nullptr, nullptr},
        {"an image cut off after the first records", [&](std::vector<uint8_t>& v) { v.resize(mft + 2 * kRecord); },
         true, "X:\\small.txt", nullptr},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> v = bytes;
        c.damage(v);
        const std::string damaged = dir.path + "/damaged.img";
        WriteImage(damaged, v);
        DeletedFileList list;
        EXPECT_EQ(Scan(damaged, &list), c.ok) << c.what;
        std::set<std::string> paths;
        for (const auto& r : list) paths.insert(r->path);
        if (c.absent) {
            EXPECT_EQ(paths.count(c.absent), 0u) << c.what;
        }
        if (c.present) {
            EXPECT_EQ(paths.count(c.present), 1u) << c.what;
        }
        EXPECT_EQ(Wipe(damaged), c.ok) << c.what;
    }
}
