#include "TextProgressBar.h"

#include <commctrl.h>

#include "WinApp.h"

namespace {

const COLORREF kTransparent = RGB(0xFF, 0x00, 0xFF);  // the pictures' background colour
const COLORREF kTextColour = RGB(0x10, 0x20, 0x60);

}  // namespace

TextProgressBar::~TextProgressBar() {
    if (bitmap_) ::DeleteObject(bitmap_);
}

bool TextProgressBar::Create(HWND parent, UINT id, const RECT& area) {
    HWND strip = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER, area.left, area.top,
                                   area.right - area.left, area.bottom - area.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetResourceHandle(), nullptr);
    if (!strip) return false;
    if (m_hWnd && !::IsWindow(m_hWnd)) m_hWnd = nullptr;  // the strip of an earlier showing is gone
    if (!SubclassWindow(strip)) return false;
    ::SendMessageA(strip, PBM_SETRANGE32, 0, 100);
    ::SendMessageA(strip, PBM_SETSTEP, 1, 0);
    text_.clear();
    bitmapId_ = 0;
    return true;
}

LRESULT TextProgressBar::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kSetText:
        text_ = lp ? reinterpret_cast<const char*>(lp) : "";
        Invalidate(false);
        return 0;
    case kSetBitmap:
        if (wp != bitmapId_) {
            if (bitmap_) ::DeleteObject(bitmap_);
            bitmapId_ = static_cast<UINT>(wp);
            bitmap_ = bitmapId_ ? ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(bitmapId_)) : nullptr;
            Invalidate(false);
        }
        return 0;
    case PBM_SETPOS: {
        LRESULT previous = DefWindowProc(msg, wp, lp);
        Invalidate(false);  // the picture moves with the bar
        return previous;
    }
    case WM_PAINT: {
        LRESULT result = DefWindowProc(msg, wp, lp);
        PaintOverlay();
        return result;
    }
    }
    return CWnd::WindowProc(msg, wp, lp);
}

void TextProgressBar::PaintOverlay() {
    RECT client;
    GetClientRect(&client);
    HDC dc = ::GetDC(m_hWnd);
    if (!dc) return;
    const int width = client.right - client.left, height = client.bottom - client.top;
    const int position = static_cast<int>(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0));
    if (bitmap_) {
        BITMAP info = {};
        ::GetObjectA(bitmap_, sizeof info, &info);
        int x = client.left + width * position / 100 - info.bmWidth / 2;
        if (x < client.left) x = client.left;
        if (x > client.right - info.bmWidth) x = client.right - info.bmWidth;
        const int y = client.top + (height - info.bmHeight) / 2;
        HDC memory = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(memory, bitmap_);
        ::TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth, info.bmHeight, kTransparent);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
    }
    if (!text_.empty()) {
        HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(::GetParent(m_hWnd), WM_GETFONT, 0, 0)));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, kTextColour);
        ::DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(dc, oldFont);
    }
    ::ReleaseDC(m_hWnd, dc);
}
