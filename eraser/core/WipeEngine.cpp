// The file wipe engine: overwrites, name wiping, deletion, folder and drive walks, progress and
// cancellation. Everything runs on the user-interface thread; the run stops as soon as the progress
// dialog is gone.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "BlockWrite.h"
#include "EraseProgressDlg.h"
#include "File.h"
#include "FileException.h"
#include "FileFind.h"
#include "GbkText.h"
#include "StdioFile.h"
#include "UiSeam.h"
#include "WiperView.h"

namespace {

const uint64_t kSizeUnknown = ~0ull;
// Paths live in 260-byte buffers on the system's side: 259 characters and the terminating zero.
const size_t kMaxPathChars = 259;
const uint32_t kDefaultBlock = 0x100000;
const uint64_t kTwoMiB = 0x200000;
const uint64_t kTenMiB = 0xA00000;
const int kNsaPasses = 12;
const char kNsaTail[] = "11110110";

const char kInUse[] = "\n文件正在使用中,请先关闭后再试!";
const char kSizeQueryFailed[] = "\n对该文件操作失败或它正在使用中!";
const char kPathTooLong[] = "\n路径太长, 无法处理!";
const char kFolderNotRemoved[] = "删除文件夹失败!";

void Warn(const std::string& text) { AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

// A path that does not fit is refused whole: cutting it short would name another file.
bool PathFits(const std::string& path) {
    if (path.size() <= kMaxPathChars) return true;
    Warn(path + kPathTooLong);
    return false;
}

void RestoreAttributes(const std::string& path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesA(path.c_str(), attributes);
}

// Ends an overwrite that cannot go on: the run stops and the file gets its attributes back.
bool StopRun(const std::string& path, DWORD savedAttributes) {
    DestroyProgressDialog();
    RestoreAttributes(path, savedAttributes);
    return false;
}

// Ends an overwrite whose write failed: the file is let go, the user told why, the run stopped.
bool StopAfterWriteError(CFile& file, const CFileException& error, const std::string& path, DWORD savedAttributes) {
    file.Abort();
    error.ReportError();
    return StopRun(path, savedAttributes);
}

// A function of a system library looked up by name (it may be missing on older systems).
template <class Function>
Function LookUp(const char* module, const char* name) {
    HMODULE library = ::GetModuleHandleA(module);
    FARPROC found = library ? ::GetProcAddress(library, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The pattern buffer a file needs: one block, or less for a file smaller than a block (a small
// file must not cost a megabyte of memory to fill), never empty.
size_t BufferBytes(uint32_t blockSize, uint64_t fileSize) {
    return static_cast<size_t>(std::max<uint64_t>(1, std::min<uint64_t>(blockSize, fileSize)));
}

unsigned char FillByte(int32_t pattern, unsigned char current) {
    switch (pattern) {
        case kPattern0000: return 0x00;
        case kPattern1111: return 0xFF;
        case kPattern0101: return 0x55;
        case kPattern1010: return 0xAA;
        case kPatternNsa: return 0x00;
        default: return current;  // an unknown code leaves the buffer as it is
    }
}

// Takes at most one waiting message before a block write. True when the user has confirmed Cancel;
// the message taken then is dropped and the flag cleared.
bool CancelRequested() {
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (g_progressDlg && g_progressDlg->cancelFlag) {
        g_progressDlg->cancelFlag = 0;
        return true;
    }
    // The dialog's own keys (Tab, Esc, Enter) work; the disabled main window's accelerators must not.
    if (!g_progressDlg || !::IsDialogMessageA(g_progressDlg->m_hWnd, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return false;
}

// The offset of the first '\' that is a character of its own, or npos.
size_t FindFirstBackslash(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (gbk::IsLeadByte(c) && i + 1 < path.size()) {
            ++i;
        } else if (c == '\\') {
            return i;
        }
    }
    return std::string::npos;
}

struct FileDisposition {
    BOOLEAN deleteFile;
};
typedef NTSTATUS(NTAPI* SetInformationFileFn)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

}  // namespace

void FlushToDisk(CFile& file) {
    file.Flush();
    if (dynamic_cast<CStdioFile*>(&file) && !::FlushFileBuffers(file.m_hFile)) {
        CFileException::ThrowOsError(::GetLastError(), file.GetFilePath());
    }
}

bool WriteBlocks(CFile& file, const unsigned char* block, uint32_t blockSize, uint64_t size, BlockPacer& pacer) {
    const uint64_t blocks = size / blockSize;
    const uint32_t rest = static_cast<uint32_t>(size % blockSize);
    for (uint64_t i = 0; i < blocks || (i == blocks && rest > 0); ++i) {
        uint32_t count = i < blocks ? blockSize : rest;
        if (!pacer.BeforeBlock()) return false;
        file.Write(block, count);
        pacer.AfterBlock(count);
    }
    return true;
}

// The entry is opened as itself and deleted
// only when the opened object says it is a reparse point; a system that opens the target instead
// (Wine does) leaves the link in place, and its folder then cannot be removed.
bool RemoveLink(const std::string& path) {
    SetInformationFileFn setInformation = LookUp<SetInformationFileFn>("ntdll.dll", "NtSetInformationFile");
    if (!setInformation) return false;
    HANDLE link = ::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (link == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(link, &info) && IsLink(info.dwFileAttributes)) {
        IO_STATUS_BLOCK status;
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            // A read-only link cannot be deleted; its own attributes change, the target's stay.
            FILE_BASIC_INFORMATION basic = {};  // zero times: left as they are
            basic.FileAttributes = info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
            if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            setInformation(link, &status, &basic, sizeof basic, FileBasicInformation);
        }
        FileDisposition disposition = {TRUE};
        removed = setInformation(link, &status, &disposition, sizeof disposition,
                                 FileDispositionInformation) >= 0;
    }
    ::CloseHandle(link);
    return removed;
}

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void MarkSmallVolume(uint64_t measured, int32_t& small1024, int32_t& small256) {
    if (measured < kTwoMiB) small256 = 1;
    if (measured > kTwoMiB && measured < kTenMiB) small1024 = 1;
}

uint64_t QueryWipeSize(const std::string& path) {
    if (path.size() == 2) return 1;
    if (!PathFits(path)) return kSizeUnknown;
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    bool normalised = attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) != 0;
    if (normalised) ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    uint64_t size = kSizeUnknown;
    if (file == INVALID_HANDLE_VALUE) {
        Warn(path + kSizeQueryFailed);
    } else {
        DWORD high = 0;
        ::SetLastError(NO_ERROR);
        DWORD low = ::GetFileSize(file, &high);
        if (low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR) size = (static_cast<uint64_t>(high) << 32) | low;
        ::CloseHandle(file);
    }
    if (normalised) ::SetFileAttributesA(path.c_str(), attributes);
    return size;
}

uint32_t CWiperView::ChooseBlockSize() const {
    if (small1024) return 1024;
    if (small256) return 256;
    return settings.bufferBytes > 0 ? static_cast<uint32_t>(settings.bufferBytes) : kDefaultBlock;
}

void CWiperView::UpdateSmallVolumeFlags(const std::string& path) {
    std::string root;
    if (path.size() == 2) {
        root = path + "\\";
    } else {
        size_t first = FindFirstBackslash(path);
        root = first == std::string::npos ? path : path.substr(0, first + 1);
    }
    typedef BOOL(WINAPI * DiskFreeSpaceFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    DiskFreeSpaceFn diskFreeSpace = LookUp<DiskFreeSpaceFn>("kernel32.dll", "GetDiskFreeSpaceExA");
    // One variable takes both the free bytes available and the total: the value is the one the
    // system writes last. A failed or missing measurement counts as 0.
    ULARGE_INTEGER measured;
    measured.QuadPart = 0;
    if (diskFreeSpace && !diskFreeSpace(root.c_str(), &measured, &measured, nullptr)) measured.QuadPart = 0;
    MarkSmallVolume(measured.QuadPart, small1024, small256);
}

bool CWiperView::CanOpenForRead(const std::string& path) {
    if (!PathFits(path)) return false;
    // Others may keep the file open meanwhile: whether they let us write is the overwrite's question.
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone, &error)) {
        error.ReportError();
        return false;
    }
    file.Abort();
    return true;
}

std::string CWiperView::PassText(bool nsa) const {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d", StageCounter + 1, nsa ? 6 : settings.passes);
    return text;
}

void CWiperView::AccountProgress(uint64_t n, bool nsa) {
    g_progressTotals.done += nsa ? n / kNsaPasses : n;
    if (g_progressTotals.total == 0 || !g_progressDlg) return;
    uint64_t percent = g_progressTotals.Percent();
    delta = percent > stageBase ? percent - stageBase : 0;
    uint64_t stage = nsa ? delta * 6 : delta;
    if (stage > 100) {
        stageBase = percent;
        ++StageCounter;
        delta = 0;
        stage = 0;
        g_progressDlg->currentBar.SetPos(103);
        g_progressDlg->SetPassText(PassText(nsa));
    }
    barTotal_ = static_cast<int>(std::min<uint64_t>(percent + 3, INT_MAX));
    barCurrent_ = static_cast<int>(std::min<uint64_t>(stage + 3, INT_MAX));
    if (::GetTickCount() - barsShownAt_ >= kBarInterval) ShowBars();
    if (!nsa) g_progressDlg->SetPassText(PassText(nsa));
}

void CWiperView::ShowBars() {
    if (!g_progressDlg || g_progressTotals.total == 0) return;  // a run without totals leaves the bars alone
    g_progressDlg->totalBar.SetPos(barTotal_);
    g_progressDlg->currentBar.SetPos(barCurrent_);
    barsShownAt_ = ::GetTickCount();
}

bool CWiperView::WritePass(CFile& file, const unsigned char* block, uint32_t blockSize, uint64_t blocks,
                           uint32_t rest, bool nsa) {
    // The run's pacing: the one-message pump with its Cancel check, and the bars.
    struct RunPacer : BlockPacer {
        CWiperView* view;
        bool nsa;
        RunPacer(CWiperView* v, bool n) : view(v), nsa(n) {}
        bool BeforeBlock() override { return !CancelRequested(); }
        void AfterBlock(uint32_t bytes) override { view->AccountProgress(bytes, nsa); }
    } pacer(this, nsa);
    if (WriteBlocks(file, block, blockSize, blocks * blockSize + rest, pacer)) return true;
    // The file stays under its name, overwritten as far as the passes got.
    DestroyProgressDialog();
    FlushToDisk(file);
    file.Close();
    return false;
}

void CWiperView::EndPass(CFile& file, const std::string& path, int pass) {
    // Each pass reaches the disk before the next begins, or the cache could merge them.
    FlushToDisk(file);
    ShowBars();
    if (passObserver) passObserver->PassWritten(path, pass);
}

bool CWiperView::CustomOverwrite(const std::string& path, DWORD savedAttributes, bool probeFirst,
                                 const uint64_t* measured) {
    if (!PathFits(path)) return false;
    uint32_t blockSize = ChooseBlockSize();
    uint64_t size = measured ? *measured : QueryWipeSize(path);
    uint64_t blocks = size / blockSize;
    uint32_t rest = static_cast<uint32_t>(size % blockSize);
    std::vector<unsigned char> block(BufferBytes(blockSize, size));

    // Nobody else may write while we do; readers may watch.
    const UINT openFlags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyWrite;
    CFile file;
    if (probeFirst) {
        CFile probe;
        if (!probe.Open(path, CFile::modeWrite)) {
            Warn(path + kInUse);
            return StopRun(path, savedAttributes);
        }
        probe.Abort();
    }
    if (!file.Open(path, openFlags)) {
        if (!probeFirst) Warn(path + kInUse);
        return StopRun(path, savedAttributes);
    }
    if (size == kSizeUnknown) {
        // The size query failed (its message is shown) although the file opened: writing on would
        // never end.
        file.Abort();
        return StopRun(path, savedAttributes);
    }

    try {
        if (size != 0) {
            for (int pass = 1; pass <= settings.passes; ++pass) {
                if (!g_progressDlg) return false;
                g_progressDlg->SetStatusText(path);
                g_progressDlg->SetPassText(PassText(false));
                std::fill(block.begin(), block.end(), FillByte(settings.pattern, block[0]));
                if (!WritePass(file, block.data(), blockSize, blocks, rest, false)) return false;
                EndPass(file, path, pass);
                file.SeekToBegin();
            }
        }
        // Every pass has been flushed already; nothing is left to push.
        file.Close();
    } catch (const CFileException& error) {
        return StopAfterWriteError(file, error, path, savedAttributes);
    }
    return true;
}

bool CWiperView::NsaOverwrite(const std::string& path, DWORD savedAttributes, const uint64_t* measured) {
    if (!PathFits(path)) return false;
    uint32_t blockSize = ChooseBlockSize();
    uint64_t size = measured ? *measured : QueryWipeSize(path);
    uint64_t blocks = size / blockSize;
    uint32_t rest = static_cast<uint32_t>(size % blockSize);
    std::vector<unsigned char> block(BufferBytes(blockSize, size));

    CStdioFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyWrite |
                             CFile::typeBinary)) {
        Warn(path + kInUse);
        return StopRun(path, savedAttributes);
    }
    if (size == kSizeUnknown) {
        file.Abort();
        return StopRun(path, savedAttributes);
    }
    if (size == 0) return true;
    if (!g_progressDlg) return false;

