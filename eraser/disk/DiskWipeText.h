#pragma once
// The texts and numbers of the disk wipe dialog that need no window: the drive information lines,
// the drive letter of a list item, the temp-file names and the fill percentage.
#include <cstdint>
#include <string>

// A byte count as the information text shows it: "%.2f KB " from 1 KiB, "%.2f MB " from 1 MiB,
// "%.2f GB " from 1 GiB, else the plain number, a blank, "字节" and a blank.
std::string FormatWipeSize(uint64_t bytes);

// The information line of one drive. `itemText` is the list item's shell name, such as
// "本地磁盘 (C:)"; the free-space wipe shows free and total space, the partition wipe used and total.
std::string DriveInfoLine(bool freeSpaceMode, const std::string& itemText, uint64_t total, uint64_t free);

// "C:" from an item text ending in "(C:)"; empty when the text is too short to hold one.
std::string DriveOfItemText(const std::string& itemText);

// The n-th temp file of a drive: "C:" and 0 give "C:\~DWipeTmp0".
std::string TempFilePath(const std::string& drive, unsigned n);

// The strip's percentage after `written` of `total` bytes: written / (total / 100) from 100 bytes
// on, written x 100 / total below, never above 99 (100 is shown only once the names are cleared).
int FillPercent(uint64_t written, uint64_t total);
