#include "LockvaleDlg.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "CreateVirtualDiskSheet.h"
#include "DriveIcon.h"
#include "HandOffSend.h"
#include "InputPassWordDlg.h"
#include "LockvaleApp.h"
#include "Mountex.h"
#include "MoveInDlg.h"
#include "PurgixHandOff.h"
#include "SecretDisk.h"
#include "UiSeam.h"
#include "resource.h"

namespace {

const char kSupportAddress[] = "support@velora-soft.cn";
const char kWebAddress[] = "http://www.velora-soft.cn";
// Posted to the main dialog with a heap-allocated list of paths (std::vector<std::string>*) to move.
const UINT kMoveRequest = WM_APP + 10;

int Ask(const std::string& text) { return AfxMessageBox(text, MB_YESNO | MB_ICONQUESTION); }
void Notice(const std::string& text) { AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

CSmallDlg* Small() { return LockvaleApp() ? LockvaleApp()->SmallWindow() : nullptr; }

void SetSmall(bool mounted) {
    if (CSmallDlg* small = Small()) small->SetSmallState(mounted);
}

}  // namespace

const CLockvaleDlg::CommandEntry CLockvaleDlg::kCommands[] = {
    {IDC_CREATE, &CLockvaleDlg::OnCreateDisk},
    {IDC_CHOOSE_IMAGE, &CLockvaleDlg::OnChooseImage},
    {IDC_MOUNT, &CLockvaleDlg::OnMountOrDismount},
    {IDC_ERASE, &CLockvaleDlg::OnErase},
    {IDC_HELP_BUTTON, &CLockvaleDlg::OnHelpButton},
    {IDC_SUPPORT_MAIL, &CLockvaleDlg::OnSupportMail},
    {IDC_EXIT, &CLockvaleDlg::OnExit},
    {ID_TRAY_SHOW, &CLockvaleDlg::OnTrayShow},
    {ID_TRAY_SMALL, &CLockvaleDlg::OnTraySmallWindow},
    {ID_TRAY_HELP, &CLockvaleDlg::OnHelpButton},
    {ID_TRAY_ABOUT, &CLockvaleDlg::OnTrayAbout},
    {ID_TRAY_EXIT, &CLockvaleDlg::OnEndProgram},
};

CLockvaleDlg::CLockvaleDlg(HWND parent) : CBitmapDialog(IDD_LOCKVALE_DIALOG, parent) {}

CLockvaleDlg::~CLockvaleDlg() {
    if (welcomeFont_) ::DeleteObject(welcomeFont_);
    for (HBITMAP picture : pictures_)
        if (picture) ::DeleteObject(picture);
}

bool CLockvaleDlg::OnInitDialog() {
    CBitmapDialog::OnInitDialog();
    SetBitmap(IDB_BACKGROUND, kTile);
    if (HMENU system = ::GetSystemMenu(m_hWnd, FALSE)) {
        ::AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, AfxLoadString(IDS_ABOUTBOX).c_str());
    }
    icon_ = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    SetIcon(icon_, true);
    SetIcon(icon_, false);
    tray_.Add(m_hWnd, icon_);
    ::DragAcceptFiles(m_hWnd, TRUE);
    pictures_[0] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_DISK_CLOSED));
    pictures_[1] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_DISK_OPEN));

    ShowClosed(false);
    ::OutputDebugStringA("no imge file");
    welcomeFont_ = CreateBoldSongFont(16);
    ::SendDlgItemMessageA(m_hWnd, IDC_WELCOME, WM_SETFONT, reinterpret_cast<WPARAM>(welcomeFont_), FALSE);
    SetWindowText(AfxLoadString(IDS_APP_TITLE));
    SetHint(AfxLoadString(IDS_HINT_DEFAULT));

    // The image of the last session, when it is still there.
    const std::string last = ReadSetting("CONFIG", "lastfile");
    if (!last.empty() && last.size() < MAX_PATH && ::GetFileAttributesA(last.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::strcpy(DiskState().imagePath, last.c_str());
        ShowClosed(true);
    }
    return true;
}

