// The FAT32 walk on small volumes built entry by entry: the naming and reporting rules, the limit,
// cancel and notify contract, damaged volumes, and the name wipe's write-backs.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Fat32Walk.h"
#include "TinyFat32.h"

using diskfs::DeletedFileList;
using diskfs::Fat32Walk;
using diskfs::MemorySectorDevice;

namespace {

std::vector<std::string> Paths(const DeletedFileList& list) {
    std::vector<std::string> paths;
    for (const auto& r : list) paths.push_back(r->path);
    return paths;
}

// A device whose reads fail for every sector in [failFirst, failEnd).
class FailingDevice : public MemorySectorDevice {
public:
    FailingDevice(std::vector<uint8_t> bytes, uint64_t failFirst, uint64_t failEnd)
        : MemorySectorDevice(std::move(bytes)), failFirst_(failFirst), failEnd_(failEnd) {}
    bool ReadSectors(uint64_t first, uint32_t count, uint32_t size, uint8_t* out) override {
        if (first < failEnd_ && first + count > failFirst_) return false;
        return MemorySectorDevice::ReadSectors(first, count, size, out);
    }

private:
    uint64_t failFirst_, failEnd_;
};

// Root: a live file, a deleted short-name file, an empty deleted file, a deleted file with a long
// name, a live folder "Docs" (long name) holding a deleted file, a deleted folder holding a file
// that was never marked deleted itself.
tiny::Fat32Image SampleVolume() {
    tiny::Fat32Image v;
    v.Short(2, 0, "FIXTURE    ", 0x08, 0, 0);  // volume label
    v.Short(2, 1, "LIVE    TXT", 0x20, 10, 5);
    v.Short(2, 2, "\xE5OCUMENTTXT", 0x23, 11, 1234, 0x3B2F, 0x7BBD);
    v.Short(2, 3, "\xE5MPTY   TXT", 0x20, 0, 0);
    size_t s = v.Long(2, 4, "Quarterly Report 2009.xls", true);
    v.Short(2, s, "\xE5UARTE~1XLS", 0x20, 12, 4000);
    s = v.Long(2, s + 1, "Docs", false);
    v.Short(2, s, "DOCS       ", 0x10, 3, 0);
    v.Directory(3, 2);
    v.Short(3, 2, "\xE5LAN    TXT", 0x20, 13, 77);
    v.Short(2, s + 1, "\xE5LD        ", 0x10, 4, 0);
    v.Directory(4, 2);
    v.SetFat(4, 0);  // a deleted folder's cluster is free again
    v.Short(4, 2, "INNER   DAT", 0x20, 14, 88);
    return v;
}

}  // namespace

TEST(Fat32Time, FormatsFatDateAndTimeFields) {
    struct Case {
        uint16_t date, time;
        const char* text;
    } cases[] = {
        {0x3B2F, 0x7BBD, "2009/09/15 15:29:58"},
        {0x0021, 0x0000, "1980/01/01 00:00:00"},
        {0xFFFF, 0xFFFF, "2107/15/31 31:63:62"},  // nonsense fields still give bounded text
    };
    for (const Case& c : cases) EXPECT_EQ(diskfs::FatTimeText(c.date, c.time), c.text);
}

TEST(Fat32Scan, ReportsDeletedFilesUnderTheNamingRules) {
    MemorySectorDevice device(SampleVolume().bytes);
    Fat32Walk walk(device);
    DeletedFileList list;
    ASSERT_TRUE(walk.ScanDeleted("C:", list));
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls",
                                                     "C:\\Docs\\$LAN.TXT", "C:\\$LD\\INNER.DAT"}));
    const auto& doc = *list.front();
    EXPECT_EQ(doc.timeText, "2009/09/15 15:29:58");
    EXPECT_EQ(doc.size, 1234u);
    EXPECT_EQ(doc.attributes, 3u) << "read-only and hidden only; the archive bit is not reported";
    EXPECT_EQ(doc.firstCluster, 11u);
}

TEST(Fat32Scan, ReportsEmptyFilesOnlyWhenAskedAndNeverWithoutACluster) {
    tiny::Fat32Image v = SampleVolume();
    v.Short(2, 10, "\xE5" "ERO    BIN", 0x20, 15, 0);  // has a cluster, size 0
    MemorySectorDevice device(v.bytes);
    for (bool skipEmpty : {true, false}) {
        Fat32Walk walk(device);
        walk.control.skipEmpty = skipEmpty;
        DeletedFileList list;
        ASSERT_TRUE(walk.ScanDeleted("C:", list));
        std::vector<std::string> paths = Paths(list);
        EXPECT_EQ(std::count(paths.begin(), paths.end(), "C:\\$ERO.BIN"), skipEmpty ? 0 : 1);
        EXPECT_EQ(std::count(paths.begin(), paths.end(), "C:\\$MPTY.TXT"), 0) << "first cluster 0";
    }
}

