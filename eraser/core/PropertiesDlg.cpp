#include "PropertiesDlg.h"

#include <cstdio>
#include <utility>

#include "GbkText.h"
#include "ListText.h"
#include "WinApp.h"
#include "resource.h"

namespace {

const size_t kMaxPathChars = 259;

uint64_t SizeOf(const WIN32_FIND_DATAA& entry) {
    return (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

}  // namespace

CPropertiesDlg::CPropertiesDlg(std::vector<Item> items, HWND parent)
    : CDialog(IDD_PROPERTIES, parent), items_(std::move(items)) {}

CPropertiesDlg::~CPropertiesDlg() { StopWorker(); }

bool CPropertiesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    stop_ = false;
    notify_ = m_hWnd;
    DWORD id = 0;
    worker_ = ::CreateThread(nullptr, 0, WorkerMain, this, 0, &id);
    if (!worker_) {
        // Without a worker the counting is done here; the dialog only opens later.
        Count();
        ShowCounts();
    }
    return true;
}

DWORD WINAPI CPropertiesDlg::WorkerMain(LPVOID self) {
    CPropertiesDlg* dialog = static_cast<CPropertiesDlg*>(self);
    dialog->Count();
    // Only a posted message crosses back: the dialog writes its own controls on its own thread, so
    // a dialog waiting for this thread can never be waiting for itself.
    if (!dialog->stop_) ::PostMessageA(dialog->notify_, WM_PROPERTIES_COUNTED, 0, 0);
    return 0;
}

void CPropertiesDlg::Count() {
    for (const Item& item : items_) {
        if (stop_) return;
        if (item.isFile) {
            ++fileCount;
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (::GetFileAttributesExA(item.path.c_str(), GetFileExInfoStandard, &data)) {
                totalBytes += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
        } else {
            ++folderCount;
            SumFolder(item.path);
        }
    }
}

void CPropertiesDlg::SumFolder(const std::string& folder) {
    const std::string prefix = gbk::WithBackslash(folder);
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((prefix + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        // A junction, symbolic link or mount point is not part of the folder: its target is
        // elsewhere, and may even contain the folder itself.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const std::string child = prefix + name;
            if (child.size() <= kMaxPathChars) SumFolder(child);
        } else {
            totalBytes += SizeOf(entry);
        }
    } while (!stop_ && ::FindNextFileA(search, &entry));
    ::FindClose(search);
}

void CPropertiesDlg::ShowCounts() {
    SetDlgItemText(IDC_PROP_FILES, GroupThousands(static_cast<uint64_t>(fileCount.load())));
    SetDlgItemText(IDC_PROP_FOLDERS, GroupThousands(static_cast<uint64_t>(folderCount.load())));
    SetDlgItemText(IDC_PROP_SIZE, TotalSizeText(totalBytes, AfxLoadString(IDS_BYTES)));
}

void CPropertiesDlg::StopWorker() {
    if (worker_) {
        stop_ = true;
        ::WaitForSingleObject(worker_, INFINITE);
        ::CloseHandle(worker_);
        worker_ = nullptr;
    }
    fileCount = 0;
    folderCount = 0;
    totalBytes = 0;
}

LRESULT CPropertiesDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PROPERTIES_COUNTED:
        ShowCounts();
        return 0;
    case WM_CLOSE:
        StopWorker();
        if (IsModal()) {
            EndDialog(IDCANCEL);
        } else {
            DestroyWindow();
        }
        return 0;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
