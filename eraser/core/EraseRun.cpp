// The erase runs: erase all and erase selected. Both run on the user-interface thread; the engine
// keeps the window alive by taking one message before each block it writes, and the progress
// dialog's Cancel is noticed there.
#include "EraseProgressDlg.h"
#include "FileTree.h"
#include "MainIni.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

bool IsDriveItem(const std::string& text) { return text.size() == 2; }

// The attributes of an existing path, or INVALID_FILE_ATTRIBUTES.
DWORD FindAttributes(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
    ::FindClose(search);
    return found.dwFileAttributes;
}

// The size of a file as read through a write-access open; 0 when it cannot be opened.
uint64_t WritableSize(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file, &high);  // GetFileSizeEx is missing on Windows 95/98/Me
    const bool ok = low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR;
    ::CloseHandle(file);
    return ok ? (static_cast<uint64_t>(high) << 32) | low : 0;
}

bool Confirm() {
    return Ui().ShowMessage(AfxGetApp() ? AfxGetApp()->GetMainWindow() : nullptr, AfxLoadString(IDS_CONFIRM_ERASE),
                            "Purgix", MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
}

HWND MainWindow() { return AfxGetApp() ? AfxGetApp()->GetMainWindow() : nullptr; }

// Opens the progress dialog of a run and hands it the input: the main window is disabled meanwhile.
void BeginRun() {
    CEraseProgressDlg* dialog = CreateProgressDialog();
    if (!dialog) return;
    dialog->ShowWindow(SW_RESTORE);
    dialog->UpdateWindow();
    if (HWND main = MainWindow()) ::EnableWindow(main, FALSE);
    dialog->EnableWindow(true);
}

}  // namespace

void CWiperView::EraseAllCommand() {
    if (GetItemCount() == 0) return;

    bool confirmAll = false;
    if (!ScanIniLines(iniPath, kIniReadOnly, [&](const std::string& line) {
            confirmAll = line == "wipe5=1";
            return !confirmAll;
        })) {
        return;
    }
    if (confirmAll) {
        // Every option at once: NSA, names, confirmation and the exit afterwards.
        if (!Confirm()) return;
        options.nsa = options.wipeNames = true;
        EraseAllRun();
        options = EraseOptions();
        ExitAfterErase();
        return;
    }

    bool ask = false;
    ScanIniLines(iniPath, kIniReadOnly, [&](const std::string& line) {
        ask = line == "wipe4=1";
        return !ask;
    });
    if (ask && !Confirm()) return;

    bool exitAfter = false, stop = false;
    EraseOptions run;
    ScanIniLines(iniPath, kIniReadOnly, [&](const std::string& line) {
        if (line == "wipe1=1") run.nsa = true;
        if (line == "wipe2=1") run.wipeNames = true;
        if (line == "wipe6=1") exitAfter = true;
        if (line == "wipe5=1") stop = true;
        return line != "wipe6=0" && !stop;
    });
    if (stop) return;
    options = run;
    EraseAllRun();
    options = EraseOptions();
    if (exitAfter) ExitAfterErase();
}

void CWiperView::EraseAllRun() {
    StageCounter = 0;
    const int n = GetItemCount();
    if (!LoadEraseSettings()) return;
    BeginRun();
    if (!PrepareTotals(false)) {
        if (HWND main = MainWindow()) ::EnableWindow(main, TRUE);
        return;
    }
    int processed = 0, failed = 0;
    while (processed < n) {
        int index = GetItemCount() - failed - 1;
        if (index < 0) break;
        std::string text = ItemPath(index);
        UpdateSmallVolumeFlags(text);
        bool erased;
        if (IsDriveItem(text)) {
            erased = WipeDrive(text);
        } else {
            DWORD attributes = FindAttributes(text);
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                erased = false;
            } else {
                if (!g_progressDlg) break;
                erased = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? WipeFolder(text) : EraseFileItem(text);
            }
        }
        ++processed;
        if (erased) {
            RemoveErasedItem(index, text);
        } else {
            ++failed;
        }
    }
    FinishRun();
}