TEST(Fat32Scan, LongNamesOfEveryShapeAreReadWhole) {
    // 13 characters fill one piece exactly; 21 leave character 8 of the last piece as the 0
    // terminator, which zeroes bytes 20-21; 40 need four pieces of a deleted file.
    const std::string names[] = {"thirteen-char", "twenty-one-chars-name", std::string(40, 'n')};
    tiny::Fat32Image v;
    size_t at = 0;
    uint32_t cluster = 20;
    for (const std::string& n : names) {
        at = v.Long(2, at, n, true);
        v.Short(2, at++, "\xE5" "ONGNA~1   ", 0x20, cluster++, 10);
    }
    MemorySectorDevice device(v.bytes);
    Fat32Walk walk(device);
    DeletedFileList list;
    ASSERT_TRUE(walk.ScanDeleted("C:", list));
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"C:\\" + names[0], "C:\\" + names[1], "C:\\" + names[2]}));
}

TEST(Fat32Scan, StopsAtTheLimitOrCancelAndNotifiesBeforeAppending) {
    struct Recorder : diskfs::ScanNotify {
        DeletedFileList* list = nullptr;
        std::vector<diskfs::DeletedFileRecord*> seen;
        std::vector<size_t> sizesWhenSeen;
        diskfs::WalkControl* control = nullptr;
        size_t cancelAfter = 100;
        void OnRecordFound(diskfs::DeletedFileRecord* r) override {
            seen.push_back(r);
            sizesWhenSeen.push_back(list->size());
            if (seen.size() == cancelAfter) control->cancel = 1;
        }
    };
    struct Case {
        int limit;
        size_t cancelAfter;
        size_t expected;
    } cases[] = {{-1, 100, 4}, {2, 100, 2}, {1, 100, 1}, {-1, 3, 3}, {10, 1, 1}};
    for (const Case& c : cases) {
        MemorySectorDevice device(SampleVolume().bytes);
        Fat32Walk walk(device);
        DeletedFileList list;
        Recorder rec;
        rec.list = &list;
        rec.control = &walk.control;
        rec.cancelAfter = c.cancelAfter;
        walk.control.limit = c.limit;
        walk.control.notify = &rec;
        ASSERT_TRUE(walk.ScanDeleted("C:", list));
        ASSERT_EQ(list.size(), c.expected) << "limit " << c.limit << ", cancel after " << c.cancelAfter;
        size_t i = 0;
        for (const auto& r : list) {
            EXPECT_EQ(rec.seen[i], r.get()) << "the notified record is the listed one";
            EXPECT_EQ(rec.sizesWhenSeen[i], i) << "notified before it was appended";
            ++i;
        }
        EXPECT_EQ(walk.control.limit, -1);
        EXPECT_EQ(walk.control.cancel.load(), 0);
        EXPECT_EQ(walk.control.notify, nullptr);
        EXPECT_TRUE(walk.control.skipEmpty);
    }
}

TEST(Fat32Scan, DamagedVolumesGiveAFailureOrAPartialResult) {
    struct Case {
        const char* what;
        void (*damage)(tiny::Fat32Image&);
        bool ok;
        std::vector<std::string> paths;
    } cases[] = {
        {"the root's chain loops back on itself",
         [](tiny::Fat32Image& v) {
             for (size_t i = 10; i < 16; ++i) v.Short(2, i, "FILLER  TXT", 0x20, 50, 1);  // root cluster full
             v.SetFat(2, 5);
             v.SetFat(5, 2);
             v.Short(5, 0, "\xE5NEXT   TXT", 0x20, 30, 9);
         },
         true, {"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls", "C:\\Docs\\$LAN.TXT", "C:\\$LD\\INNER.DAT",
                "C:\\$NEXT.TXT"}},
        {"a folder that contains itself",
         [](tiny::Fat32Image& v) { v.Short(3, 3, "SELF       ", 0x10, 3, 0); },
         true, {"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls", "C:\\Docs\\$LAN.TXT", "C:\\$LD\\INNER.DAT"}},
        {"a folder that contains the root",
         [](tiny::Fat32Image& v) { v.Short(3, 3, "UP         ", 0x10, 2, 0); },
         true, {"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls", "C:\\Docs\\$LAN.TXT", "C:\\$LD\\INNER.DAT"}},
        {"a folder whose cluster lies past the volume",
         [](tiny::Fat32Image& v) { v.Short(2, 1, "FAR        ", 0x10, 0x0FFFFF00, 0); },
         true, {"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls", "C:\\Docs\\$LAN.TXT", "C:\\$LD\\INNER.DAT"}},
        {"a chain that leaves the volume",
         [](tiny::Fat32Image& v) { v.SetFat(3, 0x00FFFFFF); },
         true, {"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls", "C:\\Docs\\$LAN.TXT", "C:\\$LD\\INNER.DAT"}},
        {"a deleted folder whose cluster is in use again",
         [](tiny::Fat32Image& v) { v.SetFat(4, 0x0FFFFFFF); },
         true, {"C:\\$OCUMENT.TXT", "C:\\Quarterly Report 2009.xls", "C:\\Docs\\$LAN.TXT"}},
        {"a root cluster past the volume", [](tiny::Fat32Image& v) { v.Put32(44, 0x0FFFFF00); }, false, {}},
        {"zero bytes per sector", [](tiny::Fat32Image& v) { v.Put16(11, 0); }, false, {}},
        {"zero sectors per cluster", [](tiny::Fat32Image& v) { v.bytes[13] = 0; }, false, {}},
        {"a FAT larger than the volume", [](tiny::Fat32Image& v) { v.Put32(36, 0x7FFFFFFF); }, false, {}},
        {"a FAT16 boot sector", [](tiny::Fat32Image& v) { v.Put16(22, 2); }, false, {}},
    };
    for (const Case& c : cases) {
        tiny::Fat32Image v = SampleVolume();
        c.damage(v);
        MemorySectorDevice device(v.bytes);
        Fat32Walk walk(device);
        DeletedFileList list;
        EXPECT_EQ(walk.ScanDeleted("C:", list), c.ok) << c.what;
        EXPECT_EQ(Paths(list), c.paths) << c.what;
        Fat32Walk wipe(device);
        EXPECT_EQ(wipe.WipeDeletedNames(), c.ok) << c.what << ": the name wipe ends too";
    }
}

