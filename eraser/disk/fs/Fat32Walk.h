#pragma once
// The FAT32 side of the deleted-file scanner: finds the directory entries that still name deleted
// files, and blanks them. Works on raw sectors through a SectorDevice; every value read from the
// volume is checked before use, so a damaged volume gives a failure or a partial result.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "DeletedFileRecord.h"
#include "SectorDevice.h"

namespace diskfs {

// The boot-sector values the walk uses, after their checks.
struct Fat32Boot {
    uint32_t bytesPerSector = 0;     // offset 11
    uint32_t sectorsPerCluster = 0;  // offset 13
    uint32_t reservedSectors = 0;    // offset 14: first sector of the first FAT
    uint32_t fatCount = 0;           // offset 16
    uint32_t sectorsPerFat = 0;      // offset 36
    uint32_t rootCluster = 0;        // offset 44
    uint64_t totalSectors = 0;       // offset 32, or offset 19 when that is 0
    uint64_t dataStart = 0;          // first sector of cluster 2
    uint32_t entryCount = 0;         // FAT entries that can name a cluster of this volume
};

// Reads and checks a FAT32 boot sector (at least 512 bytes). False when it is not FAT32 or its
// values cannot describe a volume.
bool ParseFat32Boot(const uint8_t* sector, Fat32Boot* boot);

// How a deleted entry is blanked: 0xE5 then zeros, or 0xE5 with the attribute byte 0x20 (archive)
// and zeros elsewhere.
enum class BlankForm { kZeroAttribute, kArchiveAttribute };

class Fat32Walk {
public:
    static constexpr int kMaxScanDepth = 6;              // directory levels a scan walks, the root is 1
    static constexpr int kMaxDepth = 128;                // levels the name wipe walks
    static constexpr uint32_t kMaxDirectoryBytes = 2u << 20;  // 65536 entries of 32 bytes
    static constexpr size_t kMaxLongNameEntries = 20;    // 255 characters

    explicit Fat32Walk(SectorDevice& device) : control(ownControl_), device_(device) {}
    // A walk whose limit, cancel flag and notify target live elsewhere (a walker another thread
    // may cancel).
    Fat32Walk(SectorDevice& device, WalkControl& shared) : control(shared), device_(device) {}

    // Appends each deleted file found under `root` (a drive letter and colon such as "C:", or any
    // prefix) to `list`, in directory order. False when the boot sector, both FATs or the root
    // directory cannot be read; a damaged subdirectory is skipped and counted in skippedDirectories.
    bool ScanDeleted(const std::string& root, DeletedFileList& list);

    // Replaces every deleted directory entry by a blank deleted entry (blankForm), in live
    // directories and in the still-free first cluster of deleted directories. Writes back only the
    // clusters in which it blanked something. False when the volume cannot be read or a write fails.
    bool WipeDeletedNames();

private:
    WalkControl ownControl_;

public:
    WalkControl& control;
    BlankForm blankForm = BlankForm::kArchiveAttribute;
    bool requireDotDot = true;  // a subdirectory's second entry must begin with "." too

    int skippedDirectories = 0;  // directories not walked because they were damaged or out of range
    int writtenClusters = 0;     // clusters the last name wipe wrote back

private:
    struct Directory {
        std::vector<uint32_t> clusters;
        std::vector<uint8_t> bytes;
    };

    bool Load();
    bool LoadFat(uint64_t firstSector);
    uint32_t Next(uint32_t cluster) const { return fat_[cluster] & 0x0FFFFFFF; }
    bool ValidCluster(uint32_t cluster) const { return cluster >= 2 && cluster < boot_.entryCount; }
    uint64_t SectorOf(uint32_t cluster) const;
    bool ReadDirectory(uint32_t firstCluster, Directory* dir);
    bool LeadingDotsOk(const Directory& dir, bool isRoot) const;
    bool DeletedDirectoryUsable(uint32_t cluster) const;
    // Reads the directory at `cluster` for a walk; false, counted in skippedDirectories, when it was
    // walked already, cannot be read or does not begin as a directory does.
    bool EnterDirectory(uint32_t cluster, bool isRoot, Directory* dir);

    // Returns false when the scan must stop (limit or cancel).
    bool ScanDirectory(uint32_t cluster, const std::string& path, bool deletedTree, bool isRoot, int level,
                       DeletedFileList& list);
    void Report(DeletedFileRecord* record, DeletedFileList& list);
    bool WipeDirectory(uint32_t cluster, bool isRoot, bool deletedTree, int depth);

    SectorDevice& device_;
    Fat32Boot boot_;
    uint32_t clusterBytes_ = 0;
    std::vector<uint32_t> fat_;
    std::unordered_set<uint32_t> visited_;
};

// The long name held by the long-name entries just before `entries + shortIndex * 32`, nearest
// first, at most `pending` of them; empty when there is none. `entries` holds `count` entries.
std::string Fat32LongName(const uint8_t* entries, size_t count, size_t shortIndex, size_t pending);

// "%04d/%02d/%02d %02d:%02d:%02d" from a FAT date and time.
std::string FatTimeText(uint16_t date, uint16_t time);

}  // namespace diskfs
