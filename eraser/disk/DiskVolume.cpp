#include "DiskVolume.h"

#include <cstring>

DiskVolume::~DiskVolume() = default;

bool DiskVolume::Open(int family, char letter) {
    error = kNoError;  // what a refusal below leaves when it names no cause
    if (family != 0 && family != 1) return false;
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) {
        error = kBadDriveLetter;
        return false;
    }
    char rootDir[4] = {letter, ':', '\\', '\0'};
    char fileSystem[9] = {};
    if (!::GetVolumeInformationA(rootDir, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem)) {
        error = kNoVolumeInformation;
        return false;
    }
    bool ntfs = ::_strnicmp(fileSystem, "NTFS", 4) == 0;
    if (!ntfs && ::_strnicmp(fileSystem, "FAT32", 5) != 0) {
        error = kUnsupportedFileSystem;
        return false;
    }
    if (ntfs && family == 0) return false;
    root = std::string(1, letter) + ":";
    isNtfs = ntfs ? 1 : 0;
    ntFamily = family;
    CCriticalSection::Hold hold(walkerLock_);
    walker.reset();
    return true;
}

void DiskVolume::MakeWalker() {
    std::unique_ptr<VolumeWalker> next;
    if (ntFamily == 0) {
        next.reset(new Fat32Walker9x());
    } else if (isNtfs == 1) {
        next.reset(new NtfsWalker());
    } else {
        next.reset(new Fat32WalkerNT());
    }
    CCriticalSection::Hold hold(walkerLock_);
    walker = std::move(next);
}

bool DiskVolume::Scan(diskfs::DeletedFileList& list) {
    try {
        MakeWalker();
        walker->control.limit = limit;
        walker->control.skipEmpty = skipEmpty != 0;
        if (notifyWindow) walker->notifyWindow = notifyWindow;
        return walker->ScanDeleted(std::string(root), list);
    } catch (...) {  // any failure inside a walk is a failed operation, nothing more
        return false;
    }
}

bool DiskVolume::WipeNames() {
    try {
        MakeWalker();
        return walker->WipeDeletedNames(std::string(root));
    } catch (...) {
        return false;
    }
}

bool DiskVolume::SetLimit(int n) {
    if (n == 0) return false;
    limit = n;
    return true;
}

bool DiskVolume::Cancel() {
    CCriticalSection::Hold hold(walkerLock_);
    if (!walker) return false;
    walker->control.cancel = 1;
    return true;
}
