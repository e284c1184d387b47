// The FAT32 walk on volumes made by mkfs.fat and mtools, checked against The Sleuth Kit (fls),
// fsck.fat and a raw search of the image; and the deleted-scan tool on the same images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>
#include <tuple>

#include "ByteOrder.h"
#include "Fat32Walk.h"
#include "SectorDevice.h"
#include "VolumeFixture.h"

using diskfs::DeletedFileList;
using diskfs::Fat32Walk;
using diskfs::ImageSectorDevice;
using fixture::Quote;
using fixture::Sh;

namespace {

const std::string kMtools = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 ";

struct Found {
    std::string path, time;
    uint32_t size;
    bool operator<(const Found& o) const { return std::tie(path, time, size) < std::tie(o.path, o.time, o.size); }
    bool operator==(const Found& o) const { return path == o.path && time == o.time && size == o.size; }
};

std::ostream& operator<<(std::ostream& os, const Found& f) { return os << f.path << " " << f.time << " " << f.size; }

bool Scan(const std::string& image, DeletedFileList* list, bool skipEmpty = true) {
    ImageSectorDevice device;
    if (!device.Open(image, 0, false)) return false;
    Fat32Walk walk(device);
    walk.control.skipEmpty = skipEmpty;
    return walk.ScanDeleted("X:", *list);
}

bool Wipe(const std::string& image, int* written = nullptr) {
    ImageSectorDevice device;
    if (!device.Open(image, 0, true)) return false;
    Fat32Walk walk(device);
    bool ok = walk.WipeDeletedNames();
    if (written) *written = walk.writtenClusters;
    return ok;
}

std::set<std::string> PathSet(const DeletedFileList& list) {
    std::set<std::string> s;
    for (const auto& r : list) s.insert(r->path);
    return s;
}

// fls marks a short-name-only deleted entry with "_" where we put "$", and shows the lower-case
// flags of an 8.3 name, which we do not: compare names upper-cased, with a leading "_" as "$".
std::string Normalised(std::string path) {
    bool componentStart = true;
    for (char& c : path) {
        if (componentStart && c == '_') c = '$';
        componentStart = c == '\\';
        if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return path;
}

// Deleted regular files as fls lists them: path as ours would be, modification time, size.
std::vector<Found> SleuthKitDeleted(const std::string& image) {
    std::vector<Found> found;
    for (const std::string& line : fixture::Lines(Sh("fls -r -d -p -l -z UTC " + Quote(image)))) {
        std::vector<std::string> f = fixture::Split(line, '\t');
        if (f.size() < 7 || f[0].rfind("r/r * ", 0) != 0) continue;
        std::string path = f[1];
        std::replace(path.begin(), path.end(), '/', '\\');
        std::string time = f[2].substr(0, 19);
        std::replace(time.begin(), time.end(), '-', '/');
        found.push_back({"X:\\" + fixture::Gbk(path), time, static_cast<uint32_t>(std::stoul(f[6]))});
    }
    return found;
}

class Fat32Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        image = dir.path + "/fat32.img";
        int status = -1;
        Sh(Quote(fixture::FixtureScript("make-fat32.sh")) + " " + Quote(image), &status);
        ASSERT_EQ(status, 0) << "the fixture script failed";
    }
    fixture::TempDir dir;
    std::string image;
};

}  // namespace

TEST_F(Fat32Fixture, ScanFindsWhatTheSleuthKitFindsUnderOurRules) {
    DeletedFileList list;
    ASSERT_TRUE(Scan(image, &list));
    std::vector<Found> ours;
    for (const auto& r : list) ours.push_back({Normalised(r->path), r->timeText, r->size});

    std::vector<Found> expected;
    std::set<std::string> leftOutByDesign;
    for (const Found& f : SleuthKitDeleted(image)) {
        size_t depth = std::count(f.path.begin(), f.path.end(), '\\');  // 1 for a file in the root
        if (f.size == 0) leftOutByDesign.insert(f.path);     // empty files are never reported
        else if (depth > 6) leftOutByDesign.insert(f.path);  // folders below level six are not walked
        else expected.push_back({Normalised(f.path), f.time, f.size});
    }
    std::sort(ours.begin(), ours.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ours, expected);
    EXPECT_EQ(leftOutByDesign, (std::set<std::string>{"X:\\_mpty.txt", "X:\\d1\\d2\\d3\\d4\\d5\\d6\\_6.txt",
                                                      "X:\\d1\\d2\\d3\\d4\\d5\\d6\\d7\\_7.txt",
                                                      "X:\\d1\\d2\\d3\\d4\\d5\\d6\\d7\\d8\\_8.txt"}));

    // Exact names where the comparison above is lenient: "$" for the lost first character, the
    // 8.3 bytes as they stand, long names of live and deleted folders, GBK for Chinese names.
    std::set<std::string> paths = PathSet(list);
    for (const std::string& p : {std::string("X:\\$OCUMENT.TXT"), std::string("X:\\$LDSTUFF\\second file.txt"),
                                 std::string("X:\\$LDSTUFF\\$UB\\$.TXT"),
                                 std::string("X:\\My Documents\\plan for next year.txt"),
                                 std::string("X:\\D1\\D2\\D3\\D4\\D5\\$5.TXT"), fixture::Gbk("X:\\禱告.txt"),
                                 fixture::Gbk("X:\\中文报告.txt"), std::string("X:\\twenty-one-chars-name")})
        EXPECT_EQ(paths.count(p), 1u) << p;
    for (const auto& r : list) {
        if (r->path == "X:\\$ATED.TXT") {
            EXPECT_EQ(r->timeText, "2009/09/15 15:29:58");
        }
        if (r->path == "X:\\$EN.BIN") {
            EXPECT_EQ(r->attributes, 2u) << "hidden";
        }
    }
}