void CLockvaleDlg::OnCancel() { ShowWindow(SW_HIDE); }

bool CLockvaleDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code != BN_CLICKED && control) return false;
    return RouteCommand(this, kCommands, id);
}

bool CLockvaleDlg::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (header->code != BCN_HOTITEMCHANGE) return false;
    static const struct {
        int id;
        UINT text;
    } kHints[] = {{IDC_CREATE, IDS_HINT_CREATE}, {IDC_CHOOSE_IMAGE, IDS_HINT_CHOOSE},
                  {IDC_MOUNT, IDS_HINT_MOUNT}, {IDC_ERASE, IDS_HINT_ERASE}};
    for (const auto& hint : kHints)
        if (static_cast<int>(header->idFrom) == hint.id) SetHint(AfxLoadString(hint.text));
    result = 0;
    return true;
}

void CLockvaleDlg::OnDestroy() { tray_.Remove(); }

LRESULT CLockvaleDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
            OnTrayAbout();
            return 0;
        }
        break;
    case WM_HELP:
        OnHelpButton();
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove({static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    case WM_LBUTTONUP:
        if (overLink_) Ui().ShellOpen(m_hWnd, "open", "IEXPLORE.EXE", kWebAddress, std::string(), SW_SHOWNORMAL);
        return 0;
    case WM_COPYDATA:
        return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lp)) ? TRUE : FALSE;
    case WM_DROPFILES:
        TakeDrop(m_hWnd, reinterpret_cast<HDROP>(wp));
        return 0;
    case kMoveRequest: {
        std::unique_ptr<std::vector<std::string>> items(reinterpret_cast<std::vector<std::string>*>(lp));
        MoveIntoDisk(*items);
        return 0;
    }
    case WM_TRAY_NOTIFY:
        return tray_.OnNotify(wp, lp, Small() && Small()->visible);
    case WM_QUERYENDSESSION:
        // The session ends: the disk is closed without asking, then the message goes on its way.
        if (DiskState().mounted) {
            DiskState().mounted = false;
            DisMountDisk(DiskState().driveLetter);
            SetDriveIcon(false);
        }
        break;
    case WM_PAINT:
        if (::IsIconic(m_hWnd)) {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(m_hWnd, &paint);
            RECT client;
            GetClientRect(&client);
            ::DrawIcon(dc, (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2,
                       (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2, icon_);
            ::EndPaint(m_hWnd, &paint);
            return 0;
        }
        break;
    }
    return CBitmapDialog::WindowProc(msg, wp, lp);
}

void CLockvaleDlg::OnMouseMove(POINT at) {
    SetHint(AfxLoadString(IDS_HINT_DEFAULT));
    RECT link;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_WEB_LINK), &link);
    ::ClientToScreen(m_hWnd, &at);
    overLink_ = ::PtInRect(&link, at) != FALSE;
}

