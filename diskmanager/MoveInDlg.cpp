#include "MoveInDlg.h"

#include <commctrl.h>

#include <cstdio>

#include "UiSeam.h"
#include "WinApp.h"
#include "resource.h"

namespace {

const UINT kAskReplace = WM_APP + 1;  // wParam: merge; lParam: the target (const std::string*)
const UINT kFinished = WM_APP + 2;
const UINT_PTR kProgressTimer = 1;
const UINT kProgressEveryMs = 100;
const int kBarRange = 1000;
const int kQuestionClearance = 80;  // pixels between the window and the middle of the work area

std::string Format(UINT id, const std::string& a, const std::string& b = std::string()) {
    char text[512];
    std::snprintf(text, sizeof text, AfxLoadString(id).c_str(), a.c_str(), b.c_str());
    return text;
}

// The refusals and failures told as the path, then their text; a failure also says the run was undone.
struct PathText {
    MoveOutcome outcome;
    UINT text;
    bool undone;
};
const PathText kPathTexts[] = {
    {MoveOutcome::pathTooLong, IDS_MOVE_PATH_TOO_LONG, false},
    {MoveOutcome::onSecretDisk, IDS_MOVE_ON_DISK, false},
    {MoveOutcome::isDiskImage, IDS_MOVE_IS_IMAGE, false},
    {MoveOutcome::driveRoot, IDS_MOVE_DRIVE_ROOT, false},
    {MoveOutcome::sameName, IDS_MOVE_SAME_NAME, false},
    {MoveOutcome::missing, IDS_MOVE_MISSING, false},
    {MoveOutcome::cannotList, IDS_MOVE_CANNOT_LIST, false},
    {MoveOutcome::readFailed, IDS_MOVE_READ_FAILED, true},
    {MoveOutcome::writeFailed, IDS_MOVE_WRITE_FAILED, true},
    {MoveOutcome::compareFailed, IDS_MOVE_COMPARE_FAILED, true},
};

}  // namespace

std::string MoveSizeText(uint64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%u 字节", static_cast<unsigned>(bytes));
    } else if (bytes < (1u << 20)) {
        std::snprintf(text, sizeof text, "%u KB", static_cast<unsigned>(bytes >> 10));
    } else if (bytes < (1u << 30)) {
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", bytes / 1073741824.0);
    }
    return text;
}

std::string MoveOutcomeText(const MoveIn& move, MoveOutcome outcome, bool handedOver) {
    if (outcome == MoveOutcome::moved) {
        if (move.Moved().empty()) return std::string();
        return Format(handedOver ? IDS_MOVE_DONE : IDS_MOVE_NOT_HANDED, std::to_string(move.Moved().size()));
    }
    if (outcome == MoveOutcome::noRoom)
        return Format(IDS_MOVE_NO_ROOM, MoveSizeText(move.Needed()), MoveSizeText(move.Free()));
    std::string text;
    if (outcome == MoveOutcome::cancelled) {
        text = AfxLoadString(IDS_MOVE_CANCELLED);
    } else {
        for (const PathText& entry : kPathTexts) {
            if (entry.outcome != outcome) continue;
            text = move.FailedPath() + AfxLoadString(entry.text);
            if (!entry.undone) return text;
            text += AfxLoadString(IDS_MOVE_UNDONE);
        }
    }
    if (!move.Leftovers().empty()) {
        text += AfxLoadString(IDS_MOVE_LEFTOVERS);
        for (const std::string& left : move.Leftovers()) text += "\n" + left;
    }
    return text;
}

CMoveInDlg::CMoveInDlg(const std::vector<std::string>& items, const std::string& root, const std::string& imagePath,
                       HWND parent)
    : CDialog(IDD_MOVE_IN, parent), items_(items), observer_(*this), move_(root, imagePath, files_, observer_) {}

CMoveInDlg::~CMoveInDlg() {
    if (worker_) {
        ::WaitForSingleObject(worker_, INFINITE);
        ::CloseHandle(worker_);
    }
}

