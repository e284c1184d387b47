#include "FreeSpaceFill.h"

#include <algorithm>

#include "DiskWipeText.h"

namespace {

bool IsDiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

}  // namespace

void QueryDiskSpace(const std::string& root, uint64_t& total, uint64_t& free, uint64_t& callerFree) {
    total = free = callerFree = 0;
    // Looked up by name: the first Windows 95 has no GetDiskFreeSpaceExA.
    using Query = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(kernel ? ::GetProcAddress(kernel, "GetDiskFreeSpaceExA") : nullptr));
    ULARGE_INTEGER available = {}, size = {}, unused = {};
    if (!query || !query(root.c_str(), &available, &size, &unused)) return;
    total = size.QuadPart;
    free = unused.QuadPart;
    callerFree = available.QuadPart;
}

Win32FillVolume::Win32FillVolume(const std::string& drive) : root_(drive + "\\") {}

uint64_t Win32FillVolume::FreeBytes() {
    uint64_t total, free, callerFree;
    QueryDiskSpace(root_, total, free, callerFree);
    return free;
}

bool Win32FillVolume::Create(const std::string& path, DWORD& error) {
    Close();
    file_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = file_ == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    return file_ != INVALID_HANDLE_VALUE;
}

bool Win32FillVolume::Write(const void* data, uint32_t count, uint32_t& written, DWORD& error) {
    DWORD done = 0;
    BOOL ok = ::WriteFile(file_, data, count, &done, nullptr);
    written = done;
    error = ok ? 0 : ::GetLastError();
    return ok != FALSE;
}

void Win32FillVolume::Close() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool Win32FillVolume::Delete(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

void FreeSpaceFill::RemoveTempFiles() {
    volume_.Close();
    for (auto path = made_.rbegin(); path != made_.rend(); ++path) volume_.Delete(*path);
}

FillResult FreeSpaceFill::Run(uint64_t startFree) {
    made_.clear();
    written_ = 0;
    lastError_ = 0;
    const uint64_t total = startFree;
    // A drive with less than one chunk free is filled in hundredths of its free space.
    const bool smallDrive = startFree > 0 && startFree < kChunk;
    const std::vector<char> zeros(kChunk, 0);
    unsigned writes = 0;
    for (unsigned n = 0;; ++n) {
        uint32_t chunk = kChunk;
        if (smallDrive) {
            uint64_t left = total > written_ ? total - written_ : 0;
            chunk = static_cast<uint32_t>(std::min<uint64_t>(std::max<uint64_t>(left / 100, 1), kChunk));
        }
        const std::string path = TempFilePath(drive_, n);
        DWORD error = 0;
        if (!volume_.Create(path, error)) {
            lastError_ = error;
            RemoveTempFiles();
            return FillResult::cannotCreate;
        }
        made_.push_back(path);
        bool fresh = true;  // the file has taken no byte yet
        for (;;) {
            if (observer_.Cancelled()) {
                RemoveTempFiles();
                return FillResult::cancelled;
            }
            uint32_t done = 0;
            const bool wrote = volume_.Write(zeros.data(), chunk, done, error);
            if (observer_.Cancelled()) {
                RemoveTempFiles();
                return FillResult::cancelled;
            }
            if (wrote && done > 0) {
                fresh = false;
                written_ += done;
                observer_.Progress(FillPercent(written_, total), ++writes);
                continue;
            }
            if (wrote) error = ERROR_DISK_FULL;  // nothing taken: the same as a full disk
            lastError_ = error;
            if (!IsDiskFull(error)) {
                // Any other failure: the next temp file, unless this one never took a byte (then a
                // new one would fail the same way, file after file).
                if (fresh) {
                    RemoveTempFiles();
                    return FillResult::writeFailed;
                }
                volume_.Close();
                break;
            }
            const uint64_t left = volume_.FreeBytes();
            if (left > kChunk && !fresh) {
                // The file has reached the file system's size limit while the drive has room.
                volume_.Close();
                break;
            }
            // The last megabytes go in halving writes. Each is smaller than the one before, so the
            // loop ends even when the reported free space does not shrink.
            uint64_t half = std::min<uint64_t>(left / 2, chunk / 2);
            if (left < 2 || half == 0) {
                RemoveTempFiles();
                return FillResult::full;
            }
            chunk = static_cast<uint32_t>(half);
        }
    }
}
