// The disk wipe dialog and its worker. The dialog runs on the user-interface thread; the worker
// reaches its controls only by SendMessage through the window handles of its run.
#include "DiskWipeDialog.h"

#include <shellapi.h>

#include <vector>

#include "DiskVolume.h"
#include "DiskWipeText.h"
#include "FreeSpaceFill.h"
#include "OsVersionInfo.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

std::atomic<int> DiskWipeMode{1};
std::atomic<int> IncludeHardDisks{0};

namespace {

const int kStripInset = 10;        // pixels from the left and right edges
const int kStripTopFromBottom = 75;
const int kStripBottomFromBottom = 43;
const DWORD kDriveBuffer = 200;   // GetLogicalDriveStringsA's buffer: up to 50 roots of 4 characters

std::string AppTitle() {
    CWinApp* app = AfxGetApp();
    return app && !app->m_pszAppName.empty() ? app->m_pszAppName : std::string("Purgix");
}

struct SelectedItem {
    int index;
    std::string text;
};

// The selected items of `list`, in list order (asked by message, from any thread).
std::vector<SelectedItem> SelectedItems(HWND list) {
    std::vector<SelectedItem> items;
    CListCtrl control;
    control.m_hWnd = list;
    for (int item = control.GetNextItem(-1, LVNI_SELECTED); item >= 0; item = control.GetNextItem(item, LVNI_SELECTED)) {
        items.push_back({item, control.GetItemText(item, 0)});
        if (items.size() > 64) break;  // no machine has more drive letters; a broken list ends here
    }
    control.m_hWnd = nullptr;
    return items;
}

// Watches the run's cancel flag and moves the strip.
class StripObserver : public FillObserver {
public:
    explicit StripObserver(DiskWipeRun& run) : run_(run) {}
    bool Cancelled() override { return run_.cancel.load() != 0; }
    void Progress(int percent, unsigned writes) override {
        run_.percent = percent;
        TextProgressBar::SetPos(run_.strip, percent);
        if (percent != run_.lastPercent.exchange(percent)) {
            char text[16];
            wsprintfA(text, "%d%%", percent);
            TextProgressBar::SetText(run_.strip, text);
            // Windows XP leaves the strip's old text on the screen unless the dialog is redrawn there.
            if (g_osVersionInfo.winXP) {
                RECT area = {210, 170, 280, 230};
                ::InvalidateRect(run_.dialog, &area, TRUE);
            }
        }
        TextProgressBar::SetBitmap(run_.strip, writes % 2 == 0 ? IDB_STRIP_EVEN : IDB_STRIP_ODD);
    }

private:
    DiskWipeRun& run_;
};

int Tell(DiskWipeRun& run, const std::string& text, UINT flags) {
    ::PostMessageA(run.dialog, DiskWipeDialog::kReleaseMouse, 0, 0);
    HWND owner = ::IsWindow(run.dialog) ? run.dialog : nullptr;
    return Ui().ShowMessage(owner, text, AppTitle(), flags);
}

void EnableButton(DiskWipeRun& run, int id, bool enable) {
    if (HWND button = ::GetDlgItem(run.dialog, id)) ::EnableWindow(button, enable);
}

// Fills, clears and reports one drive; false when the run must end here.
bool WipeOneDrive(DiskWipeRun& run, const std::string& drive) {
    const bool partition = run.mode.load() == 0;
    const std::string failed = AfxLoadString(partition ? IDS_PARTITION_FAILED : IDS_FREE_WIPE_FAILED);
    run.finished = 0;
    run.percent = 0;
    run.lastPercent = -1;
    uint64_t total = 0, free = 0, callerFree = 0;
    QueryDiskSpace(drive + "\\", total, free, callerFree);
    if (free >= 1 && free <= 4) {
        Tell(run, failed, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    run.driveFree = free;
    run.driveWritten = 0;

    Win32FillVolume volume(drive);
    StripObserver observer(run);
    FreeSpaceFill fill(drive, volume, observer);
    FillResult filled = fill.Run(free);
    run.driveWritten = fill.Written();
    run.tempNumber = static_cast<unsigned>(fill.TempFiles().size());
    if (filled == FillResult::cancelled) return false;  // the dialog is gone: no message, no log line
    if (filled != FillResult::full) {
        AppendLogEntry(run.logPath, drive + " " + failed);
        Tell(run, failed, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    // The drive is full and its temp files are gone: now the names deleted files left behind.
    EnableButton(run, IDCANCEL, false);
    bool cleared = false;
    {
        DiskVolume names;
        if (names.Open(g_osVersionInfo.IsNtFamily() ? 1 : 0, drive[0])) cleared = names.WipeNames();
    }
    EnableButton(run, IDCANCEL, true);

    TextProgressBar::SetPos(run.strip, 100);
    TextProgressBar::SetText(run.strip, "100%");
    TextProgressBar::SetBitmap(run.strip, IDB_STRIP_EVEN);
    UINT outcome = partition ? IDS_PARTITION_DONE : (cleared ? IDS_FREE_WIPE_DONE : IDS_FREE_WIPE_FAILED);
    Tell(run, AfxLoadString(outcome), MB_OK | (outcome == IDS_FREE_WIPE_FAILED ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
    run.finished = 1;
    UINT logged = partition ? IDS_PARTITION_DONE : (cleared ? IDS_FREE_WIPE_DONE : IDS_NAMES_NOT_CLEARED);
    AppendLogEntry(run.logPath, drive + " " + AfxLoadString(logged));
    ::InvalidateRect(run.dialog, nullptr, TRUE);
    return true;
}

}  // namespace

DWORD WINAPI FreeSpaceWipeThread(LPVOID parameter) {
    std::unique_ptr<std::shared_ptr<DiskWipeRun>> handed(static_cast<std::shared_ptr<DiskWipeRun>*>(parameter));
    std::shared_ptr<DiskWipeRun> run = *handed;
    try {
        const std::vector<SelectedItem> items = SelectedItems(run->list);
        run->idle = 0;
        ::PostMessageA(run->dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(run->list), TRUE);
        EnableButton(*run, IDOK, false);
        for (const SelectedItem& item : items) {
            ::SendMessageA(run->list, LVM_SETHOTITEM, item.index, 0);
            const std::string drive = DriveOfItemText(item.text);
            if (drive.size() != 2 || drive[1] != ':') continue;
            if (!WipeOneDrive(*run, drive)) {
                run->idle = 1;
                return 0;
            }
        }
    } catch (...) {
        // Nothing may escape a thread; whatever the fill had made is deleted by its own exits.
    }
    run->idle = 1;
    EnableButton(*run, IDOK, true);
    return 0;
}

DiskWipeDialog& TheDiskWipeDialog() {
    static DiskWipeDialog dialog;
    return dialog;
}

DiskWipeDialog::DiskWipeDialog() : CDialog(IDD_DISK_WIPE), logPath(ProgramDirectory() + "log.txt") {}

bool DiskWipeDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    run_ = std::make_shared<DiskWipeRun>();
    run_->mode = DiskWipeMode.load();
    list_.m_hWnd = ::GetDlgItem(m_hWnd, IDC_ERASE_LIST);
    if (DiskWipeMode.load() == 0) SetWindowText(AfxLoadString(IDS_PARTITION_TITLE));
    RECT client;
    GetClientRect(&client);
    RECT area = {client.left + kStripInset, client.bottom - kStripTopFromBottom, client.right - kStripInset,
                 client.bottom - kStripBottomFromBottom};
    strip_.Create(m_hWnd, IDC_WIPE_STRIP, area);
    GetDlgItem(IDOK).EnableWindow(false);
    FillDriveList();
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, sizeof system);
    systemDrive = std::string(system).substr(0, 2);
    abortFlag = 0;
    someNotDeleted = 0;
    run_->dialog = m_hWnd;
    run_->list = list_.m_hWnd;
    run_->strip = strip_.m_hWnd;
    run_->logPath = logPath;
    return true;
}

void DiskWipeDialog::FillDriveList() {
    const bool freeSpace = DiskWipeMode.load() == 1;
    if (freeSpace) IncludeHardDisks = 1;
    char roots[kDriveBuffer] = {};
    const DWORD length = ::GetLogicalDriveStringsA(kDriveBuffer, roots);
    for (DWORD at = 0; at + 3 < kDriveBuffer && at < length && roots[at]; at += 4) {
        const std::string root(roots + at, 3);
        const UINT type = ::GetDriveTypeA(root.c_str());
        if (type == DRIVE_CDROM) continue;
        if (!freeSpace && type == DRIVE_FIXED && !IncludeHardDisks.load()) continue;
        SHFILEINFOA info = {};
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SHGetFileInfoA(
            root.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_ICON));
        if (images) list_.SetImageList(images, LVSIL_NORMAL);
        if (info.hIcon) ::DestroyIcon(info.hIcon);
        list_.InsertItem(list_.GetItemCount(), info.szDisplayName, info.iIcon);
    }
}

bool DiskWipeDialog::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDC_DRIVE_INFO && code == EN_SETFOCUS) {
        UpdateStartButton();
        list_.SetFocus();
        return true;
    }
    return false;
}

bool DiskWipeDialog::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != list_.m_hWnd) return false;
    switch (header->code) {
    case NM_CLICK:
    case NM_RCLICK:
        if (run_ && run_->idle.load()) {
            TextProgressBar::SetPos(strip_.m_hWnd, 0);
            TextProgressBar::SetText(strip_.m_hWnd, "");
            UpdateStartButton();
            RebuildInformation();
        }
        return false;
    case NM_KILLFOCUS:
        UpdateStartButton();
        return false;
    }
    return false;
}

