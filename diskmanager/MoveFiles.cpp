#include "MoveFiles.h"

#include "GbkText.h"

namespace {

HANDLE HandleOf(MoveFiles::File file) { return static_cast<HANDLE>(file); }

MoveFiles::File FileOf(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

MoveFiles::Kind KindOf(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return MoveFiles::Kind::link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? MoveFiles::Kind::folder : MoveFiles::Kind::file;
}

}  // namespace

MoveFiles::Kind Win32MoveFiles::Probe(const std::string& path, uint64_t& size) {
    size = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return Kind::none;
    const Kind kind = KindOf(data.dwFileAttributes);
    if (kind == Kind::file) size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return kind;
}

bool Win32MoveFiles::List(const std::string& folder, std::vector<Entry>& entries) {
    entries.clear();
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((gbk::WithBackslash(folder) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const Kind kind = KindOf(found.dwFileAttributes);
        const uint64_t size =
            kind == Kind::file ? (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow : 0;
        entries.push_back({name, kind, size});
    } while (::FindNextFileA(search, &found));
    const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(search);
    return complete;
}

uint64_t Win32MoveFiles::FreeBytes(const std::string& root) {
    ULARGE_INTEGER available = {}, total = {}, free = {};
    if (!::GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) return 0;
    return available.QuadPart;
}

bool Win32MoveFiles::MakeFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool Win32MoveFiles::Rename(const std::string& from, const std::string& to) {
    return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool Win32MoveFiles::RemoveFile(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileA(path.c_str()) != 0;
}

bool Win32MoveFiles::RemoveFolder(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

MoveFiles::File Win32MoveFiles::OpenRead(const std::string& path) {
    return FileOf(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

MoveFiles::File Win32MoveFiles::CreateWrite(const std::string& path) {
    return FileOf(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool Win32MoveFiles::Read(File file, void* buffer, uint32_t count, uint32_t& got) {
    DWORD done = 0;
    const BOOL ok = ::ReadFile(HandleOf(file), buffer, count, &done, nullptr);
    got = done;
    return ok != FALSE;
}

bool Win32MoveFiles::Rewind(File file) {
    LONG high = 0;
    return ::SetFilePointer(HandleOf(file), 0, &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
           ::GetLastError() == NO_ERROR;
}

bool Win32MoveFiles::Write(File file, const void* data, uint32_t count) {
    DWORD done = 0;
    return ::WriteFile(HandleOf(file), data, count, &done, nullptr) && done == count;
}

bool Win32MoveFiles::Flush(File file) { return ::FlushFileBuffers(HandleOf(file)) != FALSE; }

void Win32MoveFiles::CopyTimes(File from, File to) {
    FILETIME created, accessed, written;
    if (::GetFileTime(HandleOf(from), &created, &accessed, &written))
        ::SetFileTime(HandleOf(to), &created, &accessed, &written);
}

void Win32MoveFiles::Close(File file) {
    if (file) ::CloseHandle(HandleOf(file));
}
