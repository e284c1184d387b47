#include "EmptyLog.h"

#include <windows.h>

#include "File.h"
#include "FileException.h"

bool EmptyLog(const std::string& logPath) {
    // Read-only would refuse the truncation: clear it for the moment and put it back afterwards.
    DWORD attributes = ::GetFileAttributesA(logPath.c_str());
    ::SetFileAttributesA(logPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    CFile file;
    CFileException error;
    bool opened = file.Open(logPath, CFile::modeCreate | CFile::modeWrite, &error);
    if (opened) file.Abort();  // nothing was written, so nothing can be lost in closing
    if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesA(logPath.c_str(), attributes);
    if (!opened) error.ReportError();
    return opened;
}
