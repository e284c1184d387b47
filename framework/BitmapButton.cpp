#include "BitmapButton.h"

#include <string>

#include "WinApp.h"

CResourceException::CResourceException(UINT id)
    : std::runtime_error("resource " + std::to_string(id) + " cannot be loaded"), id(id) {}

CBitmapButton::~CBitmapButton() { FreeBitmaps(); }

void CBitmapButton::FreeBitmaps() {
    for (HBITMAP* bitmap : {&normal_, &selected_, &focus_, &disabled_}) {
        if (*bitmap) ::DeleteObject(*bitmap);
        *bitmap = nullptr;
    }
}

void CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled) {
    FreeBitmaps();
    const UINT ids[] = {normal, selected, focus, disabled};
    HBITMAP* slots[] = {&normal_, &selected_, &focus_, &disabled_};
    for (int i = 0; i < 4; ++i) {
        if (ids[i] == 0) continue;
        *slots[i] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(ids[i]));
        if (!*slots[i]) {
            FreeBitmaps();
            throw CResourceException(ids[i]);
        }
    }
}

bool CBitmapButton::SubclassDlgItem(int id, const CWnd& parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return false;
    LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    SizeToContent();
    return true;
}

void CBitmapButton::SizeToContent() {
    BITMAP info;
    if (!normal_ || !::GetObjectA(normal_, sizeof info, &info)) return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HBITMAP CBitmapButton::BitmapFor(UINT state) const {
    HBITMAP chosen = nullptr;
    if (state & ODS_SELECTED) {
        chosen = selected_;
    } else if (state & ODS_FOCUS) {
        chosen = focus_;
    } else if (state & ODS_DISABLED) {
        chosen = disabled_;
    }
    return chosen ? chosen : normal_;
}

bool CBitmapButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HBITMAP bitmap = BitmapFor(item.itemState);
    if (!bitmap) return false;
    HDC memory = ::CreateCompatibleDC(item.hDC);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    const RECT& r = item.rcItem;
    ::BitBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    return true;
}