bool CMoveInDlg::OnInitDialog() {
    // Above the middle of the work area: a question, which comes up in the middle, leaves it in view.
    RECT work, own;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(&own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    const int top = (work.top + work.bottom) / 2 - kQuestionClearance - height;
    ::SetWindowPos(m_hWnd, nullptr, work.left + (work.right - work.left - width) / 2, top > work.top ? top : work.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    ::SendDlgItemMessageA(m_hWnd, IDC_MOVE_BAR, PBM_SETRANGE32, 0, kBarRange);
    SetDlgItemText(IDC_MOVE_FILE, AfxLoadString(IDS_MOVE_CHECKING));
    ::SetTimer(m_hWnd, kProgressTimer, kProgressEveryMs, nullptr);
    worker_ = ::CreateThread(nullptr, 0, Worker, this, 0, nullptr);
    if (!worker_) EndDialog(IDCANCEL);
    return true;
}

DWORD WINAPI CMoveInDlg::Worker(void* self) {
    CMoveInDlg* dialog = static_cast<CMoveInDlg*>(self);
    try {
        dialog->outcome_ = dialog->move_.Run(dialog->items_);
        dialog->ran_ = true;
    } catch (...) {
        // Nothing may escape a thread; the move has undone what it made before the exception.
    }
    ::PostMessageA(dialog->m_hWnd, kFinished, 0, 0);
    return 0;
}

void CMoveInDlg::OnCancel() {
    // The worker ends at its next block and removes its copies; the window waits for it.
    cancel_ = true;
    GetDlgItem(IDCANCEL).EnableWindow(false);
    SetDlgItemText(IDC_MOVE_FILE, AfxLoadString(IDS_MOVE_CANCELLING));
}

void CMoveInDlg::Observer::Progress(const std::string& source, uint64_t done, uint64_t total) {
    CCriticalSection::Hold hold(dialog_.lock_);
    dialog_.source_ = source;
    dialog_.done_ = done;
    dialog_.total_ = total;
}

bool CMoveInDlg::Observer::Replace(const std::string& target, bool merge) {
    return ::SendMessageA(dialog_.m_hWnd, kAskReplace, merge, reinterpret_cast<LPARAM>(&target)) == IDYES;
}

void CMoveInDlg::ShowProgress() {
    if (cancel_.load()) return;
    std::string source;
    uint64_t done, total;
    {
        CCriticalSection::Hold hold(lock_);
        source = source_;
        done = done_;
        total = total_;
    }
    if (source.empty()) return;
    if (done > total) done = total;
    SetDlgItemText(IDC_MOVE_FILE, source);
    SetDlgItemText(IDC_MOVE_BYTES, Format(IDS_MOVE_BYTES, MoveSizeText(done / 2), MoveSizeText(total / 2)));
    const int position = total ? static_cast<int>(done * kBarRange / total) : 0;
    ::SendDlgItemMessageA(m_hWnd, IDC_MOVE_BAR, PBM_SETPOS, position, 0);
}

LRESULT CMoveInDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER:
        if (wp == kProgressTimer) {
            ShowProgress();
            return 0;
        }
        break;
    case kAskReplace: {
        ShowProgress();
        const std::string& target = *reinterpret_cast<const std::string*>(lp);
        const UINT question = wp ? IDS_MOVE_MERGE_FOLDER : IDS_MOVE_REPLACE;
        // Centred on the screen rather than on this window, so that the box leaves the progress (which
        // file, how far) in view; task-modal, so nothing of Lockvale is used while it asks.
        return Ui().ShowMessage(nullptr, target + AfxLoadString(question), AfxLoadString(IDS_APP_TITLE),
                                MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL);
    }
    case kFinished:
        ::KillTimer(m_hWnd, kProgressTimer);
        if (worker_) {
            ::WaitForSingleObject(worker_, INFINITE);
            ::CloseHandle(worker_);
            worker_ = nullptr;
        }
        EndDialog(IDOK);
        return 0;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
