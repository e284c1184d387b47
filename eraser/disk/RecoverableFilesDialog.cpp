// The recoverable-files check. The scan runs in a worker thread; every record it finds is handed to
// this dialog's thread by SendMessage (message 0x40A), where it is filtered and listed.
#include "RecoverableFilesDialog.h"

#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Controls.h"
#include "GbkText.h"
#include "RecoveryFilters.h"
#include "UiSeam.h"
#include "VolumeDevice.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/ExplorerFile.htm";
const int kDiskItemHeight = 18;
const size_t kMaxText = 254;

long TodayDayNumber() {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    return LocalDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string Clip(const std::string& text, size_t most) {
    if (text.size() <= most) return text;
    // Never end on the lead byte of a double-byte character.
    size_t end = 0;
    for (size_t at = 0; at < most;) {
        size_t step = ::IsDBCSLeadByteEx(936, static_cast<BYTE>(text[at])) ? 2 : 1;
        if (at + step > most) break;
        at += step;
        end = at;
    }
    return text.substr(0, end);
}

}  // namespace

RecoverableFilesDialog::RecoverableFilesDialog(HWND parent)
    : CDialog(IDD_RECOVERABLE_FILES, parent), today(TodayDayNumber()) {
    ::LoadLibraryA("riched20.dll");  // the preview's rich edit class
}

RecoverableFilesDialog::~RecoverableFilesDialog() {
    if (drive_) ::DeleteObject(drive_);
    if (driveMask_) ::DeleteObject(driveMask_);
}

bool RecoverableFilesDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    os_.Detect();
    SetIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)), true);
    RECT window, parent = {};
    GetWindowRect(&window);
    if (HWND owner = ::GetWindow(m_hWnd, GW_OWNER)) ::GetWindowRect(owner, &parent);
    fullHeight_ = window.bottom - window.top;
    RECT buttons;
    GetDlgItem(IDCANCEL).GetWindowRect(&buttons);
    collapsedHeight_ = std::max<int>(kCollapsedHeight, buttons.bottom + 10 - window.top);
    ::SetWindowPos(m_hWnd, nullptr, parent.left + 20, parent.top + 120, window.right - window.left, collapsedHeight_,
                   SWP_NOZORDER);
    expanded_ = false;
    CheckRadioButton(IDC_SHOW_100, IDC_SHOW_ALL, IDC_SHOW_ALL);
    drive_ = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_DRIVE));
    driveMask_ = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_DRIVE_MASK));
    FillDiskList();

    list_.m_hWnd = ::GetDlgItem(m_hWnd, IDC_FOUND_LIST);
    list_.SetExtendedStyle(list_.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    list_.InsertColumn(0, "文件名", LVCFMT_LEFT, 120);
    list_.InsertColumn(1, "目录", LVCFMT_LEFT, 150);
    list_.InsertColumn(2, "修改时间", LVCFMT_LEFT, 135);
    list_.InsertColumn(3, "大小", LVCFMT_RIGHT, 100);
    list_.SetColumnWidth(3, LVSCW_AUTOSIZE_USEHEADER);
    ShowDiskInformation();
    volume_.SetNotifyWindow(m_hWnd);
    CheckRadioButton(IDC_PREVIEW_HEX, IDC_PREVIEW_TEXT, IDC_PREVIEW_HEX);
    return true;
}

void RecoverableFilesDialog::FillDiskList() {
    CComboBox disks(::GetDlgItem(m_hWnd, IDC_DISK_COMBO));
    disks.SendMessage(CB_SETITEMHEIGHT, 0, kDiskItemHeight);
    disks.SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), kDiskItemHeight);
    char roots[200] = {};
    const DWORD length = ::GetLogicalDriveStringsA(sizeof roots, roots);
    for (DWORD at = 0; at + 3 < sizeof roots && at < length && roots[at]; at += 4) {
        const std::string root(roots + at, 3);
        const UINT type = ::GetDriveTypeA(root.c_str());
        if (type == DRIVE_CDROM || type == DRIVE_REMOVABLE) continue;
        char fileSystem[9] = {};
        if (!::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem))
            continue;
        if (std::string(fileSystem) != "FAT32" && std::string(fileSystem) != "NTFS") continue;
        SHFILEINFOA info = {};
        ::SHGetFileInfoA(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
        disks.AddString(info.szDisplayName);
    }
    disks.SetCurSel(0);
    disks.m_hWnd = nullptr;
}

