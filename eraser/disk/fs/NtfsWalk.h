#pragma once
// The NTFS side of the deleted-file scanner: finds the unused MFT file records that still name a
// file, and blanks those names. Works on raw sectors through a SectorDevice; every offset, length,
// cluster and record number taken from the volume is checked before use.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "DeletedFileRecord.h"
#include "SectorDevice.h"

namespace diskfs {

// The boot-sector values the walk uses, after their checks.
struct NtfsBoot {
    uint32_t bytesPerSector = 0;     // offset 11
    uint32_t sectorsPerCluster = 0;  // offset 13
    uint64_t totalSectors = 0;       // offset 40
    uint64_t mftCluster = 0;         // offset 48 (the low 32 bits are used)
    uint32_t recordSize = 0;         // offset 64: clusters per record, or 2^-n bytes when >= 128
};

bool ParseNtfsBoot(const uint8_t* sector, NtfsBoot* boot);

// One run of a run list: `length` clusters from `lcn`; a sparse run has no clusters on disk.
struct NtfsRun {
    uint64_t lcn = 0;
    uint64_t length = 0;
    bool sparse = false;
};

// Decodes the run list in `bytes` (at most `size` bytes). False when a run does not fit, a field is
// wider than 8 bytes, a cluster number leaves [0, clusterCount) or there are more than kMaxRuns.
bool DecodeRunList(const uint8_t* bytes, size_t size, uint64_t clusterCount, std::vector<NtfsRun>* runs);

// Applies the update-sequence fix-up to a record read from disk; false when the array does not fit
// or a block's last two bytes do not match the sequence number (a torn or damaged record).
bool ApplyFixup(uint8_t* record, size_t size, uint32_t sectorSize);
// The reverse, before a record is written: each block's last two bytes go back into the array.
bool UndoFixup(uint8_t* record, size_t size, uint32_t sectorSize);

// "%04d/%02d/%02d %02d:%02d:%02d" of an NTFS time (100 ns since 1601-01-01 UTC) shifted by
// `biasMinutes` (local = UTC - bias).
std::string NtfsTimeText(uint64_t time, long biasMinutes);

class NtfsWalk {
public:
    static constexpr int kMaxParentDepth = 128;    // parent links followed for one path
    static constexpr size_t kMaxRuns = 65536;      // runs of one run list
    static constexpr uint64_t kMaxRecords = 1u << 26;  // records a volume may have

    explicit NtfsWalk(SectorDevice& device) : NtfsWalk(device, ownControl_) {}
    // A walk whose limit, cancel flag and notify target live elsewhere.
    NtfsWalk(SectorDevice& device, WalkControl& shared);

    // Appends every unused file record that still has a name (and, unless control.skipEmpty is
    // off, data) to `list` in record order, with its path under `root` ("C:"). False when the boot
    // sector, the $MFT record, its data runs or its bitmap cannot be read; damaged records are
    // skipped and counted in skippedRecords.
    bool ScanDeleted(const std::string& root, DeletedFileList& list);

    // Blanks the name of the first non-DOS file-name attribute of every unused record that has
    // one, and the names a deleted folder's record lists in its index root; writes back only the
    // records it changed. False when the volume cannot be read or a write fails.
    bool WipeDeletedNames();

private:
    WalkControl ownControl_;

public:
    WalkControl& control;
    long biasMinutes;  // local time = UTC - bias, from the system when the walk is made

    int skippedRecords = 0;
    int writtenRecords = 0;

private:
    struct Name {
        bool found = false;
        uint32_t parent = 0;
        size_t lengthOffset = 0;  // of the name-length byte in the record
        size_t length = 0;        // characters
        std::string text;
    };
    bool Load();
    bool VolumeOffset(uint64_t mftByte, uint64_t* volumeByte) const;
    bool ReadBytes(uint64_t volumeByte, size_t length, uint8_t* out);
    bool WriteBytes(uint64_t volumeByte, size_t length, const uint8_t* in);
    bool ReadRecord(uint64_t number, std::vector<uint8_t>* record, bool* damaged = nullptr);
    // Reads record `number` when the bitmap marks it unused; false when it is in use or unreadable
    // (a damaged one is counted in skippedRecords).
    bool ReadUnusedRecord(uint64_t number, std::vector<uint8_t>* record);
    bool WriteRecord(uint64_t number, std::vector<uint8_t> record);
    bool InUse(uint64_t number) const;
    Name FindName(const std::vector<uint8_t>& record) const;
    // The path of folder record `parent` under `root`, with its trailing backslash; relative when the
    // chain does not reach the root.
    std::string ParentPath(uint32_t parent, const std::string& root);
    std::string WalkParents(uint32_t parent, const std::string& root);
    bool Fill(DeletedFileRecord* out, const std::vector<uint8_t>& record);

    SectorDevice& device_;
    NtfsBoot boot_;
    uint32_t clusterBytes_ = 0;
    uint64_t clusterCount_ = 0;
    uint64_t recordCount_ = 0;
    std::vector<NtfsRun> mftRuns_;
    std::vector<uint8_t> bitmap_;
    std::unordered_map<uint32_t, std::string> folderPaths_;  // ParentPath's answers during one scan
    // The last stretch of volume read, so that records that share sectors are read once.
    uint64_t cacheStart_ = 0;
    std::vector<uint8_t> cache_;
};

}  // namespace diskfs
