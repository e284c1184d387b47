#include "StdioFile.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>

namespace {

// The runtime records the system error of a failed stream operation in _doserrno; it is cleared
// first so that a failure the runtime detects by itself (no system call) is not blamed on an
// older error.
void ClearStreamError() {
    _doserrno = 0;
    errno = 0;
}

// The cause of the last stream failure: from the system error when there is one, else from errno.
[[noreturn]] void ThrowStreamFailure(const std::string& fileName) {
    DWORD osError = static_cast<DWORD>(_doserrno);
    if (osError != 0) CFileException::ThrowOsError(osError, fileName);
    int cause;
    switch (errno) {
        case ENOENT: cause = CFileException::fileNotFound; break;
        case EMFILE: cause = CFileException::tooManyOpenFiles; break;
        case EACCES: cause = CFileException::accessDenied; break;
        case EBADF: cause = CFileException::invalidFile; break;
        case EINVAL: cause = CFileException::badSeek; break;
        case ENOSPC: cause = CFileException::diskFull; break;
        default: cause = CFileException::genericException; break;
    }
    throw CFileException(cause, -1, fileName);
}

}  // namespace

CStdioFile::~CStdioFile() { CStdioFile::Abort(); }

bool CStdioFile::Open(const std::string& path, UINT flags, CFileException* error) {
    Abort();
    if (!CFile::Open(path, flags & ~(typeText | typeBinary), error)) return false;

    // The mode is always spelled out: the runtime's default (_fmode) may be binary.
    bool binary = (flags & typeBinary) != 0;
    int descriptorFlags = binary ? _O_BINARY : _O_TEXT;
    const char* mode;
    switch (flags & 0x0003) {
        case modeRead:
            descriptorFlags |= _O_RDONLY;
            mode = binary ? "rb" : "rt";
            break;
        case modeWrite:
            descriptorFlags |= _O_WRONLY;
            mode = binary ? "wb" : "wt";
            break;
        default:
            descriptorFlags |= _O_RDWR;
            mode = binary ? "r+b" : "r+t";
            break;
    }
    if (flags & modeNoInherit) descriptorFlags |= _O_NOINHERIT;

    // From here the descriptor owns the handle, and then the stream owns the descriptor.
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(m_hFile), descriptorFlags);
    if (descriptor != -1) {
        m_pStream = _fdopen(descriptor, mode);
        if (!m_pStream) _close(descriptor);
    } else {
        ::CloseHandle(m_hFile);
    }
    if (m_pStream) return true;

    // Both fail only when the runtime's tables of descriptors or streams are full.
    m_hFile = hFileNull;
    m_strFileName.clear();
    if (error) {
        error->m_cause = CFileException::tooManyOpenFiles;
        error->m_lOsError = ERROR_TOO_MANY_OPEN_FILES;
        error->m_strFileName = path;
    }
    return false;
}

bool CStdioFile::ReadString(std::string& line) {
    line.clear();
    ClearStreamError();
    bool readAny = false;
    int c;
    while ((c = getc(m_pStream)) != EOF) {
        readAny = true;
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    if (ferror(m_pStream)) {
        clearerr(m_pStream);
        ThrowStreamFailure(m_strFileName);
    }
    return readAny;
}

void CStdioFile::WriteString(const std::string& text) { Write(text.data(), static_cast<UINT>(text.size())); }

UINT CStdioFile::Read(void* buffer, UINT count) {
    ClearStreamError();
    size_t read = fread(buffer, 1, count, m_pStream);
    if (read < count && ferror(m_pStream)) {
        clearerr(m_pStream);
        ThrowStreamFailure(m_strFileName);
    }
    return static_cast<UINT>(read);
}

void CStdioFile::Write(const void* buffer, UINT count) {
    ClearStreamError();
    if (fwrite(buffer, 1, count, m_pStream) != count) {
        clearerr(m_pStream);
        ThrowStreamFailure(m_strFileName);
    }
}

uint64_t CStdioFile::Seek(int64_t offset, UINT from) {
    // begin, current and end have the values of SEEK_SET, SEEK_CUR and SEEK_END.
    ClearStreamError();
    if (_fseeki64(m_pStream, offset, static_cast<int>(from)) != 0) ThrowStreamFailure(m_strFileName);
    return GetPosition();
}

uint64_t CStdioFile::GetPosition() const {
    ClearStreamError();
    __int64 position = _ftelli64(m_pStream);
    if (position < 0) ThrowStreamFailure(m_strFileName);
    return static_cast<uint64_t>(position);
}

uint64_t CStdioFile::GetLength() const {
    uint64_t position = GetPosition();
    ClearStreamError();
    if (_fseeki64(m_pStream, 0, SEEK_END) != 0) ThrowStreamFailure(m_strFileName);
    uint64_t length = GetPosition();
    if (_fseeki64(m_pStream, static_cast<__int64>(position), SEEK_SET) != 0) ThrowStreamFailure(m_strFileName);
    return length;
}

void CStdioFile::SetLength(uint64_t length) {
    // Buffered bytes go out before the end moves; the stream then follows the handle to the new end.
    Flush();
    CFile::SetLength(length);
    ClearStreamError();
    if (_fseeki64(m_pStream, static_cast<__int64>(length), SEEK_SET) != 0) ThrowStreamFailure(m_strFileName);
}

void CStdioFile::Flush() {
    if (!m_pStream) return;
    ClearStreamError();
    if (fflush(m_pStream) != 0) {
        clearerr(m_pStream);
        ThrowStreamFailure(m_strFileName);
    }
}

void CStdioFile::Close() {
    if (!m_pStream) {
        CFile::Close();
        return;
    }
    FILE* stream = m_pStream;
    std::string name = m_strFileName;
    m_pStream = nullptr;
    m_hFile = hFileNull;
    m_strFileName.clear();
    ClearStreamError();
    if (fclose(stream) != 0) ThrowStreamFailure(name);
}

void CStdioFile::Abort() {
    if (!m_pStream) {
        CFile::Abort();
        return;
    }
    fclose(m_pStream);
    m_pStream = nullptr;
    m_hFile = hFileNull;
    m_strFileName.clear();
}