char RecoverableFilesDialog::SelectedLetter() const {
    CComboBox disks(::GetDlgItem(m_hWnd, IDC_DISK_COMBO));
    const std::string text = disks.GetLBText(disks.GetCurSel());
    disks.m_hWnd = nullptr;
    return text.size() >= 3 ? text[text.size() - 3] : 0;
}

void RecoverableFilesDialog::ShowDiskInformation() {
    const char letter = SelectedLetter();
    if (!letter) return;
    const std::string root = std::string(1, letter) + ":\\";
    char label[17] = {}, fileSystem[9] = {};
    ::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem);
    ULARGE_INTEGER available = {}, total = {}, free = {};
    ::GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free);
    SetDlgItemText(IDC_DISK_INFO, DiskInformation(letter, fileSystem, free.QuadPart, total.QuadPart));
}

void RecoverableFilesDialog::OnSearch() {
    if (!searching_.load()) {
        if (workerRunning_.load()) return;  // a stopped search is still winding down
        searching_ = 1;
        workerRunning_ = 1;
        SetDlgItemText(IDC_SEARCH, "停止");
        GetDlgItem(IDC_DISK_COMBO).EnableWindow(false);
        GetDlgItem(IDCANCEL).EnableWindow(false);
        GetDlgItem(IDC_ADVANCED_SEARCH).EnableWindow(false);
        SetDlgItemText(IDC_SEARCH_STATE, "搜索中 ...");
        SetDlgItemText(IDC_FOUND_COUNT, "");
        list_.DeleteAllItems();
        records_.clear();
        searchLetter_ = SelectedLetter();
        volume_.SetLimit(IsDlgButtonChecked(IDC_SHOW_100) == BST_CHECKED ? 100 : -1);
        HANDLE worker = ::CreateThread(nullptr, 0, SearchWorker, this, 0, nullptr);
        if (worker) {
            ::CloseHandle(worker);
        } else {
            OnSearchDone();
        }
        return;
    }
    searching_ = 0;
    volume_.Cancel();
    GetDlgItem(IDC_SEARCH).EnableWindow(false);
    GetDlgItem(IDC_ADVANCED_SEARCH).EnableWindow(true);
}

DWORD WINAPI RecoverableFilesDialog::SearchWorker(LPVOID parameter) {
    auto* self = static_cast<RecoverableFilesDialog*>(parameter);
    // The dialog cannot close while this runs (its Cancel waits for the end message below), and
    // the worker touches nothing of it after that message.
    HWND dialog = self->m_hWnd;
    diskfs::DeletedFileList found;
    try {
        const int ntFamily = (::GetVersion() & 0x80000000u) == 0 ? 1 : 0;
        if (self->volume_.Open(ntFamily, self->searchLetter_)) self->volume_.Scan(found);
    } catch (...) {
        // A failed scan ends like a finished one: with what was found so far.
    }
    ::SendMessageA(dialog, kSearchDone, 0, 0);
    return 0;
}

void RecoverableFilesDialog::OnSearchDone() {
    SetDlgItemText(IDC_SEARCH_STATE, "已完成");
    if (list_.GetItemCount() == 0) SetDlgItemText(IDC_FOUND_COUNT, "0");
    GetDlgItem(IDCANCEL).EnableWindow(true);
    GetDlgItem(IDC_ADVANCED_SEARCH).EnableWindow(true);
    GetDlgItem(IDC_DISK_COMBO).EnableWindow(true);
    SetDlgItemText(IDC_SEARCH, "搜索");
    GetDlgItem(IDC_SEARCH).EnableWindow(true);
    searching_ = 0;
    workerRunning_ = 0;
}

