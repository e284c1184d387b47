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

namespace {
// SetFilePointer and GetFileSize with their high parts: the 64-bit calls of the NT family
// (SetFilePointerEx, GetFileSizeEx) are missing on Windows 95/98/Me, where the eraser also runs.
// Both return 0xFFFFFFFF in the low part both for failure and for a valid value, so the error code
// decides.
bool MovePointer(HANDLE file, int64_t offset, DWORD from, uint64_t* position) {
    LONG high = static_cast<LONG>(offset >> 32);
    ::SetLastError(NO_ERROR);
    const DWORD low = ::SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, from);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return false;
    if (position) *position = (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
}
}  // namespace

uint64_t CFile::Seek(int64_t offset, UINT from) {
    uint64_t position = 0;
    if (!MovePointer(m_hFile, offset, from, &position)) ThrowLastError();
    return position;
}

uint64_t CFile::GetPosition() const {
    uint64_t position = 0;
    if (!MovePointer(m_hFile, 0, FILE_CURRENT, &position)) ThrowLastError();
    return position;
}

uint64_t CFile::GetLength() const {
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(m_hFile, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) ThrowLastError();
    return (static_cast<uint64_t>(high) << 32) | low;
}

void CFile::SetLength(uint64_t length) {
    if (!MovePointer(m_hFile, static_cast<int64_t>(length), FILE_BEGIN, nullptr) || !::SetEndOfFile(m_hFile))
        ThrowLastError();
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
