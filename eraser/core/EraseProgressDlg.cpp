#include "EraseProgressDlg.h"

#include "WinApp.h"
#include "resource.h"

CEraseProgressDlg* g_progressDlg = nullptr;

CEraseProgressDlg::CEraseProgressDlg() : CDialog(IDD_ERASE_PROGRESS) {}

void CEraseProgressDlg::SetStatusText(const std::string& path) { SetDlgItemText(IDC_STATUS_PATH, path); }

void CEraseProgressDlg::SetPassText(const std::string& text) {
    // Called for every block written: the dialog is only touched when the text changes.
    if (text == passText && passTextShown_) return;
    passText = text;
    passTextShown_ = true;
    UpdateData(false);
}

namespace {

const UINT_PTR kAnimationTimer = 1;
const int kFrames = 23;
const int kArcPositions = 19;  // controls 1089..1107, left to right

// A picture whose grey (192,192,192) background becomes the dialog's own face colour, so that it
// sits on the dialog without a box around it.
HBITMAP LoadPicture(UINT id) {
    HBITMAP picture = static_cast<HBITMAP>(
        ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION dib;
    if (!picture || ::GetObjectA(picture, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 24 ||
        !dib.dsBm.bmBits) {
        return picture;
    }
    COLORREF face = ::GetSysColor(COLOR_3DFACE);
    unsigned char* row = static_cast<unsigned char*>(dib.dsBm.bmBits);
    for (int y = 0; y < dib.dsBm.bmHeight; ++y, row += dib.dsBm.bmWidthBytes) {
        for (int x = 0; x < dib.dsBm.bmWidth; ++x) {
            unsigned char* pixel = row + 3 * x;  // blue, green, red
            if (pixel[0] == 192 && pixel[1] == 192 && pixel[2] == 192) {
                pixel[0] = GetBValue(face);
                pixel[1] = GetGValue(face);
                pixel[2] = GetRValue(face);
            }
        }
    }
    return picture;
}

}  // namespace

bool CEraseProgressDlg::OnInitDialog() {
    currentBar.m_hWnd = ::GetDlgItem(m_hWnd, IDC_CURRENT_PROGRESS);
    totalBar.m_hWnd = ::GetDlgItem(m_hWnd, IDC_TOTAL_PROGRESS);
    pictures_[0] = LoadPicture(IDB_ANIM_FILE);
    pictures_[1] = LoadPicture(IDB_ANIM_SCRAP);
    pictures_[2] = LoadPicture(IDB_ANIM_SHREDDER);
    CStatic(::GetDlgItem(m_hWnd, IDC_ANIM_END_LEFT)).SetBitmap(pictures_[0]);
    CStatic(::GetDlgItem(m_hWnd, IDC_ANIM_END_RIGHT)).SetBitmap(pictures_[2]);
    for (int id = IDC_ANIM_FIRST; id <= IDC_ANIM_LAST; ++id) {
        CStatic picture(::GetDlgItem(m_hWnd, id));
        picture.SetBitmap(pictures_[1]);
        picture.ShowWindow(SW_HIDE);
    }
    shownPosition_ = 0;
    SetTimer(kAnimationTimer, 10);
    return CDialog::OnInitDialog();
}

void CEraseProgressDlg::OnTimer(UINT_PTR id) {
    if (id != kAnimationTimer) return;
    KillTimer(kAnimationTimer);
    animationFrame = animationFrame % kFrames + 1;
    ShowFrame(animationFrame);
    SetTimer(kAnimationTimer, 10);
}

void CEraseProgressDlg::ShowFrame(int frame) {
    // Only the picture that leaves and the one that comes change: a frame every 10 ms must not
    // cost a redraw of the whole arc.
    int position = frame >= 1 && frame <= kArcPositions ? frame : 0;
    if (position == shownPosition_) return;
    if (shownPosition_) ::ShowWindow(::GetDlgItem(m_hWnd, IDC_ANIM_FIRST + shownPosition_ - 1), SW_HIDE);
    if (position) ::ShowWindow(::GetDlgItem(m_hWnd, IDC_ANIM_FIRST + position - 1), SW_SHOW);
    shownPosition_ = position;
}

void CEraseProgressDlg::OnDestroy() {
    KillTimer(kAnimationTimer);
    for (HBITMAP& picture : pictures_) {
        if (picture) ::DeleteObject(picture);
        picture = nullptr;
    }
}

void CEraseProgressDlg::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_PASS_TEXT, passText); }

bool CEraseProgressDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDC_PROGRESS_CANCEL && code == BN_CLICKED) {
        AskToStop();
        return true;
    }
    return false;
}

void CEraseProgressDlg::OnCancel() { AskToStop(); }

void CEraseProgressDlg::AskToStop() {
    // The engine notices the flag at its next block write.
    if (MessageBox(AfxLoadString(IDS_CONFIRM_STOP), AfxLoadString(IDS_STOP_CAPTION), MB_YESNO | MB_ICONQUESTION) != IDNO) {
        cancelFlag = 1;
    }
}

CEraseProgressDlg* CreateProgressDialog() {
    DestroyProgressDialog();
    CEraseProgressDlg* dialog = new CEraseProgressDlg;
    if (!dialog->Create(nullptr)) {
        delete dialog;
        return nullptr;
    }
    dialog->ShowWindow(SW_RESTORE);
    dialog->UpdateWindow();
    g_progressDlg = dialog;
    return dialog;
}

void DestroyProgressDialog() {
    CEraseProgressDlg* dialog = g_progressDlg;
    if (!dialog) return;
    // Cleared first: from here on every step of the run sees the run stopped.
    g_progressDlg = nullptr;
    dialog->DestroyWindow();
    delete dialog;
}