    try {
        g_progressDlg->SetStatusText(path);
        for (int pass = 1; pass <= kNsaPasses; ++pass) {
            // Six passes of 0x00, then six of 0x01.
            if (pass == 1 || pass == 7) std::fill(block.begin(), block.end(), pass == 1 ? 0x00 : 0x01);
            if (pass > 6) file.SeekToBegin();
            if (g_progressDlg) g_progressDlg->SetPassText(PassText(true));
            if (!WritePass(file, block.data(), blockSize, blocks, rest, true)) return false;
            EndPass(file, path, pass);
            if (pass <= 6) file.SeekToBegin();
        }
        // Right after the last original byte: the file grows by the tail.
        file.Write(kNsaTail, sizeof kNsaTail - 1);
        file.Flush();
        file.Close();
    } catch (const CFileException& error) {
        return StopAfterWriteError(file, error, path, savedAttributes);
    }

    // The stream is closed; a fresh handle pushes whatever the system still caches to the disk.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::FlushFileBuffers(handle);
        ::CloseHandle(handle);
    }
    return true;
}

void CWiperView::WipeFileName(const std::string& path) {
    size_t last = gbk::FindLastBackslash(path);
    size_t nameStart = last == std::string::npos ? 0 : last + 1;
    size_t nameLength = path.size() - nameStart;
    if (nameLength == 0) return;
    std::string zeroName = path.substr(0, nameStart) + std::string(nameLength, '0');
    // rename never replaces a file that already bears the zero name; the file is then deleted
    // under its own name by the caller.
    if (std::rename(path.c_str(), zeroName.c_str()) == 0) ::DeleteFileA(zeroName.c_str());
}

