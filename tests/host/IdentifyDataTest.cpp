// The identify-word decoder against hdparm, which decodes the same 256 words on its own
// (hdparm --Istdin), and the slot texts the report shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "IdentifyData.h"

namespace {

// An identify block filled field by field, the way a drive fills it.
struct Block {
    std::vector<uint16_t> w = std::vector<uint16_t>(kIdentifyWords, 0);

    Block& Text(int first, int last, std::string text) {
        text.resize(static_cast<size_t>(last - first + 1) * 2, ' ');
        for (int i = first; i <= last; ++i) {
            w[i] = static_cast<uint16_t>(static_cast<unsigned char>(text[2 * (i - first)]) << 8 |
                                         static_cast<unsigned char>(text[2 * (i - first) + 1]));
        }
        return *this;
    }
    Block& Disk(uint16_t config, uint16_t buffer, uint32_t sectors28, uint64_t sectors48 = 0) {
        w[0] = config;
        w[21] = buffer;
        w[49] = 0x0200;  // LBA
        w[60] = static_cast<uint16_t>(sectors28);
        w[61] = static_cast<uint16_t>(sectors28 >> 16);
        if (sectors48) {
            w[83] = w[86] = 0x4400;  // 48-bit address feature set supported and enabled
            for (int i = 0; i < 4; ++i) w[100 + i] = static_cast<uint16_t>(sectors48 >> (16 * i));
        }
        return *this;
    }
};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\n");
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t\n") - first + 1);
}

// hdparm's fields for the block (hexadecimal words, eight to a line, as /proc/ide/hdX/identify).
std::map<std::string, std::string> Hdparm(const Block& block) {
    std::string hex;
    char word[8];
    for (size_t i = 0; i < block.w.size(); ++i) {
        std::snprintf(word, sizeof word, "%04x%c", block.w[i], i % 8 == 7 ? '\n' : ' ');
        hex += word;
    }
    const std::string input = testing::TempDir() + "identify.txt";
    FILE* file = std::fopen(input.c_str(), "w");
    if (!file) return {};
    std::fputs(hex.c_str(), file);
    std::fclose(file);
    std::map<std::string, std::string> fields;
    FILE* pipe = popen(("hdparm --Istdin < " + input + " 2>&1").c_str(), "r");
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        const std::string text = line;
        for (const char* key : {"Model Number:", "Serial Number:", "Firmware Revision:", "device size with M = 1024*1024:",
                                "cache/buffer size  =", "ATAPI"}) {
            const size_t at = text.find(key);
            if (at != std::string::npos) fields[key] = Trim(text.substr(at + std::string(key).size()));
        }
    }
    if (pipe) pclose(pipe);
    return fields;
}

}  // namespace

TEST(IdentifyData, ModelSerialFirmwareAndCapacityAgreeWithHdparm) {
    ASSERT_EQ(std::system("hdparm -V >/dev/null 2>&1"), 0) << "hdparm is missing: ./x setup installs it";
    struct Case {
        const char* what;
        Block block;
        const char *model, *type, *capacity;
    } cases[] = {
        // A 48-bit disk reports at most 2^28 - 1 sectors in words 60-61; the report takes 100-103.
        {"48-bit disk", Block().Text(10, 19, "WD-WCAV12345678").Text(23, 26, "01.01A01").Text(27, 46, "WDC WD5000AAKS-00A7B0")
                            .Disk(0x0040, 64, 0x0FFFFFFF, 976773168), "WDC WD5000AAKS-00A7B0", "Fixed", "476940 MBytes"},
        {"28-bit disk", Block().Text(10, 19, "5JV1X2QK").Text(23, 26, "3.AAE").Text(27, 46, "ST380011A").Disk(0x0C5A, 4096, 156301488),
         "ST380011A", "Fixed", "76319 MBytes"},
        {"removable ATAPI device", Block().Text(23, 26, "1.02").Text(27, 46, "_NEC DVD_RW ND-3540A").Disk(0x85C0, 0, 0),
         "_NEC DVD_RW ND-3540A", "Removable", ""},
        // hdparm drops leading blanks too; the report keeps them and cuts the trailing ones.
        {"blanks around the strings", Block().Text(10, 19, "    S0A1B2C3   ").Text(23, 26, "  FW 1  ").Text(27, 46, "   Maxtor 6Y080L0   ")
                                          .Disk(0x0040, 3808, 160086528), "   Maxtor 6Y080L0", "Fixed", "78167 MBytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const IdeDriveSlot slot = DecodeIdentify(0, c.block.w.data());
        std::map<std::string, std::string> hdparm = Hdparm(c.block);
        ASSERT_FALSE(hdparm["Model Number:"].empty()) << "hdparm gave no report";
        EXPECT_EQ(slot.model, c.model);
        EXPECT_EQ(Trim(slot.model), hdparm["Model Number:"]);
        EXPECT_EQ(Trim(slot.serial), hdparm["Serial Number:"]);
        EXPECT_EQ(Trim(slot.firmware), hdparm["Firmware Revision:"]);
        EXPECT_EQ(slot.type, c.type);
        if (hdparm.count("ATAPI")) continue;  // hdparm shows no size for a packet device
        EXPECT_EQ(slot.capacity, c.capacity);
        EXPECT_EQ(slot.capacity, hdparm["device size with M = 1024*1024:"]);
        EXPECT_EQ(slot.buffer, hdparm["cache/buffer size  ="]);
    }
}

TEST(IdentifyData, ChannelAndCapacityLimits) {
    Block block;
    block.Text(27, 46, "DISK").Disk(0x0040, 0, 0x0FFFFFFF);
    block.w[100] = block.w[101] = 0xFFFF;  // ignored without 48-bit addressing
    const IdeDriveSlot slot = DecodeIdentify(3, block.w.data());
    EXPECT_EQ(slot.channel, "Secondary Slave");
    EXPECT_EQ(slot.capacity, "131071 MBytes");
    // All four words of the 48-bit count, without overflowing the byte count.
    block.Disk(0x0040, 0, 0x0FFFFFFF, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(DecodeIdentify(0, block.w.data()).capacity, "9007199254740991 MBytes");
    EXPECT_EQ(DecodeIdentify(0, block.w.data()).channel, "Primary Master");
}