TEST(Fat32Scan, FallsBackToTheSecondFatOnlyWhenTheFirstCannotBeRead) {
    using V = tiny::Fat32Image;
    struct Case {
        uint64_t failFirst, failEnd;
        bool ok;
    } cases[] = {
        {V::kReserved, V::kReserved + 1, true},                            // first FAT unreadable
        {V::kReserved + V::kSectorsPerFat, V::kReserved + 2 * V::kSectorsPerFat, true},  // second only
        {V::kReserved, V::kReserved + 2 * V::kSectorsPerFat, false},       // both
        {0, 1, false},                                                     // boot sector
    };
    for (const Case& c : cases) {
        FailingDevice device(SampleVolume().bytes, c.failFirst, c.failEnd);
        Fat32Walk walk(device);
        DeletedFileList list;
        EXPECT_EQ(walk.ScanDeleted("C:", list), c.ok) << "unreadable sectors " << c.failFirst << "-" << c.failEnd;
        EXPECT_EQ(list.size(), c.ok ? 4u : 0u);
    }
}

TEST(Fat32Wipe, BlanksDeletedEntriesAndWritesBackOnlyChangedClusters) {
    struct Case {
        diskfs::BlankForm form;
        uint8_t attribute;
    } cases[] = {{diskfs::BlankForm::kZeroAttribute, 0x00}, {diskfs::BlankForm::kArchiveAttribute, 0x20}};
    for (const Case& c : cases) {
        tiny::Fat32Image v = SampleVolume();
        v.Directory(5, 2);  // a live folder with nothing deleted: must not be written
        v.Short(2, 10, "CLEAN      ", 0x10, 5, 0);
        v.Short(5, 2, "KEEP    TXT", 0x20, 40, 3);
        const std::vector<uint8_t> before = v.bytes;
        MemorySectorDevice device(v.bytes);
        Fat32Walk walk(device);
        walk.blankForm = c.form;
        ASSERT_TRUE(walk.WipeDeletedNames());
        // Root, Docs and the deleted folder's free cluster changed; the clean folder did not.
        EXPECT_EQ(device.writeCalls, 3);
        const std::vector<uint8_t>& after = device.Bytes();
        std::set<size_t> changedEntries;
        for (size_t i = 0; i < before.size(); ++i)
            if (before[i] != after[i]) changedEntries.insert(i / 32);
        for (size_t e : changedEntries) {
            const uint8_t* old = &before[e * 32];
            const uint8_t* now = &after[e * 32];
            bool inDeletedFolder = e * 32 >= v.ClusterOffset(4) && e * 32 < v.ClusterOffset(5);
            EXPECT_TRUE(old[0] == 0xE5 || inDeletedFolder) << "entry " << e << " was not a deleted one";
            EXPECT_EQ(now[0], 0xE5);
            EXPECT_EQ(now[11], c.attribute);
            for (int k = 1; k < 32; ++k) {
                if (k == 11) continue;
                EXPECT_EQ(now[k], 0) << "entry " << e << " byte " << k;
            }
        }
        DeletedFileList list;
        Fat32Walk rescan(device);
        rescan.control.skipEmpty = false;
        ASSERT_TRUE(rescan.ScanDeleted("C:", list));
        EXPECT_TRUE(list.empty()) << list.front()->path;

        int writesBefore = device.writeCalls;
        Fat32Walk again(device);
        again.blankForm = c.form;
        ASSERT_TRUE(again.WipeDeletedNames());
        EXPECT_EQ(device.writeCalls, writesBefore) << "a second wipe has nothing to change and writes nothing";
    }
}
