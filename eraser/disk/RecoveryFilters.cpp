#include "RecoveryFilters.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "ByteOrder.h"

SearchFilters g_searchFilters;

namespace {

// Two-digit or four-digit decimal field of a time text; -1 when a character is not a digit.
int Field(const std::string& text, size_t at, size_t length) {
    if (text.size() < at + length) return -1;
    int value = 0;
    for (size_t i = at; i < at + length; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The part after the name's last "." ('.' is never the trail byte of a GBK character); false when
// the name has none.
bool ExtensionOf(const std::string& name, std::string& extension) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    extension = name.substr(dot + 1);
    return true;
}

// Sizes of an SI unit as the disk information shows them; empty below 1024 bytes.
std::string InformationSize(uint64_t bytes) {
    const double kKiB = 1024.0, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    char text[64] = {};
    if (bytes >= kGiB) {
        std::snprintf(text, sizeof text, "%.2f GB", bytes / kGiB);
    } else if (bytes >= kMiB) {
        std::snprintf(text, sizeof text, "%.2f MB", bytes / kMiB);
    } else if (bytes >= kKiB) {
        std::snprintf(text, sizeof text, "%.2f KB", bytes / kKiB);
    }
    return text;
}

}  // namespace

long LocalDayNumber(int year, int month, int day) {
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31) return -1;
    std::tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_isdst = -1;
    std::time_t at = std::mktime(&local);
    if (at == static_cast<std::time_t>(-1)) return -1;
    return static_cast<long>(at / 86400);
}

bool PassesDateFilter(const SearchFilters& filters, const std::string& timeText, long today) {
    if (filters.dateMode == SearchFilters::kAllDates) return true;
    const long day = LocalDayNumber(Field(timeText, 0, 4), Field(timeText, 5, 2), Field(timeText, 8, 2));
    if (day < 0) return false;
    if (filters.dateMode == SearchFilters::kLastThreeDays) {
        const long age = today - day;
        return age >= 0 && age <= 2;
    }
    const long low = filters.firstDay < filters.lastDay ? filters.firstDay : filters.lastDay;
    const long high = filters.firstDay < filters.lastDay ? filters.lastDay : filters.firstDay;
    return day >= low && day <= high;
}

bool PassesTypeFilter(const SearchFilters& filters, const std::string& name) {
    std::string extension;
    if (!filters.typedExtension.empty()) {
        if (filters.typedExtension == "*") return true;
        return ExtensionOf(name, extension) && ::lstrcmpiA(extension.c_str(), filters.typedExtension.c_str()) == 0;
    }
    if (filters.typeIndex == 0) return true;
    return ExtensionOf(name, extension) && ::lstrcmpiA(("*." + extension).c_str(), filters.typeText.c_str()) == 0;
}

uint32_t SizeInKb(uint32_t bytes) { return (bytes >= 1 && bytes <= 1023 ? 1024 : bytes) / 1024; }

std::string SizeText(uint32_t kb) {
    char text[32];
    std::snprintf(text, sizeof text, "%8d KB", static_cast<int>(kb));
    return text;
}

std::string HexPreview(const uint8_t (&buffer)[512]) {
    std::string text;
    text.reserve(512 * 3 + 128);
    char digits[4];
    for (size_t i = 0; i < sizeof buffer; ++i) {
        std::snprintf(digits, sizeof digits, "%02X ", buffer[i]);
        text += digits;
        if (i % 4 == 3) text += ' ';
    }
    return text;
}

bool ReadPreviewSector(diskfs::SectorDevice& device, bool ntfs, uint32_t firstCluster, uint8_t (&out)[512]) {
    uint8_t boot[512];
    if (!device.ReadSectors(0, 1, sizeof boot, boot)) return false;
    // BPB offsets 11 and 13: bytes per sector and sectors per cluster; FAT32: 14 reserved sectors,
    // 36 sectors per FAT.
    const uint32_t bytesPerSector = diskfs::Le16(boot + 11);
    const uint32_t sectorsPerCluster = boot[13];
    if (bytesPerSector < 512 || bytesPerSector > 4096 || (bytesPerSector & (bytesPerSector - 1)) != 0 ||
        sectorsPerCluster == 0) {
        return false;
    }
    uint64_t sector;
    if (ntfs) {
        sector = static_cast<uint64_t>(firstCluster) * sectorsPerCluster;
    } else {
        if (firstCluster < 2) return false;
        sector = static_cast<uint64_t>(firstCluster - 2) * sectorsPerCluster + 2ull * diskfs::Le32(boot + 36) +
                 diskfs::Le16(boot + 14);
    }
    std::vector<uint8_t> data(bytesPerSector);
    if (!device.ReadSectors(sector, 1, bytesPerSector, data.data())) return false;
    std::memset(out, 0, sizeof out);
    for (size_t i = 0; i < sizeof out && data[i] != 0; ++i) out[i] = data[i];
    return true;
}

std::string DiskInformation(char letter, const std::string& fileSystem, uint64_t free, uint64_t total) {
    char text[256];
    std::snprintf(text, sizeof text, "当前盘 (%c:) 文件系统:%s 未使用空间:%s 总空间:%s", letter, fileSystem.c_str(),
                  InformationSize(free).c_str(), InformationSize(total).c_str());
    return text;
}
