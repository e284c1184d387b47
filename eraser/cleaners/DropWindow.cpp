// The small drop window: its window behaviour, menu 270, the drop with its own checks and texts,
// and the view's commands that show and hide it and the main window.
#include "DropWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "FrameWnd.h"
#include "GbkText.h"
#include "File.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

CDropWindow* g_dropWindow = nullptr;

namespace {

const int kLeft = 500, kTop = 400, kSize = 42;
const BYTE kAlpha = 190;
const size_t kMaxPathChars = 259;
const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/SmallWindow.htm";
const char kProbeName[] = "Purgixtesttest";

void Refuse(const std::string& text) { AfxMessageBox(text); }

HWND MainWindow() { return AfxGetApp() ? AfxGetApp()->GetMainWindow() : nullptr; }

bool IsRoot(const std::string& path) { return path.size() == 3; }

// A path with one backslash after it; a drive root keeps its own.
std::string WithSlash(const std::string& path) { return IsRoot(path) ? path : path + "\\"; }

bool EitherContains(const std::string& a, const std::string& b) {
    return a.find(b) != std::string::npos || b.find(a) != std::string::npos;
}

// Raises the main window above the others once, without keeping it on top.
void BringMainToFront() {
    HWND main = MainWindow();
    ::SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// "%d Byte" under 1 KiB, whole KiB + " KB" under 1 MiB, else whole MiB + " MB".
std::string DropSizeText(uint64_t size) {
    char text[32];
    if (size < 1024) {
        std::snprintf(text, sizeof text, "%d Byte", static_cast<int>(size));
    } else if (size < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%d KB", static_cast<int>(size / 1024));
    } else {
        std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(size / (1024 * 1024)));
    }
    return text;
}

}  // namespace

CWiperView* MainView() {
    auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(MainWindow()));
    return frame ? dynamic_cast<CWiperView*>(frame->GetActiveView()) : nullptr;
}

void HideMainWindow() {
    HWND main = MainWindow();
    ::ShowWindow(main, SW_MINIMIZE);
    ::ShowWindow(main, SW_HIDE);
}

CDropWindow::CDropWindow() : CDialog(IDD_DROP_WINDOW) {
    fullPicture_ = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_DROP_FULL));
    emptyPicture_ = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_DROP_EMPTY));
}

CDropWindow::~CDropWindow() {
    if (m_hWnd) DestroyWindow();
    if (fullPicture_) ::DeleteObject(fullPicture_);
    if (emptyPicture_) ::DeleteObject(emptyPicture_);
}

bool CDropWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    LONG_PTR exStyle = ::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, exStyle ^ WS_EX_LAYERED);
    // Looked up at run time: systems before Windows 2000 have no layered windows and keep it opaque.
    if (HMODULE user = ::LoadLibraryA("User32.DLL")) {
        using SetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
        auto set = reinterpret_cast<SetLayered>(
            reinterpret_cast<void (*)()>(::GetProcAddress(user, "SetLayeredWindowAttributes")));
        if (set) set(m_hWnd, 0, kAlpha, LWA_ALPHA);
        ::FreeLibrary(user);
    }
    MoveWindow(kLeft, kTop, kSize, kSize, false);
    GetDlgItem(IDC_DROP_PICTURE).MoveWindow(0, 0, kSize, kSize, false);
    largeIcons = false;
    SetListEmpty(true);
    DragAcceptFiles(true);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
    return true;
}

void CDropWindow::SetListEmpty(bool empty) {
    listEmpty_ = empty ? 1 : 0;
    if (!m_hWnd) return;
    GetDlgItem(IDC_DROP_PICTURE)
        .SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(empty ? emptyPicture_ : fullPicture_));
}

bool CDropWindow::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDOK || id == IDCANCEL) return true;
    HWND main = MainWindow();
    if (!main) return false;
    // Closing the program goes through the main window's close, which saves the list.
    if (id == ID_APP_EXIT) {
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        return true;
    }
    ::SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    return true;
}

LRESULT CDropWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST:
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, HTCLIENT);
        return HTCLIENT;
    case WM_LBUTTONDOWN: {
        // Dragging the picture moves the window, as dragging a caption would.
        POINT at;
        ::GetCursorPos(&at);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(at.x, at.y));
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        if (::IsWindowVisible(MainWindow())) {
            HideMainWindow();
        } else {
            ::ShowWindow(MainWindow(), SW_RESTORE);
        }
        return 0;
    case WM_RBUTTONDOWN:
        ShowMenu();
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_F1) {
            Ui().ShowHelp(ProgramDirectory() + kHelpTopic);
            return 0;
        }
        break;
    case WM_PAINT:
        SetListEmpty(listEmpty_ != 0);
        break;
    case WM_DROPFILES:
        DropFiles(reinterpret_cast<HDROP>(wp));
        return 0;
    }
    return CDialog::WindowProc(msg, wp, lp);
}

