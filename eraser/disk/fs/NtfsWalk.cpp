#include "NtfsWalk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "AnsiText.h"
#include "ByteOrder.h"

namespace diskfs {

namespace {

constexpr uint32_t kFixupBlock = 512;  // the update sequence protects the end of every 512 bytes
constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrIndexRoot = 0x90;
constexpr uint32_t kAttrBitmap = 0xB0;
constexpr size_t kCacheBytes = 256 * 1024;
constexpr uint64_t kMftRecord = 0;

bool IsPowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

// One attribute of a record, its offsets checked against the attribute and the record.
struct Attribute {
    uint32_t type = 0;
    size_t offset = 0;  // in the record
    size_t length = 0;
    bool resident = true;
    size_t contentOffset = 0;  // in the record (resident)
    size_t contentLength = 0;
    uint64_t lastVcn = 0;  // non-resident
    uint64_t dataSize = 0;
    size_t runsOffset = 0;  // in the record (non-resident)
    size_t runsLength = 0;
};

// The attributes of a record, in order, up to the first that is not a known type or does not fit.
std::vector<Attribute> Attributes(const std::vector<uint8_t>& record) {
    std::vector<Attribute> list;
    ByteReader r(record.data(), record.size());
    size_t at = r.U16(20);  // record offset 20: first attribute
    while (!r.Failed() && r.Fits(at, 24)) {
        Attribute a;
        a.type = r.U32(at);
        if (a.type < 0x10 || a.type > 0x100 || (a.type & 0x0F)) break;
        a.offset = at;
        a.length = r.U32(at + 4);
        if (a.length < 24 || !r.Fits(at, a.length)) break;
        ByteReader attr = r.Sub(at, a.length);
        a.resident = attr.U8(8) == 0;
        if (a.resident) {
            size_t length = attr.U32(16), offset = attr.U16(20);
            if (!attr.Fits(offset, length)) break;
            a.contentOffset = at + offset;
            a.contentLength = length;
        } else {
            if (a.length < 64) break;
            a.lastVcn = attr.U64(24);
            size_t runs = attr.U16(32);
            a.dataSize = attr.U64(48);
            if (runs >= a.length) break;
            a.runsOffset = at + runs;
            a.runsLength = a.length - runs;
        }
        list.push_back(a);
        at += a.length;
    }
    return list;
}

const Attribute* First(const std::vector<Attribute>& list, uint32_t type) {
    for (const Attribute& a : list)
        if (a.type == type) return &a;
    return nullptr;
}

// Days since 1970-01-01 to a Gregorian year, month and day.
void CivilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = doy - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int64_t>(yoe) + era * 400 + (*month <= 2);
}

// Zeroes the name characters of every entry in the resident index root (0x90) of `record`, which
// lists the files of a folder, and the unused space after the entries. Only for records that are
// not in use. Returns true when it changed a byte.
bool BlankIndexRootNames(std::vector<uint8_t>* record) {
    bool changed = false;
    for (const Attribute& a : Attributes(*record)) {
        if (a.type != kAttrIndexRoot || !a.resident || a.contentLength < 32) continue;
        ByteReader root(record->data() + a.contentOffset, a.contentLength);
        // Index root content: 16 bytes of index settings, then the index header whose first field
        // is the offset of the first entry (from the header) and second the end of the entries.
        size_t at = 16 + root.U32(16), end = 16 + static_cast<size_t>(root.U32(20));
        if (end > a.contentLength) end = a.contentLength;
        while (!root.Failed() && at < end && root.Fits(at, 16)) {
            size_t length = root.U16(at + 8), keyLength = root.U16(at + 10), flags = root.U16(at + 12);
            if (length < 16 || !root.Fits(at, length)) break;
            if (keyLength >= 66 && 16 + keyLength <= length) {
                size_t key = at + 16, chars = root.U8(key + 64);
                if (66 + 2 * chars <= keyLength) {
                    uint8_t* name = record->data() + a.contentOffset + key + 66;
                    for (size_t k = 0; k < 2 * chars; ++k) {
                        changed = changed || name[k] != 0;
                        name[k] = 0;
                    }
                }
            }
            if (flags & 0x02) break;  // the last entry
            at += length;
        }
        // Entries removed from the folder leave their names in the space after the last entry.
        size_t allocated = 16 + static_cast<size_t>(root.U32(24));
        if (root.Failed()) continue;
        if (allocated > a.contentLength) allocated = a.contentLength;
        for (size_t k = end; k < allocated; ++k) {
            uint8_t* b = record->data() + a.contentOffset + k;
            changed = changed || *b != 0;
            *b = 0;
        }
    }
    return changed;
}

}  // namespace

