#pragma once
// One disk-level operation on a mounted volume: recognises its file system (FAT32 or NTFS) and
// runs the matching walker's deleted-file scan or name wipe.
#include <windows.h>

#include <memory>
#include <string>

#include "CriticalSection.h"
#include "DeletedFileRecord.h"
#include "VolumeWalker.h"

class DiskVolume {
public:
    enum Error { kNoError = 0, kBadDriveLetter = 1, kUnsupportedFileSystem = 2, kNoVolumeInformation = 3 };

    DiskVolume() = default;
    DiskVolume(const DiskVolume&) = delete;
    DiskVolume& operator=(const DiskVolume&) = delete;
    virtual ~DiskVolume();

    // ntFamily 1 for the NT family, 0 for Windows 95/98/Me. False, with `error` telling why, when
    // the letter or the volume's file system will not do (NTFS on Windows 95/98/Me: error 0).
    bool Open(int ntFamily, char driveLetter);
    // A fresh walker's ScanDeleted into `list`; false on any failure, exceptions included.
    bool Scan(diskfs::DeletedFileList& list);
    // A fresh walker's WipeDeletedNames.
    bool WipeNames();
    bool SetLimit(int n);
    void SetNotifyWindow(HWND window) { notifyWindow = window; }
    // Asks a running scan to stop (any thread); false when there is no walker.
    bool Cancel();
    HANDLE DeviceHandle() const { return walker ? walker->DeviceHandle() : INVALID_HANDLE_VALUE; }

    std::unique_ptr<VolumeWalker> walker;
    int error = kNoError;
    int ntFamily = 1;
    int isNtfs = 0;
    std::string root = "c:";
    int skipEmpty = 1;
    int limit = -1;
    HWND notifyWindow = nullptr;

private:
    // Replaces the walker by the one ntFamily and isNtfs choose.
    void MakeWalker();
    CCriticalSection walkerLock_;  // Cancel may come from another thread while a walker is replaced
};