void RecoverableFilesDialog::OnRecordFound(const diskfs::DeletedFileRecord& record) {
    auto row = std::make_unique<DisplayRecord>();
    const size_t slash = gbk::FindLastBackslash(record.path);
    const std::string directory = slash == std::string::npos ? std::string() : record.path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? record.path : record.path.substr(slash + 1);
    row->name = Clip(name, kMaxText);
    row->directory = Clip(directory, kMaxText);
    row->timeText = Clip(record.timeText, 29);
    row->sizeKb = SizeInKb(record.size);
    row->firstCluster = record.firstCluster;
    std::memcpy(row->residentData, record.residentData, sizeof row->residentData);
    row->residentData[sizeof row->residentData - 1] = '\0';
    SetDlgItemText(IDC_SEARCH_STATE, row->name);
    if (!PassesDateFilter(g_searchFilters, record.timeText, today)) return;
    if (!PassesTypeFilter(g_searchFilters, row->name)) return;
    if (records_.size() >= kMaxRecords) return;
    SetDlgItemInt(IDC_FOUND_COUNT, list_.GetItemCount() + 1);
    const int at = list_.InsertItem(list_.GetItemCount(), row->name);
    if (at < 0) return;
    list_.SetItemText(at, 1, row->directory);
    list_.SetItemText(at, 2, row->timeText);
    list_.SetItemText(at, 3, SizeText(row->sizeKb));
    list_.SetItemData(at, reinterpret_cast<DWORD_PTR>(row.get()));
    records_.push_back(std::move(row));
}

int CALLBACK RecoverableFilesDialog::CompareRows(LPARAM first, LPARAM second, LPARAM parameter) {
    auto* self = reinterpret_cast<RecoverableFilesDialog*>(parameter);
    const auto* a = reinterpret_cast<const DisplayRecord*>(first);
    const auto* b = reinterpret_cast<const DisplayRecord*>(second);
    int order = 0;
    switch (self->sortColumn_) {
    case 0: order = ::lstrcmpA(a->name.c_str(), b->name.c_str()); break;
    case 1: order = ::lstrcmpA(a->directory.c_str(), b->directory.c_str()); break;
    case 2: order = ::lstrcmpA(a->timeText.c_str(), b->timeText.c_str()); break;
    default: order = a->sizeKb < b->sizeKb ? -1 : a->sizeKb > b->sizeKb ? 1 : 0; break;
    }
    return self->sortAscending_ ? order : -order;
}

void RecoverableFilesDialog::SortByColumn(int column) {
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    list_.SortItems(CompareRows, reinterpret_cast<LPARAM>(this));
}

void RecoverableFilesDialog::PreviewRow(int row) {
    if (row < 0 || row >= list_.GetItemCount()) return;
    const auto* record = reinterpret_cast<const DisplayRecord*>(list_.GetItemData(row));
    if (!record || record->directory.empty()) return;
    const char letter = record->directory[0];
    SetDlgItemText(IDC_PREVIEW_PATH, record->directory + record->name);
    const std::string root = std::string(1, letter) + ":\\";
    char fileSystem[9] = {};
    ::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem);
    const bool ntfs = std::string(fileSystem) == "NTFS";
    if (os_.IsNtFamily()) {
        if (ntfs && record->firstCluster == 0) {
            std::memset(preview_, 0, sizeof preview_);
            for (size_t i = 0; i < sizeof preview_ && record->residentData[i]; ++i) preview_[i] = record->residentData[i];
        } else {
            const std::string device = std::string("\\\\.\\") + letter + ":";
            HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                NtVolumeDevice volume(handle);
                ReadPreviewSector(volume, ntfs, record->firstCluster, preview_);
                ::CloseHandle(handle);
            }
        }
    } else if (volume_.DeviceHandle() != INVALID_HANDLE_VALUE) {
        Vwin32HandleTransport transport(volume_.DeviceHandle());
        Vwin32Device volume(transport, (letter | 0x20) - 'a' + 1);
        ReadPreviewSector(volume, false, record->firstCluster, preview_);
    }
    ShowPreview();
}

