// The identify-word decoder against hdparm, which decodes the same 256 words independently
// (hdparm --Istdin), and the slot texts the report shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "IdentifyData.h"

namespace {

// An identify block built field by field, the way a drive fills it.
struct IdentifyBlock {
    std::vector<uint16_t> w = std::vector<uint16_t>(kIdentifyWords, 0);

    IdentifyBlock& Text(int first, int last, const std::string& text) {
        std::string padded = text;
        padded.resize(static_cast<size_t>(last - first + 1) * 2, ' ');
        for (int i = first; i <= last; ++i) {
            const size_t at = static_cast<size_t>(i - first) * 2;
            w[i] = static_cast<uint16_t>(static_cast<unsigned char>(padded[at]) << 8 | static_cast<unsigned char>(padded[at + 1]));
        }
        return *this;
    }
    IdentifyBlock& Sectors28(uint32_t sectors) {
        w[49] |= 0x0200;  // LBA supported
        w[60] = static_cast<uint16_t>(sectors);
        w[61] = static_cast<uint16_t>(sectors >> 16);
        return *this;
    }
    IdentifyBlock& Sectors48(uint64_t sectors) {
        w[83] |= 0x4400;  // word valid, 48-bit address feature set supported
        w[86] |= 0x0400;  // ... and enabled
        for (int i = 0; i < 4; ++i) w[100 + i] = static_cast<uint16_t>(sectors >> (16 * i));
        return *this;
    }
    // The words as /proc/ide/hdX/identify lists them: hexadecimal, eight to a line.
    std::string Hex() const {
        std::string text;
        char word[8];
        for (size_t i = 0; i < w.size(); ++i) {
            std::snprintf(word, sizeof word, "%04x%s", w[i], i % 8 == 7 ? "\n" : " ");
            text += word;
        }
        return text;
    }
};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// hdparm's report of the block: "Model Number", "Serial Number", "Firmware Revision",
// "device size with M = 1024*1024" and "cache/buffer size" with their values, trimmed.
std::map<std::string, std::string> Hdparm(const IdentifyBlock& block) {
    std::map<std::string, std::string> fields;
    char input[] = "/tmp/identify-XXXXXX";
    const int fd = mkstemp(input);
    if (fd < 0) return fields;
    const std::string hex = block.Hex();
    const bool written = write(fd, hex.data(), hex.size()) == static_cast<ssize_t>(hex.size());
    close(fd);
    FILE* pipe = written ? popen(("hdparm --Istdin < " + std::string(input) + " 2>&1").c_str(), "r") : nullptr;
    char line[512];
    while (pipe && fgets(line, sizeof line, pipe)) {
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        for (const char* key : {"Model Number:", "Serial Number:", "Firmware Revision:"}) {
            const size_t at = text.find(key);
            if (at != std::string::npos) fields[key] = Trim(text.substr(at + std::string(key).size()));
        }
        for (const char* key : {"device size with M = 1024*1024:", "cache/buffer size  ="}) {
            const size_t at = text.find(key);
            if (at != std::string::npos) fields[key] = Trim(text.substr(at + std::string(key).size()));
        }
        if (text.find("ATAPI") != std::string::npos) fields["ATAPI"] = "yes";
    }
    if (pipe) pclose(pipe);
    unlink(input);
    return fields;
}

bool HaveHdparm() { return std::system("hdparm -V >/dev/null 2>&1") == 0; }

}  // namespace