void CDropWindow::ShowMenu() {
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_DROP_MENU));
    if (!menu) return;
    HMENU popup = ::GetSubMenu(menu, 0);
    PrepareMenu(popup);
    POINT at;
    ::GetCursorPos(&at);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
}

void CDropWindow::PrepareMenu(HMENU popup) {
    HWND main = MainWindow();
    auto enable = [popup](UINT id, bool on) { ::EnableMenuItem(popup, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    // The settings sheet is open while a top-level window carries its title.
    enable(ID_SETTINGS, ::FindWindowA(nullptr, AfxLoadString(IDS_SETTINGS_OPEN_TITLE).c_str()) == nullptr);
    const bool visible = ::IsWindowVisible(main) != 0;
    enable(ID_HIDE_MAIN, visible);
    enable(ID_SHOW_MAIN, !visible);
    // A disabled main window has a modal dialog open, which must end first.
    enable(ID_APP_EXIT, ::IsWindowEnabled(main) != 0);
}

void CDropWindow::DropFiles(HDROP drop) {
    CWiperView* view = MainView();
    HWND main = MainWindow();
    if (!view || !main) {
        ::DragFinish(drop);
        return;
    }
    if (!::IsWindowVisible(main)) ::ShowWindow(main, SW_SHOWNORMAL);
    BringMainToFront();
    SetFocus();

    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        std::string path(length + 1, '\0');
        path.resize(::DragQueryFileA(drop, i, &path[0], length + 1));
        // Cut to the 260-byte buffer, a longer path could name another item: it is refused whole.
        if (path.size() > kMaxPathChars) {
            Refuse(path + "\n路径太长, 无法处理!");
            continue;
        }
        if (path.size() < 3) continue;
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        const bool folder =
            IsRoot(path) || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
        if (!CheckDrive(*view, path)) continue;
        if (folder) {
            if (!CheckFolder(*view, path) || !CheckMediaAndOverlap(*view, path)) continue;
            AddFolder(*view, path);
        } else {
            if (!CheckMediaAndOverlap(*view, path)) continue;
            AddFile(*view, path);
        }
    }
    ::DragFinish(drop);

    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    ImageList_SetBkColor(ListView_GetImageList(view->List().m_hWnd, LVSIL_NORMAL), window);
    ImageList_SetBkColor(ListView_GetImageList(view->List().m_hWnd, LVSIL_SMALL), window);
}

bool CDropWindow::CheckDrive(CWiperView& view, const std::string& path) {
    const std::string root = path.substr(0, 1) + ":\\";
    if (::GetDriveTypeA(root.c_str()) == DRIVE_CDROM) {
        Refuse("光盘无法擦除");
        return false;
    }
    if (!IsRoot(path)) return true;
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, sizeof system);
    if (_strnicmp(path.c_str(), system, 2) == 0) {
        Refuse("\n该磁盘包含操作系统, 不进行删除!");
        return false;
    }
    const std::string drive = path.substr(0, 2);
    for (int row = 0; row < view.GetItemCount(); ++row) {
        if (view.ItemPath(row) == drive) {
            Refuse(drive + "\n磁盘已存在!");
            return false;
        }
    }
    return true;
}

bool CDropWindow::CheckFolder(CWiperView& view, const std::string& path) {
    const std::string withSlash = WithSlash(path);
    for (int row = 0; row < view.GetItemCount(); ++row) {
        const std::string listed = view.ItemPath(row);
        if (listed == path && !IsRoot(path)) {
            Refuse(path + " \n文件夹已存在!");
            return false;
        }
        if (EitherContains(withSlash, WithSlash(listed))) {
            Refuse(path + " \n非法目录或文件!");
            return false;
        }
    }
    return true;
}