void DiskWipeDialog::UpdateStartButton() {
    GetDlgItem(IDOK).EnableWindow(list_.GetSelectedCount() > 0 && run_ && run_->idle.load());
}

void DiskWipeDialog::RebuildInformation() {
    const bool freeSpace = DiskWipeMode.load() == 1;
    std::string text;
    for (int item = list_.GetNextItem(-1, LVNI_SELECTED); item >= 0; item = list_.GetNextItem(item, LVNI_SELECTED)) {
        const std::string name = list_.GetItemText(item, 0);
        uint64_t total = 0, free = 0, callerFree = 0;
        const std::string drive = DriveOfItemText(name);
        if (!drive.empty()) QueryDiskSpace(drive + "\\", total, free, callerFree);
        text += DriveInfoLine(freeSpace, name, total, free) + "\r\n";
    }
    SetDlgItemText(IDC_DRIVE_INFO, text);
    Invalidate();
}

void DiskWipeDialog::OnOK() {
    if (!run_ || !run_->idle.load() || list_.GetSelectedCount() == 0) return;
    if (DiskWipeMode.load() == 1) {
        StartWorker();
        list_.SetFocus();
    } else {
        StartPartitionWipe();
    }
}

void DiskWipeDialog::StartWorker() {
    run_->idle = 0;  // at once, so a second press cannot start a second worker
    run_->mode = DiskWipeMode.load();
    if (worker_) ::CloseHandle(worker_);
    auto* handed = new std::shared_ptr<DiskWipeRun>(run_);
    worker_ = ::CreateThread(nullptr, 0, FreeSpaceWipeThread, handed, 0, nullptr);
    if (!worker_) {
        delete handed;
        run_->idle = 1;
    }
}

