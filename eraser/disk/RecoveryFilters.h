#pragma once
// What the recoverable-files check decides about each found record without a window: the search
// filters kept between showings of the advanced search, the row texts, the date and type tests,
// and the one-sector preview of a file's data.
#include <windows.h>

#include <cstdint>
#include <string>

#include "SectorDevice.h"

// The filters of the advanced search, process-wide and kept between showings.
struct SearchFilters {
    enum DateMode { kLastThreeDays = 0, kDateRange = 1, kAllDates = 2 };
    int typeIndex = 0;             // index in the sorted type list; 0 is "*.*"
    std::string typeText = "*.*";  // the chosen entry, such as "*.doc"
    std::string typedExtension;    // the extension edit, at most 100 characters
    int dateMode = kAllDates;
    long firstDay = 0, lastDay = 0;   // day numbers (time value / 86400) of local midnights
    SYSTEMTIME fromDate = {}, toDate = {};  // the pickers' values (wYear 0: not chosen yet)
};
extern SearchFilters g_searchFilters;

// The day number of the local midnight of a date: its time value / 86400; -1 for an impossible date.
long LocalDayNumber(int year, int month, int day);

// True when a record with `timeText` ("%04d/%02d/%02d %02d:%02d:%02d") passes the date filter.
// `today` is the day number of today's local midnight. A time that cannot be read passes only
// when every date is shown.
bool PassesDateFilter(const SearchFilters& filters, const std::string& timeText, long today);

// True when a file named `name` passes the type filter (the typed extension first, else the type list).
bool PassesTypeFilter(const SearchFilters& filters, const std::string& name);

// The size column: whole KiB, a file of 1 to 1023 bytes counting as 1 KiB.
uint32_t SizeInKb(uint32_t bytes);
// "%8d KB" of a size in KiB.
std::string SizeText(uint32_t kb);

// The 512 preview bytes as "%02X " each, with one more blank after every fourth byte.
std::string HexPreview(const uint8_t (&buffer)[512]);

// Reads the first sector of a deleted file's data for the preview: the boot sector (sector 0) first,
// then one sector at the file's first cluster (NTFS: cluster x sectors per cluster; FAT32:
// (cluster - 2) x sectors per cluster + 2 x sectors per FAT + reserved sectors). The bytes up to
// the first zero byte go into `out`, zero-filled first. False, with `out` unchanged, when a read
// fails or the boot sector's numbers do not describe a sector on the volume.
bool ReadPreviewSector(diskfs::SectorDevice& device, bool ntfs, uint32_t firstCluster, uint8_t (&out)[512]);

// The information line of the chosen disk: "当前盘 (X:) 文件系统:NTFS 未使用空间:... 总空间:...".
std::string DiskInformation(char letter, const std::string& fileSystem, uint64_t free, uint64_t total);