TEST(IdentifyData, ModelSerialFirmwareAndCapacityAgreeWithHdparm) {
    ASSERT_TRUE(HaveHdparm()) << "hdparm is missing: ./x setup installs it";
    struct Case {
        const char* what;
        IdentifyBlock block;
        const char* type;
        const char* capacity;  // as the report shows it; empty for a device without sectors
    };
    IdentifyBlock lba48, lba28, atapi, blanks;
    lba48.Text(10, 19, "WD-WCAV12345678").Text(23, 26, "01.01A01").Text(27, 46, "WDC WD5000AAKS-00A7B0").Sectors48(976773168);
    lba48.w[0] = 0x0040;
    lba48.w[21] = 32768 / 512;
    lba48.Sectors28(0x0FFFFFFF);  // a 48-bit disk reports at most 2^28 - 1 in words 60-61
    lba28.Text(10, 19, "5JV1X2QK").Text(23, 26, "3.AAE").Text(27, 46, "ST380011A").Sectors28(156301488);
    lba28.w[0] = 0x0C5A;  // fixed, with the obsolete bits old disks set
    lba28.w[21] = 4096;
    atapi.Text(10, 19, "").Text(23, 26, "1.02").Text(27, 46, "_NEC DVD_RW ND-3540A");
    atapi.w[0] = 0x85C0;  // ATAPI, CD-ROM, removable
    blanks.Text(10, 19, "    S0A1B2C3   ").Text(23, 26, "  FW 1  ").Text(27, 46, "   Maxtor 6Y080L0      ").Sectors28(160086528);
    blanks.w[0] = 0x0040;
    blanks.w[21] = 3808;
    const Case cases[] = {
        {"48-bit disk", lba48, "Fixed", "476940 MBytes"},
        {"28-bit disk", lba28, "Fixed", "76319 MBytes"},
        {"removable ATAPI device", atapi, "Removable", ""},
        {"blanks around every string", blanks, "Fixed", "78167 MBytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const IdeDriveSlot slot = DecodeIdentify(0, c.block.w.data());
        std::map<std::string, std::string> hdparm = Hdparm(c.block);
        ASSERT_FALSE(hdparm.empty()) << "hdparm gave no report";
        // hdparm also drops leading blanks; the report keeps them (checked below).
        EXPECT_EQ(Trim(slot.model), hdparm["Model Number:"]);
        EXPECT_EQ(Trim(slot.serial), hdparm["Serial Number:"]);
        EXPECT_EQ(Trim(slot.firmware), hdparm["Firmware Revision:"]);
        EXPECT_EQ(slot.type, c.type);
        if (hdparm.count("ATAPI")) {
            EXPECT_EQ(slot.type, "Removable") << "hdparm sees an ATAPI device";
            continue;
        }
        EXPECT_EQ(slot.capacity, hdparm["device size with M = 1024*1024:"]);
        EXPECT_EQ(slot.capacity, c.capacity);
        EXPECT_EQ(slot.buffer, hdparm["cache/buffer size  ="]);
    }
    // Leading blanks stay, trailing ones go.
    const IdeDriveSlot slot = DecodeIdentify(0, blanks.w.data());
    EXPECT_EQ(slot.model, "   Maxtor 6Y080L0");
    EXPECT_EQ(slot.serial, "    S0A1B2C3");
    EXPECT_EQ(slot.firmware, "  FW 1");
}

TEST(IdentifyData, SlotsNameTheirChannelAndDecodeEdgeValues) {
    EXPECT_EQ(IdeChannelText(0), "Primary Master");
    EXPECT_EQ(IdeChannelText(1), "Primary Slave");
    EXPECT_EQ(IdeChannelText(2), "Secondary Master");
    EXPECT_EQ(IdeChannelText(3), "Secondary Slave");
    EXPECT_EQ(IdeChannelText(7), "Quaternary Slave");

    IdentifyBlock block;
    block.Text(27, 46, "DISK").Sectors28(0x0FFFFFFF);
    EXPECT_EQ(DecodeIdentify(3, block.w.data()).channel, "Secondary Slave");
    // Without 48-bit addressing the words 100-103 are ignored: at most the 28-bit count.
    block.w[100] = 0xFFFF;
    block.w[101] = 0xFFFF;
    EXPECT_EQ(IdentifySectors(block.w.data()), 0x0FFFFFFFu);
    EXPECT_EQ(DecodeIdentify(0, block.w.data()).capacity, "131071 MBytes");
    // With it, all four words count, even beyond 48 bits, without overflowing.
    block.Sectors48(0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(DecodeIdentify(0, block.w.data()).capacity, "9007199254740991 MBytes");
    // A zero byte ends a string; neither bit 6 nor 7 of word 0 is an unknown type.
    block.w[28] = 0x4100;
    EXPECT_EQ(DecodeIdentify(0, block.w.data()).model, "DIA");
    block.w[0] = 0x8000;
    EXPECT_EQ(DecodeIdentify(0, block.w.data()).type, "Unknown");

    // A device's answer too short to hold the words is refused.
    std::vector<uint8_t> answer(16 + 512, 0);
    answer[16] = 0x34;
    answer[17] = 0x12;
    uint16_t words[kIdentifyWords];
    ASSERT_TRUE(IdentifyWordsAt(answer.data(), answer.size(), 16, words));
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_FALSE(IdentifyWordsAt(answer.data(), answer.size() - 1, 16, words));
    EXPECT_FALSE(IdentifyWordsAt(answer.data(), answer.size(), answer.size() + 1, words));
}
