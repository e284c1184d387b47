#pragma once
// A file over a Win32 handle, without buffering of its own. Opening reports failure through a
// CFileException the caller passes; every later operation throws a CFileException by value.
#include <windows.h>

#include <cstdint>
#include <string>

#include "FileException.h"

class CFile {
public:
    // Open flags: one access mode, one share mode, and any of the others.
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,  // the same as shareExclusive
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,      // create, or truncate an existing file ...
        modeNoTruncate = 0x2000,  // ... unless this is also given: then open it as it is
        typeText = 0x4000,        // for CStdioFile only
        typeBinary = 0x8000,      // for CStdioFile only
    };
    enum SeekPosition : UINT { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    static const HANDLE hFileNull;

    CFile() = default;
    virtual ~CFile();

    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens `path` (a file already open here is closed first). On failure returns false and, when
    // `error` is given, fills it with the cause, the system error and `path`.
    virtual bool Open(const std::string& path, UINT flags, CFileException* error = nullptr);

    // Reads up to `count` bytes and returns how many were read: fewer only at the end of the file.
    virtual UINT Read(void* buffer, UINT count);
    // Writes all `count` bytes; a short write throws diskFull.
    virtual void Write(const void* buffer, UINT count);
    // Moves the position relative to `from` (begin, current or end) and returns the new position.
    virtual uint64_t Seek(int64_t offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    // Returns the length, which is now the position.
    uint64_t SeekToEnd() { return Seek(0, end); }
    virtual uint64_t GetPosition() const;
    virtual uint64_t GetLength() const;
    // Cuts or extends the file to `length` bytes (an extension reads as zeros); the position is
    // left at the new end.
    virtual void SetLength(uint64_t length);
    virtual void Flush();
    // Closes the file; a failure to close throws, after the object has let go of the file.
    virtual void Close();
    // Closes the file, ignoring every error. Harmless on a closed file.
    virtual void Abort();

    // The full path of the open file, as the system resolved it at opening.
    const std::string& GetFilePath() const { return m_strFileName; }
    // The name part of that path.
    std::string GetFileName() const;

    HANDLE m_hFile = INVALID_HANDLE_VALUE;  // hFileNull while closed

protected:
    // Throws the exception GetLastError stands for, naming this file.
    [[noreturn]] void ThrowLastError() const;

    std::string m_strFileName;
};
