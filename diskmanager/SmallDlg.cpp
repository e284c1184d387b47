#include "SmallDlg.h"

#include <cstdio>
#include <cstdlib>

#include "LockvaleDlg.h"
#include "SecretDisk.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "resource.h"

CSmallDlg::CSmallDlg() : CDialog(IDD_SMALL) {}

CSmallDlg::~CSmallDlg() {
    if (m_hWnd) DestroyWindow();
    if (font_) ::DeleteObject(font_);
    for (HBITMAP picture : pictures_)
        if (picture) ::DeleteObject(picture);
}

bool CSmallDlg::OnInitDialog() {
    font_ = CreateBoldSongFont(12);
    ::SendDlgItemMessageA(m_hWnd, IDC_SMALL_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    pictures_[0] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_SMALL_CLOSED));
    pictures_[1] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_SMALL_OPEN));
    SetSmallState(false);
    PlaceFromSettings();
    ::DragAcceptFiles(m_hWnd, TRUE);
    return true;
}

void CSmallDlg::SetSmallState(bool mounted) {
    mounted_ = mounted;
    if (!m_hWnd) return;
    ::SendDlgItemMessageA(m_hWnd, IDC_SMALL_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(pictures_[mounted ? 1 : 0]));
    char text[64];
    if (mounted)
        std::snprintf(text, sizeof text, "秘密盘已经启动 (%c:)", DiskState().driveLetter);
    else
        std::snprintf(text, sizeof text, "秘密盘关闭中...");
    SetDlgItemText(IDC_SMALL_TEXT, text);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CSmallDlg::PlaceFromSettings() {
    RECT work, own;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(&own);
    const std::string left = ReadSetting("SMALLWINDOW", "left"), top = ReadSetting("SMALLWINDOW", "bottom");
    int x = (work.right - work.left) - (own.right - own.left), y = 0;
    if (!left.empty() && !top.empty()) {
        x = std::atoi(left.c_str());
        y = std::atoi(top.c_str());
    }
    ::SetWindowPos(m_hWnd, HWND_BOTTOM, x, y, 0, 0, SWP_NOSIZE);
}

void CSmallDlg::SavePlace() {
    RECT own;
    GetWindowRect(&own);
    // "bottom" holds the window's top edge: the file's readers have always taken it so.
    WriteSetting("SMALLWINDOW", "left", std::to_string(own.left));
    WriteSetting("SMALLWINDOW", "bottom", std::to_string(own.top));
}

void CSmallDlg::OnDestroy() { SavePlace(); }

LRESULT CSmallDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_LBUTTONDOWN:
        // Any point of the window drags it, as its caption would.
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, lp);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (mounted_) {
            char root[8];
            std::snprintf(root, sizeof root, "%c:\\", DiskState().driveLetter);
            Ui().ShellOpen(AfxGetApp() ? AfxGetApp()->GetMainWindow() : nullptr, "open", "IEXPLORE.EXE", root,
                           std::string(), SW_SHOWNORMAL);
        }
        return 0;
    case WM_DROPFILES:
        // What is dropped here goes into the secret disk, through the main dialog.
        CLockvaleDlg::TakeDrop(AfxGetApp() ? AfxGetApp()->GetMainWindow() : nullptr, reinterpret_cast<HDROP>(wp));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lp) == ::GetDlgItem(m_hWnd, IDC_SMALL_TEXT)) {
            HDC dc = reinterpret_cast<HDC>(wp);
            ::SetTextColor(dc, RGB(0, 0, 139));
            ::SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH));
        }
        break;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
