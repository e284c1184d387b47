#include "Fat32Walk.h"

#include <cstdio>
#include <cstring>

#include "AnsiText.h"
#include "ByteOrder.h"

namespace diskfs {

namespace {

constexpr size_t kEntry = 32;
constexpr uint8_t kDeletedMark = 0xE5;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrLongName = 0x0F;
constexpr uint32_t kEndOfChain = 0x0FFFFFF8;
constexpr uint32_t kFatChunkSectors = 256;

bool IsLongNameEntry(const uint8_t* e) { return (e[11] & 0x3F) == kAttrLongName; }

uint32_t FirstCluster(const uint8_t* e) {
    return (static_cast<uint32_t>(Le16(e + 20)) << 16) | Le16(e + 26);  // entry offsets 20 (high), 26 (low)
}

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// Bytes 0..7 of an entry (8 = with the extension) as a name: trailing blanks dropped, a leading
// 0xE5 (deleted) shown as '$', a leading 0x05 (a name that really begins with 0xE5) as 0xE5.
std::string ShortName(const uint8_t* e, bool withExtension) {
    std::string base(reinterpret_cast<const char*>(e), 8);
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (!base.empty()) {
        if (static_cast<uint8_t>(base[0]) == kDeletedMark) base[0] = '$';
        else if (base[0] == 0x05) base[0] = static_cast<char>(kDeletedMark);
    }
    if (withExtension && e[8] != ' ') {
        base += '.';
        base.append(reinterpret_cast<const char*>(e + 8), 3);
    }
    return base;
}

}  // namespace

bool ParseFat32Boot(const uint8_t* sector, Fat32Boot* boot) {
    ByteReader r(sector, 512);
    Fat32Boot b;
    b.bytesPerSector = r.U16(11);
    b.sectorsPerCluster = r.U8(13);
    b.reservedSectors = r.U16(14);
    b.fatCount = r.U8(16);
    uint32_t rootEntries = r.U16(17);
    uint32_t totalSectors16 = r.U16(19);
    uint32_t sectorsPerFat16 = r.U16(22);
    uint32_t totalSectors32 = r.U32(32);
    b.sectorsPerFat = r.U32(36);
    b.rootCluster = r.U32(44);
    b.totalSectors = totalSectors32 ? totalSectors32 : totalSectors16;

    if (b.bytesPerSector < 512 || b.bytesPerSector > 4096 || !IsPowerOfTwo(b.bytesPerSector)) return false;
    if (!IsPowerOfTwo(b.sectorsPerCluster) || b.reservedSectors == 0) return false;
    if (b.fatCount < 1 || b.fatCount > 4) return false;
    // FAT32 has no fixed root directory and keeps its FAT size in the 32-bit field.
    if (rootEntries != 0 || sectorsPerFat16 != 0 || b.sectorsPerFat == 0) return false;
    b.dataStart = b.reservedSectors + static_cast<uint64_t>(b.fatCount) * b.sectorsPerFat;
    if (b.totalSectors <= b.dataStart) return false;
    uint64_t clusters = (b.totalSectors - b.dataStart) / b.sectorsPerCluster;
    uint64_t fatEntries = static_cast<uint64_t>(b.sectorsPerFat) * b.bytesPerSector / 4;
    uint64_t entries = clusters + 2 < fatEntries ? clusters + 2 : fatEntries;
    if (entries < 3 || entries > 0x0FFFFFF7) return false;
    b.entryCount = static_cast<uint32_t>(entries);
    if (b.rootCluster < 2 || b.rootCluster >= b.entryCount) return false;
    *boot = b;
    return true;
}

std::string FatTimeText(uint16_t date, uint16_t time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", 1980 + (date >> 9), (date >> 5) & 15,
                  date & 31, time >> 11, (time >> 5) & 63, 2 * (time & 31));
    return text;
}

std::string Fat32LongName(const uint8_t* entries, size_t count, size_t shortIndex, size_t pending) {
    static const int kCharOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::vector<uint8_t> units;
    if (shortIndex >= count) return std::string();
    for (size_t k = 1; k <= pending && k <= Fat32Walk::kMaxLongNameEntries && k <= shortIndex; ++k) {
        const uint8_t* e = entries + (shortIndex - k) * kEntry;
        if (!IsLongNameEntry(e)) break;
        for (int off : kCharOffsets) units.insert(units.end(), e + off, e + off + 2);
        // The sequence byte of a deleted piece is 0xE5, which says nothing about its order.
        if (e[0] != kDeletedMark && (e[0] & 0x40)) break;
        if (Le16(e + 30) == 0xFFFF) break;
    }
    size_t n = 0;
    std::vector<uint8_t> kept;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
        uint16_t u = Le16(&units[i]);
        if (u == 0) break;  // the name's terminator; padding follows
        if (u == 0xFFFF) continue;
        kept.push_back(units[i]);
        kept.push_back(units[i + 1]);
        ++n;
    }
    while (n > 0 && Le16(&kept[2 * (n - 1)]) == ' ') --n;
    return Utf16ToAnsi(kept.data(), n);
}