bool ParseNtfsBoot(const uint8_t* sector, NtfsBoot* boot) {
    ByteReader r(sector, 512);
    NtfsBoot b;
    b.bytesPerSector = r.U16(11);
    b.sectorsPerCluster = r.U8(13);
    b.totalSectors = r.U64(40);
    b.mftCluster = r.U64(48);
    uint8_t perRecord = r.U8(64);
    if (b.bytesPerSector < 512 || b.bytesPerSector > 4096 || !IsPowerOfTwo(b.bytesPerSector)) return false;
    if (!IsPowerOfTwo(b.sectorsPerCluster) || b.sectorsPerCluster > 128) return false;
    uint64_t clusterBytes = static_cast<uint64_t>(b.bytesPerSector) * b.sectorsPerCluster;
    uint64_t recordSize = 0;
    if (perRecord >= 128) {
        unsigned shift = 256u - perRecord;  // 0xF6 is -10: 2^10 bytes
        if (shift < 9 || shift > 16) return false;
        recordSize = 1ull << shift;
    } else {
        recordSize = perRecord * clusterBytes;
    }
    if (recordSize < 512 || recordSize > 65536 || recordSize % kFixupBlock != 0) return false;
    b.recordSize = static_cast<uint32_t>(recordSize);
    uint64_t clusters = b.totalSectors / b.sectorsPerCluster;
    if (clusters == 0 || b.mftCluster >= clusters) return false;
    *boot = b;
    return true;
}

bool DecodeRunList(const uint8_t* bytes, size_t size, uint64_t clusterCount, std::vector<NtfsRun>* runs) {
    runs->clear();
    int64_t lcn = 0;
    size_t at = 0;
    while (at < size && bytes[at] != 0) {
        unsigned lengthSize = bytes[at] & 0x0F, offsetSize = bytes[at] >> 4;
        if (lengthSize == 0 || lengthSize > 8 || offsetSize > 8) return false;
        if (1 + lengthSize + offsetSize > size - at) return false;
        if (runs->size() >= NtfsWalk::kMaxRuns) return false;
        const uint8_t* p = bytes + at + 1;
        uint64_t length = 0;
        for (unsigned i = 0; i < lengthSize; ++i) length |= static_cast<uint64_t>(p[i]) << (8 * i);
        NtfsRun run;
        run.length = length;
        if (length == 0 || length > clusterCount) return false;
        if (offsetSize == 0) {
            run.sparse = true;
        } else {
            uint64_t raw = 0;
            for (unsigned i = 0; i < offsetSize; ++i) raw |= static_cast<uint64_t>(p[lengthSize + i]) << (8 * i);
            int64_t delta;
            if (offsetSize < 8 && (raw >> (8 * offsetSize - 1)) & 1) raw |= ~0ull << (8 * offsetSize);  // sign
            std::memcpy(&delta, &raw, sizeof delta);
            if ((delta > 0 && lcn > INT64_MAX - delta) || (delta < 0 && lcn < INT64_MIN - delta)) return false;
            lcn += delta;
            if (lcn < 0 || static_cast<uint64_t>(lcn) >= clusterCount ||
                length > clusterCount - static_cast<uint64_t>(lcn))
                return false;
            run.lcn = static_cast<uint64_t>(lcn);
        }
        runs->push_back(run);
        at += 1 + lengthSize + offsetSize;
    }
    return true;
}

