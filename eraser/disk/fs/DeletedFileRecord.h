#pragma once
// What a deleted-file scan finds, the list it fills, and the limit, cancel and notify contract
// shared by the FAT32 and NTFS walks.
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

namespace diskfs {

// The message a found record is sent with to the notify window (WM_USER + 10); wParam carries the
// record's address, lParam 0.
constexpr unsigned kFoundRecordMessage = 0x40A;

struct DeletedFileRecord {
    std::string path;      // full path, drive part first (C:\docs\$EPORT.DOC), GBK
    std::string timeText;  // "%04d/%02d/%02d %02d:%02d:%02d", empty when the record has no time
    uint32_t size = 0;     // bytes; NTFS rounds up to a multiple of 1024
    uint32_t attributes = 0;
    uint32_t firstCluster = 0;           // NTFS: 0 for resident data
    char residentData[512] = {};         // NTFS resident data up to its first zero byte, zero-terminated
};

// Records in scan order. The list owns them; a caller that clears the list frees them.
using DeletedFileList = std::list<std::unique_ptr<DeletedFileRecord>>;

// Receives each found record, synchronously, before it is appended to the list.
class ScanNotify {
public:
    virtual ~ScanNotify() = default;
    virtual void OnRecordFound(DeletedFileRecord* record) = 0;
};

// The per-scan settings of a walk. A scan polls `cancel` and the limit before each directory entry
// or file record; the name wipe looks at neither. A scan puts every field back to its default when
// it ends.
struct WalkControl {
    int limit = -1;                // most records a scan may report; -1 = no limit
    std::atomic<int> cancel{0};    // set by another thread to stop a scan
    bool skipEmpty = true;         // files of size 0 are not reported
    ScanNotify* notify = nullptr;  // not owned

    // True when the scan must stop before looking at the next entry.
    bool ShouldStop(const DeletedFileList& list) const {
        return cancel.load() != 0 || (limit != -1 && (limit < 0 || list.size() >= static_cast<size_t>(limit)));
    }
    void Reset() {
        limit = -1;
        cancel = 0;
        skipEmpty = true;
        notify = nullptr;
    }
};

}  // namespace diskfs
