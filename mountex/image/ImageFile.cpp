#include "ImageFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <sys/stat.h>

#include <vector>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "Threads.h"

namespace vlr {

#ifdef _WIN32
namespace {
// The C runtime has no pread/pwrite; seeks and transfers on one descriptor are paired under a lock.
CLock gSeekLock;

// The handle becomes a C runtime descriptor, which owns it from then on. An image open here is shared
// for reading only: another spelling of its path, in this process or another, can neither truncate
// it nor write to it, nor delete or rename it while it is served.
int Descriptor(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE file = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) ::CloseHandle(file);
    return fd;
}
}  // namespace

CImageFile::OpenStatus CImageFile::OpenExisting(const std::string& path) {
    Close();
    fd_ = Descriptor(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (fd_ >= 0) {
        path_ = path;
        return OpenStatus::Ok;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OpenStatus::NotFound : OpenStatus::Failed;
}

bool CImageFile::Create(const std::string& path) {
    Close();
    // DELETE: a new image is written under a name of its own and renamed once it is ready (MoveTo).
    fd_ = Descriptor(path, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_ALWAYS);
    if (fd_ >= 0) path_ = path;
    return fd_ >= 0;
}

bool CImageFile::Identity(FileIdentity& identity) const {
    BY_HANDLE_FILE_INFORMATION info;
    if (fd_ < 0 || !::GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), &info)) return false;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
}

namespace {
// NtSetInformationFile with FileRenameInformation (class 10): the one rename that works on a handle,
// so the file can be renamed while it is open and shared with nobody (MoveFileEx needs every open of
// the file to share deletion). Present in ntdll on every NT system.
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};
struct IoStatus {
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};
typedef LONG(WINAPI* SetInformationFileFn)(HANDLE, IoStatus*, PVOID, ULONG, int);
constexpr int kFileRenameInformation = 10;

// The kernel's name of a full Win32 path: "C:\a" is "\??\C:\a", "\\server\share" is "\??\UNC\server\share".
std::wstring KernelName(const std::string& path) {
    const int size = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], size);
    wide.resize(static_cast<size_t>(size - 1));
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\') return L"\\??\\" + wide;
    if (wide.size() > 2 && wide[0] == L'\\' && wide[1] == L'\\' && wide[2] != L'?' && wide[2] != L'.')
        return L"\\??\\UNC" + wide.substr(1);
    return std::wstring();
}
}  // namespace

bool CImageFile::MoveTo(const std::string& path) {
    if (fd_ < 0) return false;
    const std::wstring name = KernelName(path);
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    auto setInformation = reinterpret_cast<SetInformationFileFn>(
        reinterpret_cast<void*>(ntdll ? ::GetProcAddress(ntdll, "NtSetInformationFile") : nullptr));
    if (name.empty() || !setInformation) return false;
    std::vector<BYTE> buffer(sizeof(RenameInformation) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->replaceIfExists = TRUE;
    rename->rootDirectory = nullptr;
    rename->fileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    memcpy(rename->fileName, name.data(), rename->fileNameLength);
    IoStatus status = {};
    if (setInformation(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), &status, buffer.data(),
                       static_cast<ULONG>(buffer.size()), kFileRenameInformation) < 0)
        return false;
    path_ = path;
    return true;
}

void CImageFile::Close() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
    path_.clear();
}

bool CImageFile::Size(uint64_t& size) const {
    CLockHold lock(gSeekLock);
    __int64 end = _lseeki64(fd_, 0, SEEK_END);
    if (end < 0) return false;
    size = static_cast<uint64_t>(end);
    return true;
}

namespace {
// Moves `size` bytes between `p` and the file at `offset`, a piece at a time, until all have moved.
bool Transfer(int fd, uint64_t offset, char* p, size_t size, bool write) {
    CLockHold lock(gSeekLock);
    if (_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0) return false;
    while (size) {
        unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        int n = write ? _write(fd, p, chunk) : _read(fd, p, chunk);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool CImageFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    return Transfer(fd_, offset, static_cast<char*>(buffer), size, false);
}

bool CImageFile::WriteAt(uint64_t offset, const void* buffer, size_t size) {
    return Transfer(fd_, offset, const_cast<char*>(static_cast<const char*>(buffer)), size, true);
}

bool CImageFile::Sync() { return _commit(fd_) == 0; }

#else

CImageFile::OpenStatus CImageFile::OpenExisting(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ >= 0) {
        path_ = path;
        return OpenStatus::Ok;
    }
    return errno == ENOENT ? OpenStatus::NotFound : OpenStatus::Failed;
}

bool CImageFile::Create(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ >= 0) path_ = path;
    return fd_ >= 0;
}

bool CImageFile::Identity(FileIdentity& identity) const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    identity.volume = static_cast<uint64_t>(st.st_dev);
    identity.index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool CImageFile::MoveTo(const std::string& path) {
    if (fd_ < 0 || ::rename(path_.c_str(), path.c_str()) != 0) return false;
    path_ = path;
    return true;
}

void CImageFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
}

bool CImageFile::Size(uint64_t& size) const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

namespace {
// Moves `size` bytes between `p` and the file at `offset`, a piece at a time, until all have moved.
bool Transfer(int fd, uint64_t offset, char* p, size_t size, bool write) {
    while (size) {
        ssize_t n = write ? ::pwrite(fd, p, size, static_cast<off_t>(offset))
                          : ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool CImageFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    return Transfer(fd_, offset, static_cast<char*>(buffer), size, false);
}

bool CImageFile::WriteAt(uint64_t offset, const void* buffer, size_t size) {
    return Transfer(fd_, offset, const_cast<char*>(static_cast<const char*>(buffer)), size, true);
}

bool CImageFile::Sync() { return ::fdatasync(fd_) == 0; }

#endif

}  // namespace vlr
