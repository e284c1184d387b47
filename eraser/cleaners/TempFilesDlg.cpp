#include "TempFilesDlg.h"

#include <cstdio>
#include <vector>

#include "BlockWrite.h"
#include "DialogPacer.h"
#include "File.h"
#include "FileException.h"
#include "FileFind.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const DWORD kTempBuffer = 500;
// Paths live in 260-byte buffers: 259 characters and the terminating zero.
const size_t kMaxPathChars = MAX_PATH - 1;
const uint32_t kBlock = 512;
const int kBarStart = 3;
const int kBarEnd = 103;

struct Unit {
    uint64_t size;
    const char* format;
};
const Unit kUnits[] = {{1ull << 30, "%.2f G"}, {1ull << 20, "%.2f M"}, {1ull << 10, "%.2f K"}};

// "%.2f K", "%.2f M" or "%.2f G" of the size in its unit; empty under 1 KiB.
std::string UnitPart(uint64_t size) {
    for (const Unit& unit : kUnits) {
        if (size >= unit.size) {
            char text[64];
            std::snprintf(text, sizeof text, unit.format, static_cast<double>(size) / static_cast<double>(unit.size));
            return text;
        }
    }
    return "";
}

}  // namespace

std::string WithThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string TempSizeText(uint64_t size) {
    return AfxLoadString(IDS_TEMP_SIZE) + UnitPart(size) + "(" + WithThousands(size) + ") " + AfxLoadString(IDS_BYTES);
}

std::string SummarySizeText(uint64_t size) {
    if (size < 1024) return std::to_string(size) + " " + AfxLoadString(IDS_BYTES);
    return UnitPart(size);
}

CTempSummaryDlg::CTempSummaryDlg(HWND parent) : CDialog(IDD_TEMP_SUMMARY, parent) {}

bool CTempSummaryDlg::OnInitDialog() {
    title = AfxLoadString(IDS_TEMP_SUMMARY_TITLE);
    return CDialog::OnInitDialog();
}

void CTempSummaryDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_SUMMARY_ERASED_COUNT, erasedCount);
    DDX_Text(dx, IDC_SUMMARY_ERASED_SIZE, erasedSize);
    DDX_Text(dx, IDC_SUMMARY_KEPT_COUNT, keptCount);
    DDX_Text(dx, IDC_SUMMARY_KEPT_SIZE, keptSize);
    DDX_Text(dx, IDC_SUMMARY_TITLE, title);
}

CTempFilesDlg::CTempFilesDlg(HWND parent) : CDialog(IDD_TEMP_FILES, parent), logPath(ProgramDirectory() + "log.txt") {}

void CTempFilesDlg::DoDataExchange(CDataExchange* dx) {
    progress_.m_hWnd = dx->Control(IDC_CLEANER_PROGRESS);
    DDX_Text(dx, IDC_TEMP_PERCENT, percentText_);
}

std::string CTempFilesDlg::TempFolder() {
    char path[kTempBuffer] = {};
    DWORD length = ::GetTempPathA(kTempBuffer, path);
    // A longer path is refused whole rather than cut into another folder's name.
    return length == 0 || length >= kTempBuffer ? std::string() : std::string(path, length);
}

bool CTempFilesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    std::string folder = TempFolder();
    if (!folder.empty()) Measure(folder);
    SetDlgItemText(IDC_TEMP_SIZE, TempSizeText(totalSize));
    return true;
}

void CTempFilesDlg::Measure(const std::string& folder) {
    CFileFind finder;
    bool more = finder.FindFile(folder + "*.*");
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots() || IsLink(finder.GetAttributes())) continue;
        const std::string child = folder + finder.GetFileName();
        if (finder.IsDirectory()) {
            if (child.size() < kMaxPathChars) Measure(child + "\\");
        } else {
            // A file the wipe skips for its long path is counted, and so shows as not erased.
            ++totalCount;
            totalSize += finder.GetLength();
        }
    }
}

void CTempFilesDlg::OnCancel() {
    cancelFlag = 1;
    CDialog::OnCancel();
}

void CTempFilesDlg::OnOK() {
    GetDlgItem(IDOK).EnableWindow(false);
    progress_.SetRange32(0, kBarEnd);
    progress_.SetPos(kBarStart);
    std::string folder = TempFolder();
    if (!folder.empty()) WipeTree(folder);
    progress_.SetPos(kBarEnd);
    percentText_ = "100%";
    UpdateData(false);

    CTempSummaryDlg summary(m_hWnd);
    summary.erasedCount = std::to_string(erasedCount);
    summary.keptCount = std::to_string(totalCount - erasedCount);
    summary.erasedSize = SummarySizeText(erasedSize);
    summary.keptSize = SummarySizeText(totalSize > erasedSize ? totalSize - erasedSize : 0);
    summary.DoModal();

    AppendLogEntry(logPath, AfxLoadString(IDS_TEMP_WIPED));
    EndDialog(IDOK);
}

void CTempFilesDlg::WipeTree(const std::string& folder) {
    CFileFind finder;
    bool more = finder.FindFile(folder + "*.*");
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots()) continue;
        const std::string child = folder + finder.GetFileName();
        if (IsLink(finder.GetAttributes())) {
            // Only the link goes; what it points to lies outside the temporary folder.
            RemoveLink(child);
            continue;
        }
        // Cut short, the path would name another file: skipped whole, left in place.
        if (child.size() > kMaxPathChars) continue;
        if (finder.IsDirectory()) {
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            WipeTree(child + "\\");
            ::RemoveDirectoryA(child.c_str());
        } else if (WipeFile(child, finder.GetLength())) {
            ++erasedCount;
            erasedSize += finder.GetLength();
        }
    }
}

bool CTempFilesDlg::WipeFile(const std::string& path, uint64_t size) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive)) {
        failureFlag = 1;
        return false;
    }

    // The percentage after each block.
    struct TempPacer : DialogPacer {
        CTempFilesDlg& dialog;
        explicit TempPacer(CTempFilesDlg& d) : DialogPacer(d.m_hWnd, d.cancelFlag), dialog(d) {}
        void AfterBlock(uint32_t bytes) override {
            dialog.written += bytes;
            // A file that grew since the measuring can take the count past the total.
            dialog.percent = dialog.totalSize ? static_cast<int>(dialog.written * 100 / dialog.totalSize) : 100;
            dialog.percentText_ = std::to_string(dialog.percent) + "%";
            dialog.UpdateData(false);
            dialog.progress_.SetPos(dialog.percent + kBarStart);
        }
    } pacer(*this);
    const std::vector<unsigned char> zeros(kBlock, 0);
    try {
        bool complete = WriteBlocks(file, zeros.data(), kBlock, size, pacer);
        // Zeros that only reached the cache would not outlive the deletion.
        FlushToDisk(file);
        file.Close();
        if (!complete) return false;  // given up: the file stays where it is
    } catch (const CFileException&) {
        file.Abort();
        return false;
    }
    return ::DeleteFileA(path.c_str()) != FALSE;
}