bool ApplyFixup(uint8_t* record, size_t size, uint32_t) {
    if (size < kFixupBlock || size % kFixupBlock) return false;
    size_t offset = Le16(record + 4), count = Le16(record + 6);
    if (count != size / kFixupBlock + 1 || offset < 8 || offset > size || 2 * count > size - offset) return false;
    const uint8_t* usa = record + offset;
    for (size_t i = 1; i < count; ++i) {
        uint8_t* end = record + i * kFixupBlock - 2;
        if (end[0] != usa[0] || end[1] != usa[1]) return false;  // a torn write or a damaged record
    }
    for (size_t i = 1; i < count; ++i) std::memcpy(record + i * kFixupBlock - 2, usa + 2 * i, 2);
    return true;
}

bool UndoFixup(uint8_t* record, size_t size, uint32_t) {
    if (size < kFixupBlock || size % kFixupBlock) return false;
    size_t offset = Le16(record + 4), count = Le16(record + 6);
    if (count != size / kFixupBlock + 1 || offset < 8 || offset > size || 2 * count > size - offset) return false;
    uint8_t* usa = record + offset;
    for (size_t i = 1; i < count; ++i) {
        uint8_t* end = record + i * kFixupBlock - 2;
        std::memcpy(usa + 2 * i, end, 2);
        std::memcpy(end, usa, 2);
    }
    return true;
}

