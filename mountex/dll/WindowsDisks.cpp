#include "WindowsDisks.h"

#include <winioctl.h>
#include <dbt.h>
#include <ddk/mountmgr.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DiskServer.h"
#include "VlrImage.h"

namespace mountex {

namespace {

// A control input: a fixed head followed by two names.
std::vector<BYTE> Bytes(const void* head, size_t headSize, const std::wstring& first, const std::wstring& second) {
    std::vector<BYTE> input(headSize + (first.size() + second.size()) * sizeof(wchar_t));
    memcpy(input.data(), head, headSize);
    memcpy(input.data() + headSize, first.data(), first.size() * sizeof(wchar_t));
    memcpy(input.data() + headSize + first.size() * sizeof(wchar_t), second.data(), second.size() * sizeof(wchar_t));
    return input;
}

bool MountManager(DWORD code, std::vector<BYTE>& input) {
    HANDLE manager = ::CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    std::vector<BYTE> output(4096);
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(manager, code, input.data(), static_cast<DWORD>(input.size()), output.data(),
                                      static_cast<DWORD>(output.size()), &returned, nullptr);
    ::CloseHandle(manager);
    return ok != FALSE;
}

std::wstring DosLink(char letter) { return std::wstring(L"\\DosDevices\\") + static_cast<wchar_t>(letter) + L":"; }

bool CreatePoint(char letter, const std::wstring& device) {
    const std::wstring link = DosLink(letter);
    MOUNTMGR_CREATE_POINT_INPUT head = {};
    head.SymbolicLinkNameOffset = sizeof head;
    head.SymbolicLinkNameLength = static_cast<USHORT>(link.size() * sizeof(wchar_t));
    head.DeviceNameOffset = static_cast<USHORT>(sizeof head + head.SymbolicLinkNameLength);
    head.DeviceNameLength = static_cast<USHORT>(device.size() * sizeof(wchar_t));
    std::vector<BYTE> input = Bytes(&head, sizeof head, link, device);
    return MountManager(IOCTL_MOUNTMGR_CREATE_POINT, input);
}

void Broadcast(char letter, WPARAM event) {
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (letter - 'A');
    DWORD recipients = BSM_APPLICATIONS;
    ::BroadcastSystemMessageA(BSF_NOHANG | BSF_POSTMESSAGE, &recipients, WM_DEVICECHANGE, event,
                              reinterpret_cast<LPARAM>(&volume));
}

// The disk a letter names when that disk is gone: the letter that a process which ended left behind
// (its disk went with it, the letter did not). Empty when the letter names anything else, or a disk
// that is there. Disk numbers are not given twice, so the name cannot belong to a later disk.
std::wstring StaleDisk(char letter) {
    const wchar_t name[] = {static_cast<wchar_t>(letter), L':', 0};
    wchar_t target[MAX_PATH] = {};
    if (!::QueryDosDeviceW(name, target, MAX_PATH)) return std::wstring();
    const std::wstring device(target);
    const std::wstring prefix = L"\\Device\\QuilFileDisk";
    if (device.compare(0, prefix.size(), prefix) != 0) return std::wstring();
    const std::wstring link = L"\\\\.\\QuilFileDisk" + device.substr(prefix.size());
    HANDLE disk = ::CreateFileW(link.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (disk == INVALID_HANDLE_VALUE) return device;
    ::CloseHandle(disk);
    return std::wstring();
}

void TakeLetter(char letter, const std::wstring& device, bool throughManager);

// Takes away the letter of a disk that is gone, made either way; true when there was one.
bool ClearStale(char letter) {
    const std::wstring device = StaleDisk(letter);
    if (device.empty()) return false;
    TakeLetter(letter, device, true);
    if (!StaleDisk(letter).empty()) TakeLetter(letter, device, false);
    return StaleDisk(letter).empty();
}

// Gives the disk `device` the letter through the mount manager: the point is made directly, or once
// the manager has been told of the new volume. A system whose manager refuses a volume that is not a
// Plug and Play device gets the letter as a plain link to the device.
bool GiveLetter(char letter, const std::wstring& device, bool& throughManager) {
    throughManager = true;
    ClearStale(letter);
    if (!CreatePoint(letter, device)) {
        // MOUNTMGR_TARGET_NAME: the name's length in bytes, then the name.
        const USHORT length = static_cast<USHORT>(device.size() * sizeof(wchar_t));
        std::vector<BYTE> arrival = Bytes(&length, sizeof length, device, std::wstring());
        MountManager(IOCTL_MOUNTMGR_VOLUME_ARRIVAL_NOTIFICATION, arrival);
        if (!CreatePoint(letter, device)) {
            throughManager = false;
            const wchar_t name[] = {static_cast<wchar_t>(letter), L':', 0};
            if (!::DefineDosDeviceW(DDD_RAW_TARGET_PATH, name, device.c_str())) return false;
        }
    }
    Broadcast(letter, DBT_DEVICEARRIVAL);
    return true;
}

void TakeLetter(char letter, const std::wstring& device, bool throughManager) {
    Broadcast(letter, DBT_DEVICEREMOVECOMPLETE);
    if (throughManager) {
        const std::wstring link = DosLink(letter);
        MOUNTMGR_MOUNT_POINT head = {};
        head.SymbolicLinkNameOffset = sizeof head;
        head.SymbolicLinkNameLength = static_cast<USHORT>(link.size() * sizeof(wchar_t));
        std::vector<BYTE> input = Bytes(&head, sizeof head, link, std::wstring());
        MountManager(IOCTL_MOUNTMGR_DELETE_POINTS, input);
    } else {
        const wchar_t name[] = {static_cast<wchar_t>(letter), L':', 0};
        ::DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, name,
                           device.c_str());
    }
}

// Locks and dismounts the file system on `letter` so that it writes everything back and lets go of
// the disk. A volume that cannot be locked (a file is open on it) is dismounted all the same: the
// user asked to close the disk, and the dismount still writes back what the file system holds.
void Dismount(char letter) {
    const char path[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    HANDLE volume = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return;
    DWORD returned = 0;
    ::FlushFileBuffers(volume);
    ::DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    ::DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    ::CloseHandle(volume);
}

// FormatEx of fmifs.dll, the formatter behind the system's own format command. It reports through a
// callback without a context; the DONE report (command 11) carries a BOOLEAN that says whether the
// format succeeded.
typedef BOOLEAN(WINAPI* FormatCallback)(int command, DWORD action, PVOID info);
typedef void(WINAPI* FormatExFn)(PWCHAR root, DWORD media, PWCHAR fileSystem, PWCHAR label, BOOL quick,
                                 DWORD clusterSize, FormatCallback callback);
constexpr int kFormatDone = 11;
constexpr DWORD kFixedMedia = 0x0C;

vlr::CLock gFormatLock;  // FormatEx's callback has no context: one format at a time
bool gFormatDone = false;

BOOLEAN WINAPI OnFormat(int command, DWORD, PVOID info) {
    if (command == kFormatDone && info) gFormatDone = *static_cast<BOOLEAN*>(info) != FALSE;
    return TRUE;
}

bool FormatNtfs(char letter) {
    HMODULE fmifs = ::LoadLibraryA("fmifs.dll");
    if (!fmifs) return false;
    auto formatEx = reinterpret_cast<FormatExFn>(reinterpret_cast<void*>(::GetProcAddress(fmifs, "FormatEx")));
    bool done = false;
    if (formatEx) {
        vlr::CLockHold hold(gFormatLock);
        wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
        wchar_t fileSystem[] = L"NTFS";
        wchar_t label[] = L"";
        gFormatDone = false;
        formatEx(root, kFixedMedia, fileSystem, label, TRUE, 0, OnFormat);
        done = gFormatDone;
    }
    ::FreeLibrary(fmifs);
    return done;
}

struct CMountedDisk {
    ~CMountedDisk() {
        if (guard) ::CloseHandle(guard);
    }
    std::string imagePath;
    HANDLE guard = nullptr;  // the image's named mutex: one mount of an image in the whole system
    vlr::CVlrImage image;
    CDiskServer server;
    bool throughManager = true;
};

// Takes the system-wide name of the image (its full path, upper-cased, hashed), so that a second
// process cannot serve the same image at the same time: two writers would corrupt it.
bool Guard(CMountedDisk& disk) {
    std::string upper = disk.imagePath;
    ::CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : upper) hash = (hash ^ c) * 1099511628211ull;
    char name[64];
    wsprintfA(name, "Global\\QuilFileDiskImage-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
              static_cast<unsigned long>(hash));
    disk.guard = ::CreateMutexA(nullptr, FALSE, name);
    return disk.guard && ::GetLastError() != ERROR_ALREADY_EXISTS;
}

vlr::CLock gDisksLock;
// Never destroyed: when the process ends, its handles to the driver close and the driver removes the
// disks; joining server threads from the library's unloading would risk a deadlock for nothing.
auto& gDisks = *new std::map<char, std::unique_ptr<CMountedDisk>>;

std::string FullPath(const char* path) {
    char full[MAX_PATH];
    const DWORD size = ::GetFullPathNameA(path, sizeof full, full, nullptr);
    return size && size < sizeof full ? std::string(full, size) : std::string();
}

// Whether `letter` or the image is already one of this process's disks. Lock held.
bool Taken(char letter, const std::string& imagePath) {
    if (gDisks.count(letter)) return true;
    for (const auto& entry : gDisks)
        if (::lstrcmpiA(entry.second->imagePath.c_str(), imagePath.c_str()) == 0) return true;
    return false;
}

// Serves the open image of `disk` and gives it the letter; undoes its own steps on failure.
bool Attach(char letter, CMountedDisk& disk) {
    if (!disk.server.Start(disk.image, false)) return false;
    if (!GiveLetter(letter, disk.server.DeviceName(), disk.throughManager)) {
        disk.server.Stop();
        return false;
    }
    return true;
}

void Detach(char letter, CMountedDisk& disk) {
    Dismount(letter);
    TakeLetter(letter, disk.server.DeviceName(), disk.throughManager);
    disk.server.Stop();
    disk.image.Close();
}

}  // namespace

bool WindowsCreateImage(char letter, const char* imagePath, const CPassword& password, UINT sizeMB) {
    vlr::CLockHold hold(gDisksLock);
    auto disk = std::make_unique<CMountedDisk>();
    disk->imagePath = FullPath(imagePath);
    if (disk->imagePath.empty() || Taken(letter, disk->imagePath) || !Guard(*disk)) return false;
    const auto* secret = reinterpret_cast<const uint8_t*>(password.Data());
    if (disk->image.CreateOpen(disk->imagePath, sizeMB, secret, password.Size()) != vlr::VlrResult::Ok) return false;
    if (!Attach(letter, *disk)) {
        disk->image.Close();
        ::DeleteFileA(disk->imagePath.c_str());
        return false;
    }
    if (!FormatNtfs(letter)) {
        Detach(letter, *disk);
        ::DeleteFileA(disk->imagePath.c_str());
        return false;
    }
    gDisks[letter] = std::move(disk);
    return true;
}

bool WindowsMountDisk(char letter, const char* imagePath, const CPassword& password) {
    vlr::CLockHold hold(gDisksLock);
    auto disk = std::make_unique<CMountedDisk>();
    disk->imagePath = FullPath(imagePath);
    if (disk->imagePath.empty() || Taken(letter, disk->imagePath) || !Guard(*disk)) return false;
    const auto* secret = reinterpret_cast<const uint8_t*>(password.Data());
    if (!vlr::Succeeded(disk->image.Open(disk->imagePath, secret, password.Size()))) return false;
    if (!Attach(letter, *disk)) return false;
    gDisks[letter] = std::move(disk);
    return true;
}

bool WindowsDisMountDisk(char letter) {
    vlr::CLockHold hold(gDisksLock);
    auto found = gDisks.find(letter);
    if (found == gDisks.end()) return ClearStale(letter);
    Detach(letter, *found->second);
    gDisks.erase(found);
    return true;
}

}  // namespace mountex