TEST_F(Fat32Fixture, NameWipeLeavesNoTraceAndTouchesNothingElse) {
    const std::string liveBefore = dir.path + "/live-before", liveAfter = dir.path + "/live-after";
    int status = -1;
    Sh(kMtools + "mcopy -s -n -m -i " + Quote(image) + " ::/ " + Quote(liveBefore) + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    const std::vector<uint8_t> before = fixture::ReadBytes(image);

    // Deleted names as they lie on disk: long names in UTF-16LE and the 8.3 bytes after the
    // deletion mark (mtools gives the Chinese names "___.TXT" and "_.TXT" as short names).
    std::vector<std::string> needles;
    // A long name is cut into pieces of 5, 6 and 2 characters; the first five lie together.
    for (const char* name : {"Long ", "twent", "plan ", "secon", "中文报告", "禱告"})
        needles.push_back(fixture::Utf16(name));
    for (const char* name : {"\xE5OCUMENT", "\xE5" "EN     BIN", "\xE5" "ATED   TXT", "\xE5LDSTUFF", "\xE5UB    ",
                             "\xE5" "1      TXT", "\xE5" "5      TXT", "\xE5" "8      TXT"})
        needles.push_back(name);
    for (const std::string& n : needles) ASSERT_TRUE(fixture::Contains(before, n)) << "the fixture lacks " << fixture::Printable(n);

    int written = 0;
    ASSERT_TRUE(Wipe(image, &written));
    const std::vector<uint8_t> after = fixture::ReadBytes(image);
    ASSERT_EQ(after.size(), before.size());

    for (const std::string& n : needles) EXPECT_FALSE(fixture::Contains(after, n)) << "a deleted name is still on disk: " << fixture::Printable(n);
    std::string fsck = Sh("fsck.fat -n " + Quote(image) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << fsck;
    EXPECT_EQ(Sh("fls -r -d -p " + Quote(image)), "") << "fls still finds deleted entries";
    DeletedFileList list;
    ASSERT_TRUE(Scan(image, &list, false));
    EXPECT_TRUE(list.empty()) << list.front()->path;

    // Every changed byte lies in an entry that was already marked deleted, and only the
    // clusters that held one were written.
    std::set<size_t> clusters;
    diskfs::Fat32Boot boot;
    ASSERT_TRUE(diskfs::ParseFat32Boot(before.data(), &boot));
    const size_t clusterBytes = boot.bytesPerSector * boot.sectorsPerCluster;
    for (size_t at = 0; at < before.size(); at += 32) {
        if (std::memcmp(&before[at], &after[at], 32) == 0) continue;
        ASSERT_EQ(before[at], 0xE5) << "the entry at byte " << at << " was not a deleted one";
        clusters.insert((at - boot.dataStart * boot.bytesPerSector) / clusterBytes);
    }
    EXPECT_EQ(static_cast<int>(clusters.size()), written);

    Sh(kMtools + "mcopy -s -n -m -i " + Quote(image) + " ::/ " + Quote(liveAfter) + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    std::string diff = Sh("diff -r " + Quote(liveBefore) + " " + Quote(liveAfter) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << "live files changed: " << diff;

    ASSERT_TRUE(Wipe(image, &written));
    EXPECT_EQ(written, 0);
    EXPECT_EQ(fixture::ReadBytes(image), after) << "a second wipe changed the volume";
}

TEST_F(Fat32Fixture, HandDamagedVolumesGiveAFailureOrAPartialResult) {
    const std::vector<uint8_t> good = fixture::ReadBytes(image);
    diskfs::Fat32Boot boot;
    ASSERT_TRUE(diskfs::ParseFat32Boot(good.data(), &boot));
    const size_t fat = boot.reservedSectors * boot.bytesPerSector;
    const size_t clusterBytes = boot.bytesPerSector * boot.sectorsPerCluster;
    // The root directory spans several clusters here; follow its chain to find an entry.
    auto entryOf = [&](const std::vector<uint8_t>& v, const char* name11) {
        for (uint32_t c = boot.rootCluster; c >= 2 && c < boot.entryCount;) {
            size_t base = boot.dataStart * boot.bytesPerSector + (c - 2) * clusterBytes;
            for (size_t at = base; at < base + clusterBytes; at += 32) {
                if (v[at] == 0) return size_t(0);
                if (std::equal(name11, name11 + 11, v.begin() + at)) return at;
            }
            c = diskfs::Le32(&v[fat + 4 * c]) & 0x0FFFFFFF;
        }
        return size_t(0);
    };
    const size_t docs = entryOf(good, "MYDOCU~1   "), d1 = entryOf(good, "D1         ");
    ASSERT_TRUE(docs && d1);
    auto setCluster = [](std::vector<uint8_t>& v, size_t entry, uint32_t c) {
        v[entry + 20] = c >> 16 & 0xFF, v[entry + 21] = c >> 24, v[entry + 26] = c & 0xFF, v[entry + 27] = c >> 8 & 0xFF;
    };

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        bool ok;
        bool rootFilesFound;
        const char* absent;  // a path that must no longer be found
    } cases[] = {
        {"the root directory's FAT chain loops onto itself",
         [&](std::vector<uint8_t>& v) { for (int k = 0; k < 4; ++k) v[fat + 4 * boot.rootCluster + k] = (boot.rootCluster >> (8 * k)) & 0xFF; },
         true, true, nullptr},
        {"My Documents points back at the root, a directory that contains itself",
         [&](std::vector<uint8_t>& v) { setCluster(v, docs, boot.rootCluster); }, true, true,
         "X:\\My Documents\\plan for next year.txt"},
        {"d1 points past the end of the volume", [&](std::vector<uint8_t>& v) { setCluster(v, d1, 0x0FFFFFF0); },
         true, true, "X:\\D1\\$1.TXT"},
        {"both FATs cut off by a truncated image", [&](std::vector<uint8_t>& v) { v.resize(fat + 4096); }, false,
         false, nullptr},
        {"a zeroed boot sector", [&](std::vector<uint8_t>& v) { std::fill(v.begin(), v.begin() + 512, 0); }, false,
         false, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        const std::string damaged = dir.path + "/damaged.img";
        {
            std::ofstream out(damaged, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        DeletedFileList list;
        EXPECT_EQ(Scan(damaged, &list), c.ok) << c.what;
        std::set<std::string> paths = PathSet(list);
        EXPECT_EQ(paths.count("X:\\$OCUMENT.TXT"), c.rootFilesFound ? 1u : 0u) << c.what;
        if (c.absent) {
            EXPECT_EQ(paths.count(c.absent), 0u) << c.what;
        }
        EXPECT_EQ(Wipe(damaged), c.ok) << c.what;
    }
}

TEST_F(Fat32Fixture, ToolPrintsOneLinePerRecordAndReportsErrors) {
    const std::string tool = Quote(DELETED_SCAN_TOOL);
    DeletedFileList list;
    ASSERT_TRUE(Scan(image, &list));
    std::string expected;
    for (const auto& r : list)
        expected += r->path + "\t" + r->timeText + "\t" + std::to_string(r->size) + "\t" +
                    std::to_string(r->attributes) + "\t" + std::to_string(r->firstCluster) + "\n";
    int status = -1;
    EXPECT_EQ(Sh(tool + " " + Quote(image), &status), expected);
    EXPECT_EQ(status, 0);

    std::vector<std::string> lines = fixture::Lines(expected);
    EXPECT_EQ(fixture::Lines(Sh(tool + " --limit 3 " + Quote(image))),
              std::vector<std::string>(lines.begin(), lines.begin() + 3));
    EXPECT_EQ(Sh(tool + " --all " + Quote(image)), expected) << "the fixture's only empty file has no cluster";

    const std::string padded = dir.path + "/padded.img";
    Sh("{ head -c 1048576 /dev/zero; cat " + Quote(image) + "; } > " + Quote(padded));
    EXPECT_EQ(Sh(tool + " --offset 1048576 " + Quote(padded)), expected);

    const std::string zeros = dir.path + "/zeros.img";
    Sh("head -c 1048576 /dev/zero > " + Quote(zeros));
    struct Case {
        std::string args;
        int status;
    } cases[] = {
        {"", 2},
        {"--bogus " + Quote(image), 2},
        {"--limit many " + Quote(image), 2},
        {"--offset -5 " + Quote(image), 2},
        {Quote(image) + " " + Quote(image), 2},
        {Quote(zeros), 1},
        {Quote(dir.path + "/missing.img"), 1},
        {"--offset 4096 " + Quote(image), 1},
    };
    for (const Case& c : cases) {
        std::string out = Sh(tool + " " + c.args + " 2>/dev/null", &status);
        EXPECT_EQ(status, c.status) << "deleted-scan " << c.args;
        EXPECT_EQ(out, "") << "deleted-scan " << c.args;
    }

    EXPECT_EQ(Sh(tool + " --wipe-names " + Quote(image), &status), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Sh(tool + " --all " + Quote(image), &status), "");
    EXPECT_EQ(status, 0);
}