bool CDropWindow::CheckMediaAndOverlap(CWiperView& view, const std::string& path) {
    const UINT type = ::GetDriveTypeA((path.substr(0, 1) + ":\\").c_str());
    if (type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK) {
        // A file made in the drive's current folder and removed again tells whether it takes writes.
        const std::string probe = path.substr(0, 2) + kProbeName;
        CFile file;
        if (!file.Open(probe, CFile::modeCreate | CFile::modeWrite)) {
            Refuse(AfxLoadString(IDS_WRITE_PROTECTED));
            return false;
        }
        file.Abort();
        ::DeleteFileA(probe.c_str());
    }
    const std::string withSlash = WithSlash(path);
    for (int row = 0; row < view.GetItemCount(); ++row) {
        const std::string listed = WithSlash(view.ItemPath(row));
        if (listed != withSlash && EitherContains(withSlash, listed)) {
            Refuse(path + " \n非法目录或文件!");
            return false;
        }
    }
    return true;
}

int CDropWindow::IconFor(CWiperView& view, const std::string& path, bool folder) {
    SHFILEINFOA info = {};
    UINT flags = SHGFI_SYSICONINDEX;
    if (!largeIcons) flags |= folder ? SHGFI_SMALLICON : SHGFI_ICON | SHGFI_SMALLICON;
    HIMAGELIST system =
        reinterpret_cast<HIMAGELIST>(::SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, flags));
    if (info.hIcon) ::DestroyIcon(info.hIcon);
    if (!system) return -1;
    view.List().SetImageList(system, largeIcons ? LVSIL_NORMAL : LVSIL_SMALL);
    return info.iIcon;
}

void CDropWindow::AddFolder(CWiperView& view, const std::string& path) {
    HWND main = MainWindow();
    ::ShowWindow(main, SW_RESTORE);
    ::SetFocus(main);
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof windows);
    if (path == windows) {
        Refuse("\n不能删除,否则操作系统无法工作!");
        return;
    }
    for (int row = 0; row < view.GetItemCount(); ++row) {
        if (view.ItemPath(row) == path) {
            Refuse(path + "\n文件已被添加!");
            return;
        }
    }
    const int image = IconFor(view, path, true);
    const bool root = IsRoot(path);
    const std::string drive = path.substr(0, 2);
    CListCtrl& list = view.List();
    const int row = list.InsertItem(view.GetItemCount(), root ? drive : gbk::NameOf(path), image);
    if (row < 0) return;
    list.SetItemText(row, 2, root ? drive : path);
    list.SetItemText(row, 3, root ? "DISK" : "DIR");
    view.RefreshFileCount();
    BringMainToFront();
}

void CDropWindow::AddFile(CWiperView& view, const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    for (int row = 0; row < view.GetItemCount(); ++row) {
        if (view.ItemPath(row) == path) {
            Refuse(path + "\n文件已被添加!");
            return;
        }
    }
    const int image = IconFor(view, path, false);
    const std::string name = gbk::NameOf(path);
    const size_t dot = name.rfind('.');  // '.' is never the trail byte of a GBK character
    CListCtrl& list = view.List();
    const int row = list.InsertItem(view.GetItemCount(), name, image);
    if (row < 0) return;
    list.SetItemText(row, 1, DropSizeText(size));
    list.SetItemText(row, 2, path);
    list.SetItemText(row, 3, dot == std::string::npos ? std::string() : name.substr(dot + 1));
    view.RefreshFileCount();
}

void ShowDropWindowState() {
    HWND bar = ::GetDlgItem(MainWindow(), AFX_IDW_TOOLBAR);
    if (bar && g_dropWindow) {
        ::SendMessageA(bar, TB_CHECKBUTTON, ID_DROP_WINDOW, MAKELPARAM(!g_dropWindow->hiddenByCommand, 0));
    }
}

void CreateDropWindow() {
    if (g_dropWindow) return;
    g_dropWindow = new CDropWindow;
    g_dropWindow->Create();
    if (CWiperView* view = MainView()) g_dropWindow->SetListEmpty(view->GetItemCount() == 0);
    ShowDropWindowState();
}

void DeleteDropWindow() {
    delete g_dropWindow;
    g_dropWindow = nullptr;
}

// ---- The view's commands for the drop window and the main window. ----

void CWiperView::OnDropWindow() {
    if (!g_dropWindow || !g_dropWindow->m_hWnd) return;
    if (g_dropWindow->IsWindowVisible()) {
        g_dropWindow->ShowWindow(SW_HIDE);
    } else {
        g_dropWindow->ShowWindow(SW_RESTORE);
    }
    g_dropWindow->hiddenByCommand = !g_dropWindow->hiddenByCommand;
    ShowDropWindowState();
}

void CWiperView::OnHideMainWindow() { HideMainWindow(); }

void CWiperView::OnShowMainWindow() { ::ShowWindow(::GetAncestor(m_hWnd, GA_ROOT), SW_RESTORE); }