std::string NtfsTimeText(uint64_t time, long biasMinutes) {
    int64_t seconds = static_cast<int64_t>(time / 10000000) - 11644473600LL - static_cast<int64_t>(biasMinutes) * 60;
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t rest = seconds - days * 86400;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, &year, &month, &day);
    char text[48];
    std::snprintf(text, sizeof text, "%04d/%02u/%02u %02d:%02d:%02d", static_cast<int>(year), month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

NtfsWalk::NtfsWalk(SectorDevice& device, WalkControl& shared)
    : control(shared), biasMinutes(LocalBiasMinutes()), device_(device) {}

bool NtfsWalk::ReadBytes(uint64_t volumeByte, size_t length, uint8_t* out) {
    if (volumeByte >= cacheStart_ && length <= cache_.size() && volumeByte - cacheStart_ <= cache_.size() - length) {
        std::memcpy(out, &cache_[volumeByte - cacheStart_], length);
        return true;
    }
    const uint32_t bps = boot_.bytesPerSector;
    uint64_t first = volumeByte / bps;
    uint64_t end = (volumeByte + length + bps - 1) / bps;
    uint64_t last = boot_.totalSectors;
    if (end > last) return false;
    // Read ahead up to kCacheBytes within the volume; fall back to the exact range at its end.
    uint64_t ahead = first + kCacheBytes / bps;
    uint64_t stop = end > ahead ? end : (ahead < last ? ahead : last);
    cache_.resize(static_cast<size_t>((stop - first) * bps));
    if (!device_.ReadSectors(first, static_cast<uint32_t>(stop - first), bps, cache_.data())) {
        cache_.resize(static_cast<size_t>((end - first) * bps));
        if (!device_.ReadSectors(first, static_cast<uint32_t>(end - first), bps, cache_.data())) {
            cache_.clear();
            return false;
        }
    }
    cacheStart_ = first * bps;
    std::memcpy(out, &cache_[volumeByte - cacheStart_], length);
    return true;
}

bool NtfsWalk::WriteBytes(uint64_t volumeByte, size_t length, const uint8_t* in) {
    const uint32_t bps = boot_.bytesPerSector;
    uint64_t first = volumeByte / bps;
    uint64_t end = (volumeByte + length + bps - 1) / bps;
    if (end > boot_.totalSectors) return false;
    std::vector<uint8_t> sectors(static_cast<size_t>((end - first) * bps));
    if (!ReadBytes(first * bps, sectors.size(), sectors.data())) return false;
    std::memcpy(&sectors[volumeByte - first * bps], in, length);
    if (!device_.WriteSectors(first, static_cast<uint32_t>(end - first), bps, sectors.data())) return false;
    if (volumeByte >= cacheStart_ && length <= cache_.size() && volumeByte - cacheStart_ <= cache_.size() - length)
        std::memcpy(&cache_[volumeByte - cacheStart_], in, length);
    return true;
}

// Where byte `mftByte` of the $MFT's data lies on the volume; false in a sparse run or past the runs.
bool NtfsWalk::VolumeOffset(uint64_t mftByte, uint64_t* volumeByte) const {
    uint64_t vcn = mftByte / clusterBytes_;
    for (const NtfsRun& run : mftRuns_) {
        if (vcn < run.length) {
            if (run.sparse) return false;
            *volumeByte = (run.lcn + vcn) * clusterBytes_ + mftByte % clusterBytes_;
            return true;
        }
        vcn -= run.length;
    }
    return false;
}

bool NtfsWalk::ReadRecord(uint64_t number, std::vector<uint8_t>* record, bool* damaged) {
    if (damaged) *damaged = false;
    record->assign(boot_.recordSize, 0);
    uint64_t at = 0;
    // A record never straddles two runs: runs are whole clusters and records divide them or
    // are made of them; a record that would is read piece by piece.
    for (uint32_t done = 0; done < boot_.recordSize;) {
        uint32_t piece = boot_.recordSize - done;
        if (piece > clusterBytes_) piece = clusterBytes_;
        if (!VolumeOffset(number * boot_.recordSize + done, &at) || !ReadBytes(at, piece, record->data() + done))
            return false;
        done += piece;
    }
    if (std::memcmp(record->data(), "FILE", 4) != 0) return false;
    if (!ApplyFixup(record->data(), record->size(), boot_.bytesPerSector)) {
        if (damaged) *damaged = true;
        return false;
    }
    return true;
}

bool NtfsWalk::ReadUnusedRecord(uint64_t number, std::vector<uint8_t>* record) {
    if (InUse(number)) return false;
    bool damaged = false;
    if (ReadRecord(number, record, &damaged)) return true;
    if (damaged) ++skippedRecords;
    return false;
}

bool NtfsWalk::WriteRecord(uint64_t number, std::vector<uint8_t> record) {
    if (!UndoFixup(record.data(), record.size(), boot_.bytesPerSector)) return false;
    uint64_t at = 0;
    for (uint32_t done = 0; done < boot_.recordSize;) {
        uint32_t piece = boot_.recordSize - done;
        if (piece > clusterBytes_) piece = clusterBytes_;
        if (!VolumeOffset(number * boot_.recordSize + done, &at) || !WriteBytes(at, piece, record.data() + done))
            return false;
        done += piece;
    }
    return true;
}

bool NtfsWalk::Load() {
    skippedRecords = 0;
    cache_.clear();
    mftRuns_.clear();
    bitmap_.clear();
    uint8_t sector[512];
    if (!device_.ReadSectors(0, 1, 512, sector) || !ParseNtfsBoot(sector, &boot_)) return false;
    clusterBytes_ = boot_.bytesPerSector * boot_.sectorsPerCluster;
    clusterCount_ = boot_.totalSectors / boot_.sectorsPerCluster;

    // Record 0 ($MFT) lies at the start of the MFT; until its runs are known, map it there.
    mftRuns_.push_back({boot_.mftCluster, (boot_.recordSize + clusterBytes_ - 1) / clusterBytes_, false});
    if (mftRuns_[0].length > clusterCount_ - boot_.mftCluster) return false;
    std::vector<uint8_t> mft;
    if (!ReadRecord(kMftRecord, &mft)) return false;
    std::vector<Attribute> attrs = Attributes(mft);
    const Attribute* data = First(attrs, kAttrData);
    const Attribute* bitmap = First(attrs, kAttrBitmap);
    if (!data || data->resident || !bitmap) return false;
    std::vector<NtfsRun> runs;
    if (!DecodeRunList(mft.data() + data->runsOffset, data->runsLength, clusterCount_, &runs) || runs.empty())
        return false;
    uint64_t mapped = 0;
    for (const NtfsRun& r : runs) mapped += r.length;
    uint64_t records = data->dataSize / boot_.recordSize;
    if (records > mapped * clusterBytes_ / boot_.recordSize) records = mapped * clusterBytes_ / boot_.recordSize;
    if (records > kMaxRecords) records = kMaxRecords;
    mftRuns_ = runs;
    recordCount_ = records;

    const uint64_t bitmapBytes = (records + 7) / 8;
    if (bitmap->resident) {
        size_t n = bitmap->contentLength < bitmapBytes ? bitmap->contentLength : static_cast<size_t>(bitmapBytes);
        bitmap_.assign(mft.begin() + bitmap->contentOffset, mft.begin() + bitmap->contentOffset + n);
    } else {
        std::vector<NtfsRun> bitmapRuns;
        if (!DecodeRunList(mft.data() + bitmap->runsOffset, bitmap->runsLength, clusterCount_, &bitmapRuns))
            return false;
        std::vector<uint8_t> cluster(clusterBytes_);
        for (const NtfsRun& r : bitmapRuns) {
            for (uint64_t k = 0; k < r.length && bitmap_.size() < bitmapBytes; ++k) {
                if (r.sparse) {
                    std::fill(cluster.begin(), cluster.end(), 0);
                } else if (!ReadBytes((r.lcn + k) * clusterBytes_, clusterBytes_, cluster.data())) {
                    return false;
                }
                size_t take = static_cast<size_t>(std::min<uint64_t>(clusterBytes_, bitmapBytes - bitmap_.size()));
                bitmap_.insert(bitmap_.end(), cluster.begin(), cluster.begin() + take);
            }
        }
    }
    return true;
}

// A record the bitmap does not cover counts as in use: nothing is reported or wiped on a guess.
bool NtfsWalk::InUse(uint64_t number) const {
    return number / 8 >= bitmap_.size() || (bitmap_[number / 8] >> (number % 8)) & 1;
}

NtfsWalk::Name NtfsWalk::FindName(const std::vector<uint8_t>& record) const {
    Name name;
    for (const Attribute& a : Attributes(record)) {
        if (a.type != kAttrFileName || !a.resident || a.contentLength < 66) continue;
        const uint8_t* c = record.data() + a.contentOffset;
        if (c[65] == 2) continue;  // the DOS 8.3 name
        size_t length = c[64];
        if (66 + 2 * length > a.contentLength) break;
        name.found = true;
        name.parent = Le32(c);  // the low 32 bits of the parent reference
        name.lengthOffset = a.contentOffset + 64;
        name.length = length;
        name.text = Utf16ToAnsi(c + 66, length);
        break;
    }
    return name;
}

std::string NtfsWalk::ParentPath(uint32_t parent, const std::string& root) {
    // Deleted files share few folders: each folder's path is worked out once per scan.
    auto known = folderPaths_.find(parent);
    if (known != folderPaths_.end()) return known->second;
    std::string path = WalkParents(parent, root);
    folderPaths_.emplace(parent, path);
    return path;
}

std::string NtfsWalk::WalkParents(uint32_t parent, const std::string& root) {
    std::string path;
    std::vector<uint32_t> seen;
    std::vector<uint8_t> record;
    for (int depth = 0; depth < kMaxParentDepth && parent != 0 && parent < recordCount_; ++depth) {
        for (uint32_t s : seen)
            if (s == parent) return path;  // the chain loops; the path stays relative
        seen.push_back(parent);
        if (!ReadRecord(parent, &record)) return path;
        Name name = FindName(record);
        if (!name.found || name.text.empty()) return path;
        if (name.text == ".") return root + "\\" + path;
        path = name.text + "\\" + path;
        parent = name.parent;
    }
    return path;
}

bool NtfsWalk::Fill(DeletedFileRecord* out, const std::vector<uint8_t>& record) {
    std::vector<Attribute> attrs = Attributes(record);
    if (const Attribute* data = First(attrs, kAttrData)) {
        uint64_t size = 0;
        if (data->resident) {
            size = data->contentLength;
            const uint8_t* c = record.data() + data->contentOffset;
            size_t n = data->contentLength < sizeof out->residentData - 1 ? data->contentLength
                                                                         : sizeof out->residentData - 1;
            for (size_t i = 0; i < n && c[i] != 0; ++i) out->residentData[i] = static_cast<char>(c[i]);
        } else {
            uint64_t clusters = data->lastVcn < clusterCount_ ? data->lastVcn + 1 : clusterCount_;
            size = clusters * clusterBytes_;
            std::vector<NtfsRun> runs;
            if (DecodeRunList(record.data() + data->runsOffset, data->runsLength, clusterCount_, &runs) &&
                !runs.empty() && !runs[0].sparse)
                out->firstCluster = static_cast<uint32_t>(runs[0].lcn);
        }
        size = (size + 1023) / 1024 * 1024;
        out->size = size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
    }
    if (const Attribute* si = First(attrs, kAttrStandardInformation)) {
        if (si->resident && si->contentLength >= 36) {
            const uint8_t* c = record.data() + si->contentOffset;
            out->timeText = NtfsTimeText(Le64(c + 16), biasMinutes);
            out->attributes = Le32(c + 32);
        }
    }
    return !control.skipEmpty || out->size != 0;
}

bool NtfsWalk::ScanDeleted(const std::string& root, DeletedFileList& list) {
    bool ok = Load();
    folderPaths_.clear();
    std::vector<uint8_t> record;
    for (uint64_t i = 0; ok && i < recordCount_; ++i) {
        if (control.ShouldStop(list)) break;
        if (!ReadUnusedRecord(i, &record)) continue;
        Name name = FindName(record);
        if (!name.found || name.text.empty()) continue;
        std::unique_ptr<DeletedFileRecord> found(new DeletedFileRecord);
        if (!Fill(found.get(), record)) continue;
        found->path = ParentPath(name.parent, root) + name.text;
        if (control.notify) control.notify->OnRecordFound(found.get());
        list.push_back(std::move(found));
    }
    control.Reset();
    folderPaths_.clear();
    return ok;
}

bool NtfsWalk::WipeDeletedNames() {
    writtenRecords = 0;
    if (!Load()) return false;
    std::vector<uint8_t> record;
    for (uint64_t i = 0; i < recordCount_; ++i) {
        if (!ReadUnusedRecord(i, &record)) continue;
        Name name = FindName(record);
        bool changed = false;
        if (name.found && name.length != 0) {
            std::memset(&record[name.lengthOffset + 2], 0, 2 * name.length);
            record[name.lengthOffset] = 0;
            changed = true;
        }
        // A deleted folder's record also names its files in the entries of its index root.
        changed = BlankIndexRootNames(&record) || changed;
        // Attributes that shrank or went away leave their bytes after the part of the record in use.
        size_t used = Le32(&record[24]);  // record offset 24: bytes in use
        if (used >= 48 && used < record.size()) {
            for (size_t k = used; k < record.size(); ++k) {
                changed = changed || record[k] != 0;
                record[k] = 0;
            }
        }
        if (!changed) continue;
        if (!WriteRecord(i, record)) return false;
        ++writtenRecords;
    }
    return true;
}

}  // namespace diskfs