void DiskWipeDialog::OnCancel() {
    if (!run_ || run_->idle.load()) {
        Close(IDCANCEL);
        return;
    }
    if (MessageBox(AfxLoadString(IDS_CONFIRM_STOP), AfxLoadString(IDS_STOP_CAPTION), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    ::ReleaseCapture();
    run_->cancel = 1;
    run_->idle = 1;
    strip_.DestroyWindow();
    Close(IDCANCEL);
}

void DiskWipeDialog::Close(int result) {
    // The system image list belongs to the system: the list lets go of it, never destroys it.
    list_.SetImageList(nullptr, LVSIL_NORMAL);
    EndDialog(result);
}

void DiskWipeDialog::OnMouseMove(POINT at) {
    if (!run_ || run_->idle.load()) return;
    RECT client;
    GetClientRect(&client);
    POINT screen = at;
    ::ClientToScreen(m_hWnd, &screen);
    HWND under = ::WindowFromPoint(screen);
    const bool overCancel = under == ::GetDlgItem(m_hWnd, IDCANCEL);
    if (run_->finished.load() || !::PtInRect(&client, at) || overCancel) {
        if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    } else if (::GetCapture() != m_hWnd) {
        ::SetCapture(m_hWnd);
    }
}

LRESULT DiskWipeDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        break;
    case kReleaseMouse:
        if (::GetCapture() == m_hWnd) ::ReleaseCapture();
        return 0;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
