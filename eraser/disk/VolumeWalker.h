#pragma once
// The walkers: one per Windows family and file system, each pairing a way to reach the volume's
// sectors with the FAT32 or NTFS logic of the deleted-file scan and name wipe.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "DeletedFileRecord.h"
#include "VolumeDevice.h"

// Sends each found record to a window as message 0x40A, synchronously.
class WindowScanNotify : public diskfs::ScanNotify {
public:
    HWND window = nullptr;
    void OnRecordFound(diskfs::DeletedFileRecord* record) override;
};

class VolumeWalker {
public:
    VolumeWalker() = default;
    VolumeWalker(const VolumeWalker&) = delete;
    VolumeWalker& operator=(const VolumeWalker&) = delete;
    virtual ~VolumeWalker();

    // The base version only puts the per-scan state back (no limit, no cancel, empty files
    // skipped, no notify window) and reports success; every walker's scan ends with it.
    virtual bool ScanDeleted(const std::string& root, diskfs::DeletedFileList& list);
    virtual bool WipeDeletedNames(const std::string& root) = 0;
    // Opens the device and reads the boot sector; a failed read closes the device again.
    virtual bool OpenDevice(const std::string& root) = 0;
    virtual void CloseDevice();

    HANDLE DeviceHandle() const { return device_; }

    std::string rootPath;
    // Limit, cancel flag (set from another thread), skipEmpty and the notify target of a scan.
    diskfs::WalkControl control;
    HWND notifyWindow = nullptr;

protected:
    // The frame of every walker's scan: opens the device, hands the notify window to the control,
    // runs `walk` (the file-system scan into `list`) and ends with the base version's reset.
    bool ScanThrough(const std::string& root, diskfs::DeletedFileList& list, const std::function<bool()>& walk);

    HANDLE device_ = INVALID_HANDLE_VALUE;
    uint8_t bootSector_[512] = {};

private:
    WindowScanNotify notify_;
};

// Windows 95/98/Me, FAT32: VWIN32's absolute disk services; the name wipe locks the volume.
class Fat32Walker9x : public VolumeWalker {
public:
    // `transport` stands in for the VWIN32 device (tests); null means the real one.
    explicit Fat32Walker9x(Vwin32Transport* transport = nullptr);

    bool ScanDeleted(const std::string& root, diskfs::DeletedFileList& list) override;
    bool WipeDeletedNames(const std::string& root) override;
    bool OpenDevice(const std::string& root) override;

private:
    Vwin32HandleTransport handleTransport_;
    Vwin32Transport* transport_;
    std::unique_ptr<Vwin32Device> volume_;
};

// The NT family: the volume device \\.\X:, read and written at byte offsets.
class NtVolumeWalker : public VolumeWalker {
public:
    // Opens "\\.\" + root (such as \\.\C:) for reading and writing, shared, synchronous.
    bool OpenDevice(const std::string& root) override;

protected:
    NtVolumeDevice volume_;
};

// The NT family, FAT32.
class Fat32WalkerNT : public NtVolumeWalker {
public:
    bool ScanDeleted(const std::string& root, diskfs::DeletedFileList& list) override;
    bool WipeDeletedNames(const std::string& root) override;
};

// The NT family, NTFS.
class NtfsWalker : public NtVolumeWalker {
public:
    bool ScanDeleted(const std::string& root, diskfs::DeletedFileList& list) override;
    bool WipeDeletedNames(const std::string& root) override;
};