void CLockvaleDlg::SetHint(const std::string& text) {
    if (lstrcmpiA(text.c_str(), hint_.c_str()) == 0) return;
    hint_ = text;
    HWND control = ::GetDlgItem(m_hWnd, IDC_HINT);
    ::SetWindowTextA(control, text.c_str());
    RECT area;
    ::GetWindowRect(control, &area);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&area), 2);
    ::RedrawWindow(m_hWnd, &area, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

void CLockvaleDlg::SetPicture(UINT bitmapId) {
    ::SendDlgItemMessageA(m_hWnd, IDC_STATE_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(pictures_[bitmapId == IDB_DISK_OPEN ? 1 : 0]));
}

void CLockvaleDlg::ShowImagePath() {
    const char* path = DiskState().imagePath;
    SetDlgItemText(IDC_IMAGE_PATH, *path ? std::string(path) : AfxLoadString(IDS_NO_IMAGE));
}

void CLockvaleDlg::ShowClosed(bool imageKnown) {
    CWnd mount = GetDlgItem(IDC_MOUNT);
    if (imageKnown) mount.SetWindowText(AfxLoadString(IDS_MOUNT_DISK));
    mount.EnableWindow(imageKnown);
    GetDlgItem(IDC_CREATE).EnableWindow(true);
    GetDlgItem(IDC_CHOOSE_IMAGE).EnableWindow(true);
    ShowImagePath();
    SetPicture(IDB_DISK_CLOSED);
    SetDlgItemText(IDC_STATE_TEXT, AfxLoadString(IDS_DISK_CLOSED));
}

void CLockvaleDlg::ShowMounted() {
    CWnd mount = GetDlgItem(IDC_MOUNT);
    mount.SetWindowText(AfxLoadString(IDS_DISMOUNT_DISK));
    mount.EnableWindow(true);
    GetDlgItem(IDC_CREATE).EnableWindow(false);
    GetDlgItem(IDC_CHOOSE_IMAGE).EnableWindow(false);
    ShowImagePath();
    SetPicture(IDB_DISK_OPEN);
    char letter[16];
    std::snprintf(letter, sizeof letter, "\t(%c:)", DiskState().driveLetter);
    SetDlgItemText(IDC_STATE_TEXT, AfxLoadString(IDS_DISK_OPEN) + letter);
}

void CLockvaleDlg::RedrawAll() {
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CLockvaleDlg::OnCreateDisk() {
    CcreateVirtualDiskSheet wizard(m_hWnd);
    wizard.DoModal();
    SecretDiskState& state = DiskState();
    if (state.mounted) {
        ShowMounted();
        SetDriveIcon(true);
        SetSmall(true);
        WriteSetting("CONFIG", "lastfile", state.imagePath);
        char target[16];
        std::snprintf(target, sizeof target, "%c:\\sample.jpg", state.driveLetter);
        ::CopyFileA((ProgramDirectory() + "\\sample.dat").c_str(), target, TRUE);
    } else {
        GetDlgItem(IDC_MOUNT).SetWindowText(AfxLoadString(IDS_MOUNT_DISK));
        SetPicture(IDB_DISK_CLOSED);
        SetSmall(false);
    }
    RedrawAll();
}

void CLockvaleDlg::OnChooseImage() {
    char file[MAX_PATH * 4] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = "All Files(*.vlr) \0*.vlr\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.Flags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_NODEREFERENCELINKS;
    if (Ui().ChooseFiles(ofn)) {
        const std::string chosen = file;
        if (chosen.size() >= MAX_PATH) {
            // The session keeps the path in 260 bytes: a longer one is refused, never cut.
            Notice(chosen + "\n路径太长, 无法处理!");
        } else {
            SecretDiskState& state = DiskState();
            std::memset(state.imagePath, 0, sizeof state.imagePath);
            std::strcpy(state.imagePath, chosen.c_str());
            ShowImagePath();
            if (!chosen.empty()) {
                GetDlgItem(IDC_MOUNT).SetWindowText(AfxLoadString(IDS_MOUNT_DISK));
                GetDlgItem(IDC_MOUNT).EnableWindow(true);
            }
            WriteSetting("CONFIG", "lastfile", chosen);
        }
    }
    RedrawAll();
}

void CLockvaleDlg::OnMountOrDismount() {
    SecretDiskState& state = DiskState();
    if (state.mounted) {
        if (Ask(AfxLoadString(IDS_CONFIRM_DISMOUNT)) == IDYES) {
            if (DisMountDisk(state.driveLetter)) {
                state.mounted = false;
                ShowClosed(true);
                SetDriveIcon(false);
                SetSmall(false);
            } else {
                Notice("关闭秘密盘失败，请重试！");
            }
        }
    } else {
        CInputPassWordDlg prompt(m_hWnd);
        if (prompt.DoModal() == IDOK) {
            const bool mounted = MountDisk(state.driveLetter, state.imagePath, state.password, 0) != 0;
            state.WipePassword();
            if (mounted) {
                state.mounted = true;
                ShowMounted();
                SetDriveIcon(true);
                SetSmall(true);
            } else {
                Notice("秘密盘启动失败！");
            }
        }
    }
    RedrawAll();
}

void CLockvaleDlg::OnErase() { Ui().WinExec(ProgramDirectory() + "\\Purgix.exe /MyLockvale", SW_SHOW); }

void CLockvaleDlg::OnHelpButton() { ShowLockvaleHelp(); }

void CLockvaleDlg::OnSupportMail() {
    Ui().ShellOpen(m_hWnd, "open", std::string("mailto:") + kSupportAddress, "", "", SW_SHOW);
}

void CLockvaleDlg::OnExit() { OnCancel(); }

void CLockvaleDlg::OnTrayShow() { ShowWindow(SW_SHOW); }

void CLockvaleDlg::OnTraySmallWindow() {
    CSmallDlg* small = Small();
    if (!small) return;
    small->ShowWindow(small->visible ? SW_HIDE : SW_SHOW);
    small->visible = !small->visible;
}

void CLockvaleDlg::OnTrayAbout() {
    CDialog about(IDD_ABOUTBOX, m_hWnd);
    about.DoModal();
}

void CLockvaleDlg::OnEndProgram() {
    // The notification-area menu stays usable while the progress window runs: the disk must not be
    // closed under a move.
    if (moving_) {
        Notice(AfxLoadString(IDS_MOVE_BUSY));
        return;
    }
    SecretDiskState& state = DiskState();
    if (state.mounted) {
        if (Ask(AfxLoadString(IDS_CONFIRM_EXIT)) != IDYES) return;
        DisMountDisk(state.driveLetter);
        state.mounted = false;
        SetDriveIcon(false);
    }
    EndDialog(IDCANCEL);
}

void CLockvaleDlg::TakeDrop(HWND main, HDROP drop) {
    auto items = std::make_unique<std::vector<std::string>>();
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // A path longer than any buffer of ours is taken whole, so that the move can refuse it by name.
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        std::string path(length + 1, '\0');
        path.resize(::DragQueryFileA(drop, i, &path[0], length + 1));
        if (!path.empty()) items->push_back(path);
    }
    ::DragFinish(drop);
    if (items->empty() || !main) return;
    if (::PostMessageA(main, kMoveRequest, 0, reinterpret_cast<LPARAM>(items.get()))) items.release();
}

bool CLockvaleDlg::OnCopyData(const COPYDATASTRUCT& data) {
    if (data.dwData != kMoveInTag) return false;
    auto items = std::make_unique<std::vector<std::string>>();
    if (!ParseHandOff(static_cast<const char*>(data.lpData), data.cbData, *items) || items->empty()) return false;
    // The move asks and tells the user; the sender is not kept waiting for that.
    if (!PostMessage(kMoveRequest, 0, reinterpret_cast<LPARAM>(items.get()))) return false;
    items.release();
    return true;
}

void CLockvaleDlg::MoveIntoDisk(const std::vector<std::string>& items) {
    // One move at a time, and none while another window of Lockvale waits for an answer.
    if (moving_ || !::IsWindowEnabled(m_hWnd)) {
        Notice(AfxLoadString(IDS_MOVE_BUSY));
        return;
    }
    const SecretDiskState& state = DiskState();
    if (!state.mounted) {
        Notice(AfxLoadString(IDS_MOVE_NO_DISK));
        return;
    }
    char root[4] = {state.driveLetter, ':', '\\', 0};
    moving_ = true;
    CMoveInDlg progress(items, root, state.imagePath, m_hWnd);
    progress.DoModal();
    moving_ = false;
    if (!progress.Ran()) return;
    const MoveIn& move = progress.Move();
    bool handed = false;
    if (progress.Outcome() == MoveOutcome::moved && !move.Moved().empty()) {
        handed = HandToPurgix(move.Moved(), ProgramDirectory() + "\\Purgix.exe", nullptr);
    }
    const std::string text = MoveOutcomeText(move, progress.Outcome(), handed);
    if (!text.empty()) {
        const bool fine = progress.Outcome() == MoveOutcome::moved && handed;
        AfxMessageBox(text, MB_OK | (fine ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    }
}