uint64_t Fat32Walk::SectorOf(uint32_t cluster) const {
    return static_cast<uint64_t>(cluster - 2) * boot_.sectorsPerCluster + boot_.dataStart;
}

bool Fat32Walk::LoadFat(uint64_t firstSector) {
    uint64_t neededBytes = static_cast<uint64_t>(boot_.entryCount) * 4;
    uint32_t sectors = static_cast<uint32_t>((neededBytes + boot_.bytesPerSector - 1) / boot_.bytesPerSector);
    std::vector<uint8_t> chunk;
    fat_.clear();
    // Read in pieces so that a boot sector that claims a huge FAT fails at the first missing
    // sector instead of asking for the whole size up front.
    for (uint32_t done = 0; done < sectors;) {
        uint32_t n = sectors - done < kFatChunkSectors ? sectors - done : kFatChunkSectors;
        chunk.resize(static_cast<size_t>(n) * boot_.bytesPerSector);
        if (!device_.ReadSectors(firstSector + done, n, boot_.bytesPerSector, chunk.data())) return false;
        for (size_t i = 0; i + 4 <= chunk.size() && fat_.size() < boot_.entryCount; i += 4)
            fat_.push_back(Le32(&chunk[i]));
        done += n;
    }
    return fat_.size() == boot_.entryCount;
}

bool Fat32Walk::Load() {
    skippedDirectories = 0;
    visited_.clear();
    std::vector<uint8_t> sector(4096);
    // The boot sector is read with the smallest sector size; its own value is known only after.
    if (!device_.ReadSectors(0, 1, 512, sector.data())) return false;
    if (!ParseFat32Boot(sector.data(), &boot_)) return false;
    clusterBytes_ = boot_.bytesPerSector * boot_.sectorsPerCluster;
    if (LoadFat(boot_.reservedSectors)) return true;
    return boot_.fatCount >= 2 && LoadFat(static_cast<uint64_t>(boot_.reservedSectors) + boot_.sectorsPerFat);
}

bool Fat32Walk::ReadDirectory(uint32_t firstCluster, Directory* dir) {
    dir->clusters.clear();
    dir->bytes.clear();
    if (!ValidCluster(firstCluster)) return false;
    const size_t maxClusters = clusterBytes_ >= kMaxDirectoryBytes ? 1 : kMaxDirectoryBytes / clusterBytes_;
    std::unordered_set<uint32_t> inChain;
    for (uint32_t c = firstCluster;;) {
        if (!inChain.insert(c).second) break;  // the chain loops: keep what came before
        dir->clusters.push_back(c);
        if (dir->clusters.size() >= maxClusters) break;
        uint32_t next = Next(c);
        if (next == 0 || next >= kEndOfChain || !ValidCluster(next)) break;
        c = next;
    }
    dir->bytes.resize(dir->clusters.size() * clusterBytes_);
    for (size_t i = 0; i < dir->clusters.size(); ++i) {
        if (!device_.ReadSectors(SectorOf(dir->clusters[i]), boot_.sectorsPerCluster, boot_.bytesPerSector,
                                 &dir->bytes[i * clusterBytes_]))
            return false;
    }
    return true;
}

bool Fat32Walk::LeadingDotsOk(const Directory& dir, bool isRoot) const {
    if (isRoot) return true;
    const uint8_t* e = dir.bytes.data();
    if (dir.bytes.size() < 2 * kEntry || e[0] != '.') return false;
    return !requireDotDot || e[kEntry] == '.';
}

// A deleted directory's first cluster still holds its entries only while the FAT marks that
// cluster free; once it is allocated again it belongs to another file.
bool Fat32Walk::DeletedDirectoryUsable(uint32_t cluster) const {
    return ValidCluster(cluster) && fat_[cluster] == 0;
}

void Fat32Walk::Report(DeletedFileRecord* record, DeletedFileList& list) {
    std::unique_ptr<DeletedFileRecord> owned(record);
    if (control.notify) control.notify->OnRecordFound(record);
    list.push_back(std::move(owned));
}

bool Fat32Walk::EnterDirectory(uint32_t cluster, bool isRoot, Directory* dir) {
    // A directory that is its own ancestor or is linked twice is walked once.
    if (!visited_.insert(cluster).second || !ReadDirectory(cluster, dir) || !LeadingDotsOk(*dir, isRoot)) {
        ++skippedDirectories;
        return false;
    }
    return true;
}