void CWiperView::EraseSelectedRun() {
    StageCounter = 0;
    bool ask = false;
    if (!ScanIniLines(iniPath, kIniReadOnly, [&](const std::string& line) {
            ask = line == "wipe4=1" || line == "wipe5=1";
            return !ask;
        })) {
        return;
    }
    if (ask && !Confirm()) return;

    BeginRun();
    g_progressTotals.Reset();
    EraseOptions run;
    run.nsa = ReadIniSwitch(iniPath, "wipe1");
    run.wipeNames = ReadIniSwitch(iniPath, "wipe2");
    // The run's switches hold for folders as well as files (the user chose them for everything), and
    // they size the total bar.
    options = run;
    if (!LoadEraseSettings() || !PrepareTotals(true)) {
        DestroyProgressDialog();
        if (HWND main = MainWindow()) ::EnableWindow(main, TRUE);
        options = EraseOptions();
        return;
    }
    for (int index = list_.GetNextItem(-1, LVNI_SELECTED); index != -1 && g_progressDlg;
         index = list_.GetNextItem(-1, LVNI_SELECTED)) {
        std::string text = ItemPath(index);
        UpdateSmallVolumeFlags(text);
        bool erased;
        if (IsDriveItem(text)) {
            erased = WipeDrive(text);
        } else {
            DWORD attributes = FindAttributes(text);
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                CanOpenForRead(text);  // tells the user why
                erased = false;
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) {
                    ::SetFileAttributesA(text.c_str(), FILE_ATTRIBUTE_NORMAL);
                }
                erased = WipeFolder(text);
            } else {
                erased = EraseFileItem(text);
            }
        }
        if (erased) {
            RemoveErasedItem(index, text);
        } else {
            list_.SetItemState(index, 0, LVIS_SELECTED);
        }
    }
    FinishRun();
    options = EraseOptions();
}

void CWiperView::RemoveErasedItem(int index, const std::string& path) {
    if (IsLogOn()) LogErased(path);
    list_.DeleteItem(index);
    RefreshFileCount();
}

void CWiperView::FinishRun() {
    if (HWND main = MainWindow()) ::EnableWindow(main, TRUE);
    if (GetItemCount() > 0 && IsLogOn()) LogNotErased();
    if (g_progressDlg) {
        g_progressDlg->totalBar.SetPos(options.nsa ? 603 : settings.passes * 100 + 3);
        DestroyProgressDialog();
    }
    RefreshFileCount();
}

bool CWiperView::PrepareTotals(bool selectedOnly) {
    small1024 = small256 = 0;
    stageBase = delta = 0;
    g_progressTotals.Reset();
    if (!g_progressDlg) return false;

    const bool nsa = options.nsa;
    g_progressDlg->totalBar.SetRange32(0, nsa ? 103 : 103 * settings.passes);
    g_progressDlg->currentBar.SetRange32(0, 103);
    if (!selectedOnly && GetItemCount() > 0) g_progressDlg->SetStatusText(ItemPath(0));
    g_progressDlg->totalBar.SetPos(3);
    g_progressDlg->currentBar.SetPos(3);

    uint64_t total = 0;
    for (int row = 0; row < GetItemCount(); ++row) {
        if (selectedOnly && !(list_.GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)) continue;
        if (!g_progressDlg) return false;
        std::string text = ItemPath(row);
        if (IsDriveItem(text)) {
            total += SumFileSizes(text);
            continue;
        }
        DWORD attributes = FindAttributes(text);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CanOpenForRead(text)) continue;
        }
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (!IsLink(attributes)) total += SumFileSizes(text);
        } else {
            total += WritableSize(text);
        }
    }
    g_progressTotals.total = total;
    return true;
}

void CWiperView::ExitAfterErase() {
    SaveList();
    if (HWND main = MainWindow()) ::PostMessageA(main, WM_CLOSE, 0, 0);
}
