// NTFS building blocks on hand-made bytes: run lists, the update-sequence fix-up and times.
#include <gtest/gtest.h>

#include <cstring>

#include "NtfsWalk.h"

using diskfs::NtfsRun;

TEST(NtfsRunList, DecodesRunsAndRefusesOnesThatLeaveTheVolume) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool ok;
        std::vector<std::vector<uint64_t>> runs;  // {lcn, length, sparse}
    } cases[] = {
        {"one run", {0x11, 0x03, 0x20, 0x00}, true, {{0x20, 3, 0}}},
        {"a second run before the first (negative offset)", {0x11, 0x02, 0x40, 0x11, 0x01, 0xF0, 0x00}, true,
         {{0x40, 2, 0}, {0x30, 1, 0}}},
        {"a sparse run reads as zeros", {0x11, 0x01, 0x10, 0x01, 0x05, 0x11, 0x01, 0x01, 0x00}, true,
         {{0x10, 1, 0}, {0, 5, 1}, {0x11, 1, 0}}},
        {"an empty list", {0x00}, true, {}},
        {"a list without its end byte stops at the attribute's end", {0x11, 0x01, 0x08}, true, {{8, 1, 0}}},
        {"a run that does not fit", {0x11, 0x01}, false, {}},
        {"a length field of 9 bytes", {0x19, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x10, 0x00}, false, {}},
        {"a length of 0", {0x11, 0x00, 0x10, 0x00}, false, {}},
        {"a run past the last cluster", {0x21, 0x01, 0xFF, 0x03, 0x00}, false, {}},
        {"a run that ends past the last cluster", {0x11, 0x20, 0xF0, 0x00}, false, {}},
        {"a cluster before the start of the volume", {0x11, 0x01, 0x10, 0x11, 0x01, 0xE0, 0x00}, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<NtfsRun> runs;
        EXPECT_EQ(diskfs::DecodeRunList(c.bytes.data(), c.bytes.size(), 0x100, &runs), c.ok) << c.what;
        if (!c.ok) continue;
        ASSERT_EQ(runs.size(), c.runs.size()) << c.what;
        for (size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].sparse, c.runs[i][2] != 0) << c.what;
            EXPECT_EQ(runs[i].length, c.runs[i][1]) << c.what;
            if (!runs[i].sparse) {
                EXPECT_EQ(runs[i].lcn, c.runs[i][0]) << c.what;
            }
        }
    }
}

TEST(NtfsFixup, RoundTripsAndRejectsTornOrMisplacedArrays) {
    std::vector<uint8_t> disk(1024, 0xAB);
    std::memcpy(disk.data(), "FILE", 4);
    disk[4] = 48, disk[5] = 0, disk[6] = 3, disk[7] = 0;   // array at 48, 3 entries
    disk[48] = 0x07, disk[49] = 0x00;                        // sequence number 7
    disk[50] = 0x11, disk[51] = 0x22, disk[52] = 0x33, disk[53] = 0x44;
    disk[510] = 0x07, disk[511] = 0x00, disk[1022] = 0x07, disk[1023] = 0x00;

    std::vector<uint8_t> record = disk;
    ASSERT_TRUE(diskfs::ApplyFixup(record.data(), record.size(), 512));
    EXPECT_EQ(record[510], 0x11);
    EXPECT_EQ(record[511], 0x22);
    EXPECT_EQ(record[1022], 0x33);
    EXPECT_EQ(record[1023], 0x44);
    ASSERT_TRUE(diskfs::UndoFixup(record.data(), record.size(), 512));
    EXPECT_EQ(record, disk) << "undoing the fix-up gives the bytes that were on disk";

    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    } bad[] = {
        {"a block whose end does not carry the sequence number", 1022, 0x08},
        {"an array that starts past the record", 5, 0x04},
        {"an array with too few entries", 6, 2},
        {"an array with too many entries", 6, 200},
        {"an array reaching past the end", 4, 0xFE},
    };
    for (const Case& c : bad) {
        std::vector<uint8_t> r = disk;
        r[c.at] = c.value;
        EXPECT_FALSE(diskfs::ApplyFixup(r.data(), r.size(), 512)) << c.what;
    }
}

TEST(NtfsTime, ConvertsFromSixteenOhOneWithTheBias) {
    struct Case {
        uint64_t time;
        long bias;
        const char* text;
    } cases[] = {
        {0, 0, "1601/01/01 00:00:00"},
        {116444736000000000ull, 0, "1970/01/01 00:00:00"},
        {129068208000000000ull, 0, "2010/01/01 12:00:00"},
        {129068208000000000ull, -480, "2010/01/01 20:00:00"},  // UTC+8, Beijing
        {129068208000000000ull, 300, "2010/01/01 07:00:00"},
        {128976777980000000ull, 0, "2009/09/17 16:16:38"},
        {126227808000000000ull, 0, "2001/01/01 00:00:00"},
        {125911584000000000ull, 0, "2000/01/01 00:00:00"},
        {125962560000000000ull, 0, "2000/02/29 00:00:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(diskfs::NtfsTimeText(c.time, c.bias), c.text) << c.time;
}
