#include "FrameWnd.h"

#include "FormView.h"
#include "WinApp.h"

namespace {

const char kFrameClass[] = "PurgixFrame";

}  // namespace

bool CFrameWnd::LoadFrame(UINT resourceId, const std::string& title, DWORD style) {
    HINSTANCE instance = AfxGetResourceHandle();
    HICON icon = ::LoadIconA(instance, MAKEINTRESOURCEA(resourceId));
    RegisterWindowClass(kFrameClass, CS_DBLCLKS, nullptr, ::LoadCursorA(nullptr, IDC_ARROW),
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    HMENU menu = ::LoadMenuA(instance, MAKEINTRESOURCEA(resourceId));
    if (!CreateEx(0, kFrameClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                  menu)) {
        if (menu) ::DestroyMenu(menu);
        return false;
    }
    if (icon) {
        SetIcon(icon, true);
        SetIcon(icon, false);
    }
    m_hAccelTable = ::LoadAcceleratorsA(instance, MAKEINTRESOURCEA(resourceId));
    return true;
}

void CFrameWnd::RecalcLayout() {
    if (!m_hWnd) return;
    RECT client;
    GetClientRect(&client);
    int top = client.top, bottom = client.bottom;
    if (topBar_ && ::IsWindowVisible(topBar_)) {
        ::SendMessageA(topBar_, WM_SIZE, 0, 0);  // toolbars and status bars size themselves
        RECT bar;
        ::GetWindowRect(topBar_, &bar);
        top += bar.bottom - bar.top;
    }
    if (bottomBar_ && ::IsWindowVisible(bottomBar_)) {
        ::SendMessageA(bottomBar_, WM_SIZE, 0, 0);
        RECT bar;
        ::GetWindowRect(bottomBar_, &bar);
        bottom -= bar.bottom - bar.top;
    }
    if (m_pActiveView && m_pActiveView->m_hWnd) {
        ::MoveWindow(m_pActiveView->m_hWnd, client.left, top, client.right - client.left,
                     bottom > top ? bottom - top : 0, TRUE);
    }
}

bool CFrameWnd::PreTranslateMessage(MSG& msg) {
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        if (m_hAccelTable && ::TranslateAcceleratorA(m_hWnd, m_hAccelTable, &msg)) return true;
        if (m_pActiveView && m_pActiveView->m_hWnd && ::IsChild(m_pActiveView->m_hWnd, msg.hwnd) &&
            ::IsDialogMessageA(m_pActiveView->m_hWnd, &msg)) {
            return true;
        }
    }
    return false;
}

bool CFrameWnd::IsCommandEnabled(UINT id) {
    return !m_pActiveView || !m_pActiveView->m_hWnd || m_pActiveView->IsCommandEnabled(id);
}

void CFrameWnd::UpdateMenuItems(HMENU menu) {
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = ::GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;  // a separator or a submenu
        ::EnableMenuItem(menu, i, MF_BYPOSITION | (IsCommandEnabled(id) ? MF_ENABLED : MF_GRAYED));
    }
}

bool CFrameWnd::OnCommand(UINT id, UINT code, HWND control) {
    // Commands go to the view first, then the frame, then the application.
    if (m_pActiveView && m_pActiveView->m_hWnd && m_pActiveView->OnCmdMsg(id, code)) return true;
    if (OnFrameCommand(id, code)) return true;
    return AfxGetApp() && AfxGetApp()->OnCommand(id);
}

LRESULT CFrameWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lp));
    case WM_SIZE:
        RecalcLayout();
        return 0;
    case WM_INITMENUPOPUP:
        if (!HIWORD(lp)) UpdateMenuItems(reinterpret_cast<HMENU>(wp));  // not the system menu
        return 0;
    case WM_SETFOCUS:
        if (m_pActiveView && m_pActiveView->m_hWnd) {
            ::SetFocus(m_pActiveView->m_hWnd);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (AfxGetApp() && AfxGetApp()->m_pMainWnd == this) ::PostQuitMessage(0);
        break;
    }
    return CWnd::WindowProc(msg, wp, lp);
}
