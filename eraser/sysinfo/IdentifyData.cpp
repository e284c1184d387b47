#include "IdentifyData.h"

#include <cinttypes>
#include <cstdio>

namespace {

const char* const kControllers[] = {"Primary ", "Secondary ", "Tertiary ", "Quaternary "};
const char* const kDevices[] = {"Master", "Slave"};

// Identify word numbers (ATA/ATAPI-6, "IDENTIFY DEVICE data").
const int kWordConfig = 0;          // bit 7: removable media, bit 6: not removable
const int kWordSerialFirst = 10, kWordSerialLast = 19;
const int kWordBuffer = 21;         // buffer size in 512-byte units (obsolete, but still filled by old disks)
const int kWordFirmwareFirst = 23, kWordFirmwareLast = 26;
const int kWordModelFirst = 27, kWordModelLast = 46;
const int kWordSectors28 = 60;      // 60-61: user-addressable sectors, low word first
const int kWordFeatures = 83;       // bit 10: 48-bit address feature set supported
const int kWordSectors48 = 100;     // 100-103: maximum user LBA for 48-bit addressing, low word first

const uint16_t kRemovable = 0x80, kFixed = 0x40, kLba48 = 0x400;

}  // namespace

std::string IdeChannelText(int slot) {
    if (slot < 0 || slot > 7) return std::string();
    return std::string(kControllers[slot / 2]) + kDevices[slot % 2];
}

std::string IdentifyString(const uint16_t* words, int first, int last) {
    std::string text;
    for (int i = first; i <= last; ++i) {
        text += static_cast<char>(words[i] >> 8);
        text += static_cast<char>(words[i] & 0xFF);
    }
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

uint64_t IdentifySectors(const uint16_t* words) {
    if (words[kWordFeatures] & kLba48) {
        uint64_t sectors = 0;
        for (int i = kWordSectors48 + 3; i >= kWordSectors48; --i) sectors = (sectors << 16) | words[i];
        return sectors;
    }
    return words[kWordSectors28] + static_cast<uint64_t>(words[kWordSectors28 + 1]) * 65536;
}

IdeDriveSlot DecodeIdentify(int slot, const uint16_t* words) {
    IdeDriveSlot drive;
    drive.present = true;
    drive.channel = IdeChannelText(slot);
    drive.model = IdentifyString(words, kWordModelFirst, kWordModelLast);
    drive.serial = IdentifyString(words, kWordSerialFirst, kWordSerialLast);
    drive.firmware = IdentifyString(words, kWordFirmwareFirst, kWordFirmwareLast);

    char text[64];
    std::snprintf(text, sizeof text, "%u KBytes", static_cast<unsigned>(words[kWordBuffer]) * 512 / 1024);
    drive.buffer = text;

    const uint16_t config = words[kWordConfig];
    drive.type = config & kRemovable ? "Removable" : config & kFixed ? "Fixed" : "Unknown";

    // sectors * 512 / 1 MiB, divided first so that no count a device can report overflows.
    const uint64_t megabytes = IdentifySectors(words) / 2048;
    std::snprintf(text, sizeof text, "%" PRId64 " MBytes", static_cast<int64_t>(megabytes));
    drive.capacity = text;
    return drive;
}

bool IdentifyWordsAt(const uint8_t* bytes, size_t size, size_t offset, uint16_t* words) {
    if (offset > size || size - offset < kIdentifyWords * 2) return false;
    for (size_t i = 0; i < kIdentifyWords; ++i) {
        words[i] = static_cast<uint16_t>(bytes[offset + 2 * i] | bytes[offset + 2 * i + 1] << 8);
    }
    return true;
}
