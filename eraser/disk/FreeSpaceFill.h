#pragma once
// The fill of the free-space wipe: zero-filled temp files "~DWipeTmp0", "~DWipeTmp1" ... in the root
// of one drive until the drive is full, then every one of them deleted again. The file system is
// reached through FillVolume, so the same loop runs on a real drive and on a test double.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One drive as the fill sees it. Only one temp file is open at a time.
class FillVolume {
public:
    virtual ~FillVolume() = default;
    // The drive's free bytes now (GetDiskFreeSpaceExA's total free bytes; 0 when unknown).
    virtual uint64_t FreeBytes() = 0;
    // Creates or truncates `path` for writing; false (error in `error`) when it cannot be made.
    virtual bool Create(const std::string& path, DWORD& error) = 0;
    // Appends `count` bytes to the open file. True with `written` possibly short of `count`; false
    // with the system's error in `error` (ERROR_DISK_FULL when there is no room).
    virtual bool Write(const void* data, uint32_t count, uint32_t& written, DWORD& error) = 0;
    virtual void Close() = 0;
    virtual bool Delete(const std::string& path) = 0;
};

// FillVolume over the Win32 file functions.
class Win32FillVolume : public FillVolume {
public:
    // `drive` is the letter and colon, such as "C:".
    explicit Win32FillVolume(const std::string& drive);
    ~Win32FillVolume() override { Close(); }
    uint64_t FreeBytes() override;
    bool Create(const std::string& path, DWORD& error) override;
    bool Write(const void* data, uint32_t count, uint32_t& written, DWORD& error) override;
    void Close() override;
    bool Delete(const std::string& path) override;

private:
    std::string root_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// The free bytes of `root` (such as "C:\") through GetDiskFreeSpaceExA looked up by name; all three
// are 0 when the function is missing or fails.
void QueryDiskSpace(const std::string& root, uint64_t& total, uint64_t& free, uint64_t& callerFree);

// Told between writes; may stop the fill.
class FillObserver {
public:
    virtual ~FillObserver() = default;
    // Polled before and after every write; true ends the fill (its temp files are deleted).
    virtual bool Cancelled() = 0;
    // After every successful write: the percentage (0 to 99) and the number of writes so far.
    virtual void Progress(int percent, unsigned writes) = 0;
};

enum class FillResult {
    full,          // the drive was filled to its last byte; the temp files are gone again
    cancelled,     // the observer stopped it; the temp files are gone
    cannotCreate,  // a temp file could not be made; the temp files made before it are gone
    writeFailed,   // a fresh temp file took no byte for a reason other than a full disk; files gone
};

class FreeSpaceFill {
public:
    static constexpr uint32_t kChunk = 4u << 20;  // 4 MiB: the buffer and the usual write

    FreeSpaceFill(const std::string& drive, FillVolume& volume, FillObserver& observer)
        : drive_(drive), volume_(volume), observer_(observer) {}

    // Fills the drive whose free bytes were `startFree` when its turn began.
    FillResult Run(uint64_t startFree);

    // The temp files made by the last Run, in order (all deleted again when it returns).
    const std::vector<std::string>& TempFiles() const { return made_; }
    uint64_t Written() const { return written_; }
    // The error of the failed create or write that ended the fill.
    DWORD LastError() const { return lastError_; }

private:
    // Deletes every temp file this run made, newest first.
    void RemoveTempFiles();

    std::string drive_;
    FillVolume& volume_;
    FillObserver& observer_;
    std::vector<std::string> made_;
    uint64_t written_ = 0;
    DWORD lastError_ = 0;
};
