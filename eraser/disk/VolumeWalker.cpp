#include "VolumeWalker.h"

#include <cctype>

#include "Fat32Walk.h"
#include "NtfsWalk.h"

void WindowScanNotify::OnRecordFound(diskfs::DeletedFileRecord* record) {
    if (window) ::SendMessageA(window, diskfs::kFoundRecordMessage, reinterpret_cast<WPARAM>(record), 0);
}

VolumeWalker::~VolumeWalker() { CloseDevice(); }

bool VolumeWalker::ScanDeleted(const std::string&, diskfs::DeletedFileList&) {
    control.Reset();
    notify_.window = nullptr;
    return true;
}

void VolumeWalker::CloseDevice() {
    if (device_ != INVALID_HANDLE_VALUE) ::CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
}

bool VolumeWalker::ScanThrough(const std::string& root, diskfs::DeletedFileList& list,
                               const std::function<bool()>& walk) {
    rootPath = root;
    bool ok = false;
    if (OpenDevice(root)) {
        notify_.window = notifyWindow;
        control.notify = notifyWindow ? &notify_ : nullptr;
        ok = walk();
    }
    VolumeWalker::ScanDeleted(root, list);
    return ok;
}

// --- Windows 95/98/Me ------------------------------------------------------------------------

Fat32Walker9x::Fat32Walker9x(Vwin32Transport* transport)
    : transport_(transport ? transport : &handleTransport_) {}

bool Fat32Walker9x::OpenDevice(const std::string& root) {
    CloseDevice();
    volume_.reset();
    if (root.size() < 2 || !std::isalpha(static_cast<unsigned char>(root[0])) || root[1] != ':') return false;
    if (transport_ == &handleTransport_) {
        device_ = ::CreateFileA("\\\\.\\vwin32", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (device_ == INVALID_HANDLE_VALUE) return false;
        handleTransport_.SetHandle(device_);
    }
    int drive = std::toupper(static_cast<unsigned char>(root[0])) - 'A' + 1;
    volume_.reset(new Vwin32Device(*transport_, drive));
    if (!volume_->Transfer(0, 1, bootSector_, false)) {
        CloseDevice();
        volume_.reset();
        return false;
    }
    return true;
}

bool Fat32Walker9x::ScanDeleted(const std::string& root, diskfs::DeletedFileList& list) {
    return ScanThrough(root, list, [&] {
        diskfs::Fat32Walk walk(*volume_, control);
        walk.requireDotDot = false;
        return walk.ScanDeleted(root, list);
    });
}

bool Fat32Walker9x::WipeDeletedNames(const std::string& root) {
    rootPath = root;
    if (!OpenDevice(root)) return false;
    for (int level = 1; level <= 3; ++level) {
        if (!volume_->LockVolume(level)) {
            volume_->UnlockVolume();
            return false;
        }
    }
    diskfs::Fat32Walk walk(*volume_, control);
    walk.requireDotDot = false;
    walk.blankForm = diskfs::BlankForm::kZeroAttribute;
    bool ok = walk.WipeDeletedNames();
    for (int i = 0; i < 3; ++i) volume_->UnlockVolume();
    return ok;
}

// --- NT family -------------------------------------------------------------------------------

bool NtVolumeWalker::OpenDevice(const std::string& root) {
    CloseDevice();
    const std::string name = "\\\\.\\" + root;
    device_ = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    volume_.SetHandle(device_);
    if (device_ == INVALID_HANDLE_VALUE) return false;
    if (!volume_.ReadSectors(0, 1, 512, bootSector_)) {
        CloseDevice();
        volume_.SetHandle(INVALID_HANDLE_VALUE);
        return false;
    }
    return true;
}

bool Fat32WalkerNT::ScanDeleted(const std::string& root, diskfs::DeletedFileList& list) {
    return ScanThrough(root, list, [&] { return diskfs::Fat32Walk(volume_, control).ScanDeleted(root, list); });
}

bool Fat32WalkerNT::WipeDeletedNames(const std::string& root) {
    rootPath = root;
    if (!OpenDevice(root)) return false;
    diskfs::Fat32Walk walk(volume_, control);
    walk.blankForm = diskfs::BlankForm::kArchiveAttribute;
    return walk.WipeDeletedNames();
}

bool NtfsWalker::ScanDeleted(const std::string& root, diskfs::DeletedFileList& list) {
    return ScanThrough(root, list, [&] { return diskfs::NtfsWalk(volume_, control).ScanDeleted(root, list); });
}

bool NtfsWalker::WipeDeletedNames(const std::string& root) {
    rootPath = root;
    if (!OpenDevice(root)) return false;
    bool ok = diskfs::NtfsWalk(volume_, control).WipeDeletedNames();
    if (!ok) CloseDevice();
    return ok;
}
