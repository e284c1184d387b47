#include "TrayIcon.h"

#include <cstring>

#include "WinApp.h"
#include "resource.h"

// The record a 32-bit caller hands the shell.
#ifndef _WIN64
static_assert(sizeof(NOTIFYICONDATAA) == 504, "NOTIFYICONDATAA");
#endif

CTrayIcon::CTrayIcon() : data_() {}

bool CTrayIcon::Add(HWND owner, HICON icon) {
    if (LOBYTE(LOWORD(::GetVersion())) < 4 || !owner || !::IsWindow(owner)) return false;
    std::memset(&data_, 0, sizeof data_);
    data_.cbSize = sizeof data_;
    data_.hWnd = owner;
    data_.uID = IDI_TRAY;
    data_.hIcon = icon;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = WM_TRAY_NOTIFY;
    std::strcpy(data_.szTip, "Velora");
    added_ = ::Shell_NotifyIconA(NIM_ADD, &data_) != FALSE;
    return added_;
}

void CTrayIcon::Remove() {
    if (!added_) return;
    data_.uFlags = 0;
    ::Shell_NotifyIconA(NIM_DELETE, &data_);
    added_ = false;
}

LRESULT CTrayIcon::OnNotify(WPARAM wp, LPARAM lp, bool smallWindowVisible) {
    if (wp != IDI_TRAY) return 0;
    HWND owner = data_.hWnd;
    if (lp == WM_RBUTTONUP) {
        HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
        if (!menu) return 1;
        HMENU popup = ::GetSubMenu(menu, 0);
        ::ModifyMenuA(popup, 1, MF_BYPOSITION | MF_STRING, ID_TRAY_SMALL,
                      smallWindowVisible ? "隐藏状态小窗口" : "显示状态小窗口");
        ::SetMenuDefaultItem(popup, 0, TRUE);
        POINT at;
        ::GetCursorPos(&at);
        ::SetForegroundWindow(owner);
        ::TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr);
        ::DestroyMenu(menu);
    } else if (lp == WM_LBUTTONDBLCLK) {
        ::SetForegroundWindow(owner);
        ::ShowWindow(owner, SW_SHOW);
    }
    return 1;
}