void RecoverableFilesDialog::ShowPreview() {
    CWnd preview = GetDlgItem(IDC_PREVIEW);
    preview.SetWindowText("");
    if (list_.GetItemCount() == 0) return;
    if (IsDlgButtonChecked(IDC_PREVIEW_HEX) == BST_CHECKED) {
        preview.SetWindowText(HexPreview(preview_));
    } else {
        preview.SetWindowText(std::string(reinterpret_cast<const char*>(preview_), strnlen(reinterpret_cast<const char*>(preview_), sizeof preview_)));
    }
}

void RecoverableFilesDialog::TogglePreview() {
    RECT window;
    GetWindowRect(&window);
    expanded_ = !expanded_;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, expanded_ ? fullHeight_ : collapsedHeight_,
                   SWP_NOMOVE | SWP_NOZORDER);
    SetDlgItemText(IDC_PREVIEW_TOGGLE, expanded_ ? "预览<<" : "预览>>");
}

void RecoverableFilesDialog::OnCancel() {
    if (workerRunning_.load()) return;  // the worker still reports to this dialog
    if (!os_.IsNtFamily() && list_.GetItemCount() > 5000) {
        ExitProgressDialog progress(m_hWnd, list_);
        progress.DoModal();
    }
    EndDialog(IDCANCEL);
}

bool RecoverableFilesDialog::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_SEARCH:
        if (code == BN_CLICKED) OnSearch();
        return true;
    case IDC_DISK_COMBO:
        if (code == CBN_SELCHANGE) ShowDiskInformation();
        return code == CBN_SELCHANGE;
    case IDC_SHOW_100:
        volume_.SetLimit(100);
        return true;
    case IDC_SHOW_ALL:
        volume_.SetLimit(-1);
        return true;
    case IDC_ADVANCED_SEARCH: {
        AdvancedSearchDialog advanced(m_hWnd);
        advanced.DoModal();
        return true;
    }
    case IDC_PREVIEW_TOGGLE:
        TogglePreview();
        return true;
    case IDC_PREVIEW_HEX:
    case IDC_PREVIEW_TEXT:
        ShowPreview();
        return true;
    case IDC_HELP_BUTTON:
        Ui().ShowHelp(ProgramDirectory() + kHelpTopic);
        return true;
    case IDOK:
        return true;  // Enter in the list: nothing
    }
    return false;
}

bool RecoverableFilesDialog::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != list_.m_hWnd) return false;
    switch (header->code) {
    case LVN_COLUMNCLICK:
        SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return true;
    case NM_CLICK:
        PreviewRow(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
        return false;
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
        const int current = list_.GetNextItem(-1, LVNI_FOCUSED);
        if (key == VK_UP && current > 0) PreviewRow(current - 1);
        if (key == VK_DOWN && current + 1 < list_.GetItemCount()) PreviewRow(current + 1);
        return false;
    }
    }
    return false;
}

void RecoverableFilesDialog::DrawDiskItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - 16) / 2;
    if (drive_ && driveMask_) {
        HDC memory = ::CreateCompatibleDC(item.hDC);
        HGDIOBJ old = ::SelectObject(memory, driveMask_);
        ::BitBlt(item.hDC, item.rcItem.left + 2, top, 16, 16, memory, 0, 0, SRCAND);
        ::SelectObject(memory, drive_);
        ::BitBlt(item.hDC, item.rcItem.left + 2, top, 16, 16, memory, 0, 0, SRCPAINT);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
    }
    char text[MAX_PATH] = {};
    ::SendMessageA(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    RECT area = item.rcItem;
    area.left += 22;
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    ::DrawTextA(item.hDC, text, -1, &area, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(item.hDC, &item.rcItem);
}

LRESULT RecoverableFilesDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case diskfs::kFoundRecordMessage:
        if (wp) OnRecordFound(*reinterpret_cast<const diskfs::DeletedFileRecord*>(wp));
        return 0;
    case kSearchDone:
        OnSearchDone();
        return 0;
    case WM_DRAWITEM:
        if (wp == IDC_DISK_COMBO) {
            DrawDiskItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        }
        break;
    case WM_MEASUREITEM:
        if (wp == IDC_DISK_COMBO) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = kDiskItemHeight;
            return TRUE;
        }
        break;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursor(nullptr, searching_.load() ? IDC_WAIT : IDC_ARROW));
        return TRUE;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
