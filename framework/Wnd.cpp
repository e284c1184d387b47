#include "Wnd.h"

#include <shellapi.h>

#include <exception>

#include "UiSeam.h"
#include "WinApp.h"

namespace {

// The window property that links a window to its framework object.
const char kObjectProperty[] = "Purgix.CWnd";

// The object being created by CreateEx, until WM_NCCREATE links it to its window.
thread_local CWnd* creating = nullptr;

}  // namespace

CWnd::~CWnd() {
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, kObjectProperty)) : nullptr;
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetPropA(hwnd, kObjectProperty, this);
}

void CWnd::Detach() {
    if (superProc_) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
        superProc_ = nullptr;
    }
    ::RemovePropA(m_hWnd, kObjectProperty);
}

std::string CWnd::GetWindowText() const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string text(length + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? copied : 0);
    return text;
}

void CWnd::CenterWindow(HWND alternateOwner) {
    HWND owner = alternateOwner ? alternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
    RECT area, self;
    if (owner) {
        ::GetWindowRect(owner, &area);
    } else {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    ::GetWindowRect(m_hWnd, &self);
    int width = self.right - self.left, height = self.bottom - self.top;
    ::SetWindowPos(m_hWnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::DragAcceptFiles(bool accept) { ::DragAcceptFiles(m_hWnd, accept); }

bool CWnd::DestroyWindow() {
    if (!m_hWnd) return false;
    return ::DestroyWindow(m_hWnd) != 0;
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    std::string title = caption;
    if (title.empty() && AfxGetApp()) title = AfxGetApp()->m_pszAppName;
    return Ui().ShowMessage(m_hWnd, text, title, flags);
}

bool CWnd::RegisterWindowClass(const char* className, UINT style, HICON icon, HCURSOR cursor, HBRUSH background,
                               const char* menuName) {
    WNDCLASSA existing;
    if (::GetClassInfoA(AfxGetResourceHandle(), className, &existing)) return true;
    WNDCLASSA wc = {};
    wc.style = style;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = AfxGetResourceHandle();
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszMenuName = menuName;
    wc.lpszClassName = className;
    return ::RegisterClassA(&wc) != 0;
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const std::string& title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId) {
    CWnd* outer = creating;
    creating = this;
    HWND hwnd = ::CreateWindowExA(exStyle, className, title.c_str(), style, x, y, width, height, parent, menuOrId,
                                  AfxGetResourceHandle(), nullptr);
    creating = outer;
    return hwnd != nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || FromHandlePermanent(hwnd)) return false;
    Attach(hwnd);
    superProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWndProc)));
    return true;
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (hwnd && FromHandlePermanent(hwnd) == this) Detach();
    m_hWnd = nullptr;
    return hwnd;
}

LRESULT CWnd::SafeWindowProc(CWnd* self, UINT msg, WPARAM wp, LPARAM lp, bool& failed) {
    failed = false;
    try {
        return self->WindowProc(msg, wp, lp);
    } catch (const std::exception& e) {
        ::OutputDebugStringA(e.what());
    } catch (...) {
        ::OutputDebugStringA("unknown exception in a window procedure");
    }
    failed = true;
    return 0;
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CWnd* self = FromHandlePermanent(hwnd);
    if (!self && creating && !creating->m_hWnd) {
        self = creating;
        self->Attach(hwnd);
    }
    if (!self) return ::DefWindowProcA(hwnd, msg, wp, lp);
    bool failed;
    LRESULT result = SafeWindowProc(self, msg, wp, lp, failed);
    if (failed) result = self->DefWindowProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        self->Detach();
        self->m_hWnd = nullptr;
        self->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (superProc_) return ::CallWindowProcA(superProc_, m_hWnd, msg, wp, lp);
    return ::DefWindowProcA(m_hWnd, msg, wp, lp);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(static_cast<int>(wp), reinterpret_cast<NMHDR*>(lp), result)) return result;
        break;
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        CWnd* control = item->CtlType == ODT_MENU ? nullptr : FromHandlePermanent(item->hwndItem);
        if (control && control != this && control->DrawItem(*item)) return TRUE;
        break;
    }
    case WM_TIMER:
        OnTimer(wp);
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return DefWindowProc(msg, wp, lp);
}