bool CWiperView::EraseFileItem(const std::string& path) {
    if (!CanOpenForRead(path)) return false;
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM))) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (!g_progressDlg) return false;
    bool overwritten = options.nsa ? NsaOverwrite(path, attributes) : CustomOverwrite(path, attributes, options.wipeNames);
    if (!overwritten) return false;
    if (options.wipeNames) WipeFileName(path);
    ::DeleteFileA(path.c_str());
    return true;
}

bool CWiperView::WipeFolder(const std::string& folder) {
    const std::string pattern = folder + "\\*.*";
    if (pattern.size() > kMaxPathChars) {
        Warn(folder + kPathTooLong);
        return false;
    }
    bool isDrive = folder.size() == 2;
    if (!isDrive && IsLink(::GetFileAttributesA(folder.c_str()))) {
        // The item itself is a link: only the link goes.
        if (RemoveLink(folder)) return true;
        Warn(kFolderNotRemoved);
        return false;
    }

    CFileFind finder;
    bool more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots()) continue;
        const std::string child = folder + "\\" + finder.GetFileName();
        if (!PathFits(child)) return false;
        if (IsLink(finder.GetAttributes())) {
            // Never entered or overwritten; a link that stays keeps its folder from being removed.
            RemoveLink(child);
            continue;
        }
        if (finder.IsDirectory()) {
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (child != folder + "\\RECYCLER" && child != folder + "\\System Volume Information") {
                if (!WipeFolder(child)) return false;
            }
            continue;
        }
        if (!CanOpenForRead(child)) return false;
        // A size that cannot be read goes on to the overwrite, which refuses the file and stops the run
        // (the size query has said why; the overwrite does not ask again).
        uint64_t size = QueryWipeSize(child);
        DWORD saved = finder.GetAttributes();  // the size query puts back any attributes it changed
        ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (size != 0) {
            // Files inside a folder keep their names, whatever the wipe-names option says.
            bool overwritten = options.nsa ? NsaOverwrite(child, saved, &size)
                                           : CustomOverwrite(child, saved, options.wipeNames, &size);
            if (!overwritten) return false;
        }
        ::DeleteFileA(child.c_str());
    }
    finder.Close();

    // A drive text ("D:") names the drive's current folder to the system, not its root: its removal
    // is never attempted (the root of a drive cannot be removed anyway).
    if (isDrive) return true;
    ::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::RemoveDirectoryA(folder.c_str())) {
        Warn(kFolderNotRemoved);
        return false;
    }
    return true;
}

bool CWiperView::WipeDrive(const std::string& drive) { return WipeFolder(drive.substr(0, 2)); }
