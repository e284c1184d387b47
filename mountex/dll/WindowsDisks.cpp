#include "WindowsDisks.h"

#include <winioctl.h>
#include <dbt.h>
#include <aclapi.h>
#include <ddk/mountmgr.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CurrentUser.h"
#include "DiskServer.h"
#include "VlrFormat.h"
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
    // Sent, not posted: the message carries a pointer into this stack frame, which a posted message
    // would outlive (the system drops such posts), and a hung window is passed over.
    ::BroadcastSystemMessageA(BSF_NOHANG | BSF_FORCEIFHUNG, &recipients, WM_DEVICECHANGE, event,
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

// Writes back and locks the volume on `letter` and dismounts its file system, so that the disk can go
// without losing anything. Returns the locked volume's handle, to be closed only once the disk is
// gone; INVALID_HANDLE_VALUE when the volume cannot be opened or locked (a file is open on it): the
// disk must then stay, or whatever the file system still holds would be lost.
HANDLE LockVolume(char letter) {
    const char path[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    HANDLE volume = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return volume;
    DWORD returned = 0;
    ::FlushFileBuffers(volume);
    if (!::DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr)) {
        ::CloseHandle(volume);
        return INVALID_HANDLE_VALUE;
    }
    ::DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    return volume;
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

// The system-wide mutex of a file, named from its identity (volume serial and file number), so that
// every spelling of its path (short names, case, "..", another link) meets the same one. Null when
// another mount, in this process or another, holds it.
HANDLE TakeGuard(const vlr::FileIdentity& identity) {
    char name[80];
    wsprintfA(name, "Global\\QuilFileDiskImage-%08lx-%08lx%08lx", static_cast<unsigned long>(identity.volume),
              static_cast<unsigned long>(identity.index >> 32), static_cast<unsigned long>(identity.index));
    HANDLE guard = ::CreateMutexA(nullptr, FALSE, name);
    if (guard && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(guard);
        guard = nullptr;
    }
    return guard;
}

// Takes the guard of the image `disk` holds open: two servers of one image would corrupt it.
bool Guard(CMountedDisk& disk) {
    vlr::FileIdentity identity;
    if (!disk.image.FileIdentity(identity)) return false;
    disk.guard = TakeGuard(identity);
    return disk.guard != nullptr;
}

// The identity of the file at `path`, read without opening its contents; false when there is none.
bool PathIdentity(const std::string& path, vlr::FileIdentity& identity) {
    HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = ::GetFileInformationByHandle(file, &info) != FALSE;
    ::CloseHandle(file);
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return ok;
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

// The folder of a full path, with its last backslash; the search steps over double-byte characters,
// whose trail byte may be a backslash.
std::string Folder(const std::string& path) {
    size_t cut = std::string::npos;
    for (const char* p = path.c_str(); *p; p = ::CharNextA(p))
        if (*p == '\\') cut = static_cast<size_t>(p - path.c_str());
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Whether the volume of `folder` has room for an image of sizeMB beside whatever it holds now.
bool RoomFor(const std::string& folder, UINT sizeMB) {
    ULARGE_INTEGER available, total, free;
    if (!::GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free)) return false;
    return available.QuadPart >= vlr::ImageFileSize(uint64_t{sizeMB} * vlr::kSectorsPerMB);
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

// Removes the disk and its letter, once its file system has let go of it; false, with the disk still
// served, when the volume will not lock. `force` removes it all the same: only for a disk that was
// never handed to the user.
bool Detach(char letter, CMountedDisk& disk, bool force) {
    HANDLE volume = LockVolume(letter);
    if (volume == INVALID_HANDLE_VALUE && !force) return false;
    TakeLetter(letter, disk.server.DeviceName(), disk.throughManager);
    disk.server.Stop();
    disk.image.Close();
    if (volume != INVALID_HANDLE_VALUE) ::CloseHandle(volume);
    return true;
}

// A name in `folder` that no file has, for the new image until it replaces the old one; the empty
// file it names is left for the image to take over.
std::string TemporaryName(const std::string& folder) {
    char name[MAX_PATH];
    if (folder.size() + 14 > sizeof name || !::GetTempFileNameA(folder.c_str(), "vlr", 0, name)) return std::string();
    return name;
}

}  // namespace

bool ProtectRoot(const std::string& root) {
    std::vector<BYTE> user;
    const PSID userSid = CurrentUserSid(user);
    if (!userSid) return false;

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID system = nullptr, administrators = nullptr;
    bool ok = ::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
              ::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                         0, &administrators);
    if (ok) {
        PSID sids[] = {userSid, system, administrators};
        DWORD aclSize = sizeof(ACL);
        for (PSID sid : sids) aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
        std::vector<BYTE> acl(aclSize);
        ok = ::InitializeAcl(reinterpret_cast<ACL*>(acl.data()), aclSize, ACL_REVISION) != FALSE;
        for (PSID sid : sids)
            ok = ok && ::AddAccessAllowedAceEx(reinterpret_cast<ACL*>(acl.data()), ACL_REVISION,
                                               OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS, sid);
        ok = ok && ::SetNamedSecurityInfoA(const_cast<char*>(root.c_str()), SE_FILE_OBJECT,
                                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                           nullptr, reinterpret_cast<ACL*>(acl.data()), nullptr) == ERROR_SUCCESS;
    }
    if (system) ::FreeSid(system);
    if (administrators) ::FreeSid(administrators);
    return ok;
}

bool WindowsCreateImage(char letter, const char* imagePath, const CPassword& password, UINT sizeMB) {
    vlr::CLockHold hold(gDisksLock);
    auto disk = std::make_unique<CMountedDisk>();
    disk->imagePath = FullPath(imagePath);
    if (disk->imagePath.empty() || gDisks.count(letter)) return false;
    // An image this one replaces keeps its guard until then: nobody mounts it meanwhile, and a mounted
    // one, under whatever spelling, is refused here before anything is written.
    vlr::FileIdentity replaced;
    HANDLE replacedGuard = nullptr;
    if (PathIdentity(disk->imagePath, replaced) && !(replacedGuard = TakeGuard(replaced))) return false;
    struct CRelease {
        HANDLE handle;
        ~CRelease() {
            if (handle) ::CloseHandle(handle);
        }
    } releaseReplaced{replacedGuard};

    // The new image is written beside the old one and takes its name only once its disk is mounted,
    // formatted and protected: whatever fails before leaves the old image as it was.
    const std::string folder = Folder(disk->imagePath);
    if (folder.empty() || !RoomFor(folder, sizeMB)) return false;
    const std::string temporary = TemporaryName(folder);
    if (temporary.empty()) return false;
    const auto* secret = reinterpret_cast<const uint8_t*>(password.Data());
    if (disk->image.CreateOpen(temporary, sizeMB, secret, password.Size()) != vlr::VlrResult::Ok || !Guard(*disk) ||
        !Attach(letter, *disk)) {
        disk->image.Close();
        ::DeleteFileA(temporary.c_str());
        return false;
    }
    if (!FormatNtfs(letter) || !ProtectRoot(std::string(1, letter) + ":\\") || !disk->image.MoveTo(disk->imagePath)) {
        Detach(letter, *disk, true);
        ::DeleteFileA(temporary.c_str());
        return false;
    }
    gDisks[letter] = std::move(disk);
    return true;
}

bool WindowsMountDisk(char letter, const char* imagePath, const CPassword& password) {
    vlr::CLockHold hold(gDisksLock);
    auto disk = std::make_unique<CMountedDisk>();
    disk->imagePath = FullPath(imagePath);
    if (disk->imagePath.empty() || gDisks.count(letter)) return false;
    const auto* secret = reinterpret_cast<const uint8_t*>(password.Data());
    if (!vlr::Succeeded(disk->image.Open(disk->imagePath, secret, password.Size()))) return false;
    if (!Guard(*disk) || !Attach(letter, *disk)) return false;
    gDisks[letter] = std::move(disk);
    return true;
}

bool WindowsDisMountDisk(char letter) {
    vlr::CLockHold hold(gDisksLock);
    auto found = gDisks.find(letter);
    if (found == gDisks.end()) return ClearStale(letter);
    if (!Detach(letter, *found->second, false)) return false;
    gDisks.erase(found);
    return true;
}

}  // namespace mountex
