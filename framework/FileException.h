#pragma once
// The file exception: why a file operation failed, the system error behind it and the file it
// concerned. File opens fill one in; reads, writes and seeks throw one by value. Derives from
// std::exception so that the window dispatch stops it like any other exception.
#include <windows.h>

#include <exception>
#include <string>

class CFileException : public std::exception {
public:
    // The causes, in the order the framework's users know them.
    enum {
        none,
        genericException,  // none of the others, or an error the system does not name
        fileNotFound,
        badPath,           // the folder, drive or name is missing or malformed
        tooManyOpenFiles,
        accessDenied,      // a directory, a protected or write-protected file, or the wrong access
        invalidFile,       // the handle is not an open file
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,            // the device failed (CRC, sector not found, not ready)
        sharingViolation,  // another opener does not share the file
        lockViolation,     // a locked byte range
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, LONG osError = -1, const std::string& fileName = std::string())
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

    // The cause a system error code (GetLastError) stands for; unknown codes give genericException.
    static int OsErrorToCause(DWORD osError);

    // Throws the exception that `osError` stands for.
    [[noreturn]] static void ThrowOsError(DWORD osError, const std::string& fileName);

    // The text shown to the user: one sentence per cause, naming the file.
    std::string GetErrorMessage() const;

    // Shows that text in the standard file-error box (through the UI seam) and returns the button
    // pressed.
    int ReportError(UINT flags = MB_OK | MB_ICONEXCLAMATION) const;

    const char* what() const noexcept override;

    int m_cause;
    LONG m_lOsError;  // the system error code, or -1 when there is none
    std::string m_strFileName;

private:
    mutable std::string whatText_;
};
