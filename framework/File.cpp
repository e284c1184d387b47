#include "File.h"

#include "GbkText.h"

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::~CFile() {
    if (m_hFile != hFileNull) ::CloseHandle(m_hFile);
}

bool CFile::Open(const std::string& path, UINT flags, CFileException* error) {
    Abort();
    DWORD access = 0;
    DWORD share = 0;
    bool valid = true;
    switch (flags & 0x0003) {
        case modeRead: access = GENERIC_READ; break;
        case modeWrite: access = GENERIC_WRITE; break;
        case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
        default: valid = false; break;
    }
    switch (flags & 0x0070) {
        case shareCompat:
        case shareExclusive: share = 0; break;
        case shareDenyWrite: share = FILE_SHARE_READ; break;
        case shareDenyRead: share = FILE_SHARE_WRITE; break;
        case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
        default: valid = false; break;
    }
    DWORD creation = OPEN_EXISTING;
    if (flags & modeCreate) creation = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE handle = hFileNull;
    if (valid) {
        SECURITY_ATTRIBUTES security = {static_cast<DWORD>(sizeof security), nullptr,
                                        (flags & modeNoInherit) ? FALSE : TRUE};
        handle = ::CreateFileA(path.c_str(), access, share, &security, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        ::SetLastError(ERROR_INVALID_PARAMETER);
    }
    if (handle == hFileNull) {
        DWORD osError = ::GetLastError();
        if (error) {
            error->m_cause = CFileException::OsErrorToCause(osError);
            error->m_lOsError = static_cast<LONG>(osError);
            error->m_strFileName = path;
        }
        return false;
    }

    m_hFile = handle;
    char full[MAX_PATH];
    DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    m_strFileName = length > 0 && length < sizeof full ? std::string(full, length) : path;
    return true;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (count == 0) return 0;
    DWORD read = 0;
    if (!::ReadFile(m_hFile, buffer, count, &read, nullptr)) ThrowLastError();
    return read;
}

void CFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    DWORD written = 0;
    if (!::WriteFile(m_hFile, buffer, count, &written, nullptr)) ThrowLastError();
    // A file that takes fewer bytes than it was given has run out of room.
    if (written != count) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

uint64_t CFile::Seek(int64_t offset, UINT from) {
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(m_hFile, distance, &position, from)) ThrowLastError();
    return static_cast<uint64_t>(position.QuadPart);
}

uint64_t CFile::GetPosition() const {
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!::SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT)) ThrowLastError();
    return static_cast<uint64_t>(position.QuadPart);
}

uint64_t CFile::GetLength() const {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(m_hFile, &size)) ThrowLastError();
    return static_cast<uint64_t>(size.QuadPart);
}

void CFile::SetLength(uint64_t length) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(length);
    if (!::SetFilePointerEx(m_hFile, distance, nullptr, FILE_BEGIN) || !::SetEndOfFile(m_hFile)) ThrowLastError();
}

void CFile::Flush() {
    if (m_hFile == hFileNull) return;
    // A file open for reading only has nothing to flush; the system refuses it with access denied.
    if (!::FlushFileBuffers(m_hFile) && ::GetLastError() != ERROR_ACCESS_DENIED) ThrowLastError();
}

void CFile::Close() {
    if (m_hFile == hFileNull) return;
    HANDLE handle = m_hFile;
    std::string name = m_strFileName;
    m_hFile = hFileNull;
    m_strFileName.clear();
    if (!::CloseHandle(handle)) CFileException::ThrowOsError(::GetLastError(), name);
}

void CFile::Abort() {
    if (m_hFile != hFileNull) ::CloseHandle(m_hFile);
    m_hFile = hFileNull;
    m_strFileName.clear();
}

std::string CFile::GetFileName() const { return gbk::NameOf(m_strFileName); }

void CFile::ThrowLastError() const { CFileException::ThrowOsError(::GetLastError(), m_strFileName); }
