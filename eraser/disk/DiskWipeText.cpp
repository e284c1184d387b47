#include "DiskWipeText.h"

#include <cstdio>

std::string FormatWipeSize(uint64_t bytes) {
    const uint64_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    char text[64];
    if (bytes >= kGiB) {
        std::snprintf(text, sizeof text, "%.2f GB ", static_cast<double>(bytes) / kGiB);
    } else if (bytes >= kMiB) {
        std::snprintf(text, sizeof text, "%.2f MB ", static_cast<double>(bytes) / kMiB);
    } else if (bytes >= kKiB) {
        std::snprintf(text, sizeof text, "%.2f KB ", static_cast<double>(bytes) / kKiB);
    } else {
        std::snprintf(text, sizeof text, "%d 字节 ", static_cast<int>(bytes));
    }
    return text;
}

std::string DriveInfoLine(bool freeSpaceMode, const std::string& itemText, uint64_t total, uint64_t free) {
    // The last four bytes are "(C:)": ASCII, so never the tail of a double-byte character.
    std::string tail = itemText.size() >= 4 ? itemText.substr(itemText.size() - 4) : itemText;
    std::string line = "当前磁盘 " + tail + " ";
    if (freeSpaceMode) {
        line += "  未使用空间" + FormatWipeSize(free);
    } else {
        line += "  已用大小:" + FormatWipeSize(total >= free ? total - free : 0);
    }
    line += "  总大小:" + FormatWipeSize(total);
    if (line.size() > 1000) line.resize(1000);
    return line;
}

std::string DriveOfItemText(const std::string& itemText) {
    if (itemText.size() < 3) return std::string();
    return itemText.substr(itemText.size() - 3, 2);
}

std::string TempFilePath(const std::string& drive, unsigned n) {
    char path[64];
    std::snprintf(path, sizeof path, "%s\\%s%u", drive.c_str(), "~DWipeTmp", n);
    return path;
}

int FillPercent(uint64_t written, uint64_t total) {
    if (total == 0) return 99;  // a drive that was full from the start: nothing to divide by
    uint64_t percent = total >= 100 ? written / (total / 100) : written * 100 / total;
    return percent > 99 ? 99 : static_cast<int>(percent);
}
