#include "ImageFile.h"

#include "Threads.h"

#include <cerrno>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vlr {

#ifdef _WIN32
namespace {
// The C runtime has no pread/pwrite; seeks and transfers on one descriptor are paired under a lock.
CLock gSeekLock;
}

CImageFile::OpenStatus CImageFile::OpenExisting(const std::string& path) {
    Close();
    fd_ = _open(path.c_str(), _O_RDWR | _O_BINARY);
    if (fd_ >= 0) return OpenStatus::Ok;
    return errno == ENOENT ? OpenStatus::NotFound : OpenStatus::Failed;
}

bool CImageFile::Create(const std::string& path) {
    Close();
    fd_ = _open(path.c_str(), _O_RDWR | _O_BINARY | _O_CREAT | _O_TRUNC, _S_IREAD | _S_IWRITE);
    return fd_ >= 0;
}

void CImageFile::Close() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
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
    if (fd_ >= 0) return OpenStatus::Ok;
    return errno == ENOENT ? OpenStatus::NotFound : OpenStatus::Failed;
}

bool CImageFile::Create(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return fd_ >= 0;
}

void CImageFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
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
