#pragma once
// Positional, unbuffered I/O on an image file with 64-bit offsets (images reach 11 GiB, beyond what a
// 32-bit long can address). POSIX calls on the host, the C runtime's _lseeki64/_read/_write on Windows.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vlr {

// What names a file whatever path spells it: the volume and the file's number on it.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
};

class CImageFile {
public:
    enum class OpenStatus { Ok, NotFound, Failed };

    CImageFile() = default;
    ~CImageFile() { Close(); }
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    // Opens an existing file for reading and writing. On Windows nobody else may write to it, delete
    // it or rename it while it is open here.
    OpenStatus OpenExisting(const std::string& path);
    // Creates the file, or empties an existing one, for reading and writing; shared as OpenExisting.
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

    bool Identity(FileIdentity& identity) const;
    // Gives the open file the name `path` (on the same volume), replacing a file of that name in one
    // step; the file stays open. Fails, changing nothing, when a file of that name is open.
    bool MoveTo(const std::string& path);

private:
    int fd_ = -1;
    std::string path_;  // the name the file was opened or created under
};

}  // namespace vlr
