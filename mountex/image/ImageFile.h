#pragma once
// Positional, unbuffered I/O on an image file with 64-bit offsets (images reach 11 GiB, beyond what a
// 32-bit long can address). POSIX calls on the host, the C runtime's _lseeki64/_read/_write on Windows.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vlr {

class CImageFile {
public:
    enum class OpenStatus { Ok, NotFound, Failed };

    CImageFile() = default;
    ~CImageFile() { Close(); }
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    // Opens an existing file for reading and writing.
    OpenStatus OpenExisting(const std::string& path);
    // Creates the file, or empties an existing one, for reading and writing.
    bool Create(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Current size in bytes; false on error.
    bool Size(uint64_t& size) const;
    // Read or write exactly `size` bytes at `offset`; false on any error or short transfer.
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const;
    bool WriteAt(uint64_t offset, const void* buffer, size_t size);
    // Pushes written data to the medium.
    bool Sync();

private:
    int fd_ = -1;
};

}  // namespace vlr
