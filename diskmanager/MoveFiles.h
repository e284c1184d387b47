#pragma once
// The file system as a move into the secret disk sees it: the originals wherever they are, the
// copies on the disk. The move reaches files only through this interface, so the same steps run on
// real drives and, in tests, over a double that fails where a test wants it to.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class MoveFiles {
public:
    // An open file; null is no file.
    typedef void* File;

    enum class Kind { none, file, folder, link };

    struct Entry {
        std::string name;
        Kind kind;
        uint64_t size;  // of a file; 0 otherwise
    };

    virtual ~MoveFiles() = default;

    // What is at `path` (a junction, symbolic link or mount point is a link, whatever it points to),
    // and a file's size.
    virtual Kind Probe(const std::string& path, uint64_t& size) = 0;
    // The entries of `folder` without "." and ".."; false when it cannot be read.
    virtual bool List(const std::string& folder, std::vector<Entry>& entries) = 0;
    // The bytes the caller may still write on the drive of `root` ("H:\"); 0 when unknown.
    virtual uint64_t FreeBytes(const std::string& root) = 0;

    virtual bool MakeFolder(const std::string& path) = 0;
    // Renames within one folder (used to set an item aside and to put it back).
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // Removes a file, or a link of any kind as a link; a read-only file too.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Removes an empty folder, or a folder link as a link.
    virtual bool RemoveFolder(const std::string& path) = 0;

    // Opens an existing file for reading, sharing it with readers only: a file that another program
    // holds open for writing, or without read sharing, cannot be opened. Null on failure.
    virtual File OpenRead(const std::string& path) = 0;
    // Creates a new file for writing; fails (null) when anything is at `path`.
    virtual File CreateWrite(const std::string& path) = 0;
    // Reads up to `count` bytes; `got` 0 at the end of the file. False on an error.
    virtual bool Read(File file, void* buffer, uint32_t count, uint32_t& got) = 0;
    // Back to the first byte.
    virtual bool Rewind(File file) = 0;
    // Writes all `count` bytes, or returns false.
    virtual bool Write(File file, const void* data, uint32_t count) = 0;
    // Sends what was written to the drive.
    virtual bool Flush(File file) = 0;
    // Gives `to` the creation, access and change times of `from`.
    virtual void CopyTimes(File from, File to) = 0;
    virtual void Close(File file) = 0;
};

// MoveFiles over the Win32 file functions.
class Win32MoveFiles : public MoveFiles {
public:
    Kind Probe(const std::string& path, uint64_t& size) override;
    bool List(const std::string& folder, std::vector<Entry>& entries) override;
    uint64_t FreeBytes(const std::string& root) override;
    bool MakeFolder(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool RemoveFile(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    File OpenRead(const std::string& path) override;
    File CreateWrite(const std::string& path) override;
    bool Read(File file, void* buffer, uint32_t count, uint32_t& got) override;
    bool Rewind(File file) override;
    bool Write(File file, const void* data, uint32_t count) override;
    bool Flush(File file) override;
    void CopyTimes(File from, File to) override;
    void Close(File file) override;
};