bool Fat32Walk::ScanDirectory(uint32_t cluster, const std::string& path, bool deletedTree, bool isRoot,
                              int level, DeletedFileList& list) {
    if (level > kMaxScanDepth) return true;
    Directory dir;
    if (!EnterDirectory(cluster, isRoot, &dir)) return true;
    uint8_t* entries = dir.bytes.data();
    const size_t count = dir.bytes.size() / kEntry;
    size_t pending = 0;  // long-name entries just before the current one
    // The first entry of a subdirectory is ".", which names nothing; the root's first is examined.
    for (size_t i = isRoot ? 0 : 1; i < count; ++i) {
        if (control.ShouldStop(list)) return false;
        uint8_t* e = entries + i * kEntry;
        if (e[0] == 0) break;
        uint8_t attr = e[11];
        if (IsLongNameEntry(e)) {
            ++pending;
            continue;
        }
        uint32_t first = FirstCluster(e);
        if (first == 0 || attr == 0) {
            pending = 0;
            continue;
        }
        bool deleted = e[0] == kDeletedMark;
        if (attr & kAttrDirectory) {
            if (e[0] == '.') {
                pending = 0;
                continue;
            }
            std::string name = Fat32LongName(entries, count, i, pending);
            if (name.empty()) name = ShortName(e, true);
            pending = 0;
            if (name.empty()) break;
            if (deleted && !DeletedDirectoryUsable(first)) continue;
            if (!ScanDirectory(first, path + name + "\\", deletedTree || deleted, false, level + 1, list))
                return false;
            continue;
        }
        if (!deletedTree && !deleted) {
            pending = 0;
            continue;
        }
        uint32_t size = Le32(e + 28);
        if (!control.skipEmpty || size != 0) {
            std::string name = Fat32LongName(entries, count, i, pending);
            if (name.empty()) name = ShortName(e, true);
            auto* record = new DeletedFileRecord;
            record->path = path + name;
            record->timeText = FatTimeText(Le16(e + 24), Le16(e + 22));
            record->size = size;
            record->attributes = attr & 0x03;  // read-only, hidden
            record->firstCluster = first;
            Report(record, list);
        }
        pending = 0;
    }
    return true;
}

bool Fat32Walk::ScanDeleted(const std::string& root, DeletedFileList& list) {
    bool ok = Load();
    if (ok) {
        if (!ValidCluster(boot_.rootCluster)) {
            ok = false;
        } else {
            Directory probe;
            ok = ReadDirectory(boot_.rootCluster, &probe);
            if (ok) ScanDirectory(boot_.rootCluster, root + "\\", false, true, 1, list);
        }
    }
    visited_.clear();
    control.Reset();
    return ok;
}

bool Fat32Walk::WipeDirectory(uint32_t cluster, bool isRoot, bool deletedTree, int depth) {
    if (depth > kMaxDepth) {
        ++skippedDirectories;
        return true;
    }
    Directory dir;
    if (!EnterDirectory(cluster, isRoot, &dir)) return true;
    uint8_t blank[kEntry] = {kDeletedMark};
    if (blankForm == BlankForm::kArchiveAttribute) blank[11] = 0x20;

    std::vector<bool> changed(dir.clusters.size(), false);
    const size_t count = dir.bytes.size() / kEntry;
    const size_t perCluster = clusterBytes_ / kEntry;
    bool ok = true;
    for (size_t i = isRoot ? 0 : 1; i < count; ++i) {
        uint8_t* e = &dir.bytes[i * kEntry];
        if (e[0] == 0) break;
        bool isDot = e[0] == '.';
        bool subdirectory = (e[11] & kAttrDirectory) && !IsLongNameEntry(e) && !isDot;
        uint32_t first = FirstCluster(e);
        if (e[0] == kDeletedMark || (deletedTree && !isDot)) {
            // A deleted folder's entries are walked before its own entry loses the cluster number.
            if (subdirectory && DeletedDirectoryUsable(first)) ok = WipeDirectory(first, false, true, depth + 1) && ok;
            if (std::memcmp(e, blank, kEntry) != 0) {
                std::memcpy(e, blank, kEntry);
                changed[i / perCluster] = true;
            }
        } else if (subdirectory && !deletedTree) {
            ok = WipeDirectory(first, false, false, depth + 1) && ok;
        }
    }
    for (size_t k = 0; k < dir.clusters.size(); ++k) {
        if (!changed[k]) continue;
        if (!device_.WriteSectors(SectorOf(dir.clusters[k]), boot_.sectorsPerCluster, boot_.bytesPerSector,
                                  &dir.bytes[k * clusterBytes_]))
            return false;
        ++writtenClusters;
    }
    return ok;
}

bool Fat32Walk::WipeDeletedNames() {
    writtenClusters = 0;
    if (!Load()) return false;
    Directory probe;
    if (!ReadDirectory(boot_.rootCluster, &probe)) return false;
    bool ok = WipeDirectory(boot_.rootCluster, true, false, 1);
    visited_.clear();
    return ok;
}

}  // namespace diskfs
