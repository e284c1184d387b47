#include "BitmapDialog.h"

#include <commctrl.h>

#include <cstring>

#include "WinApp.h"

namespace {

const BITMAPINFOHEADER& Header(const std::vector<BYTE>& info) {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
}

}  // namespace

bool CDIBitmap::Load(UINT id) {
    info_.clear();
    bits_ = nullptr;
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(instance, found) : 0;
    if (!data || size < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.biSize < sizeof header || header.biBitCount == 0) return false;
    const DWORD colors = header.biClrUsed ? header.biClrUsed : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0);
    const DWORD infoSize = header.biSize + colors * sizeof(RGBQUAD);
    const DWORD stride = ((header.biWidth * header.biBitCount + 31) / 32) * 4;
    const DWORD height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (infoSize > size || stride * height > size - infoSize) return false;
    info_.assign(data, data + infoSize);
    bits_ = data + infoSize;
    return true;
}

int CDIBitmap::Width() const { return IsLoaded() ? Header(info_).biWidth : 0; }

int CDIBitmap::Height() const {
    if (!IsLoaded()) return 0;
    const LONG h = Header(info_).biHeight;
    return h < 0 ? -h : h;
}

const RGBQUAD* CDIBitmap::Colors() const {
    return IsLoaded() ? reinterpret_cast<const RGBQUAD*>(info_.data() + Header(info_).biSize) : nullptr;
}

int CDIBitmap::ColorCount() const {
    return IsLoaded() ? static_cast<int>((info_.size() - Header(info_).biSize) / sizeof(RGBQUAD)) : 0;
}

void CDIBitmap::Draw(HDC dc, int x, int y, int width, int height) const {
    if (!IsLoaded()) return;
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, x, y, width, height, 0, 0, Width(), Height(), bits_,
                    reinterpret_cast<const BITMAPINFO*>(info_.data()), DIB_RGB_COLORS, SRCCOPY);
}

bool CBmpPalette::Create(const CDIBitmap& bitmap) {
    Reset();
    const int count = bitmap.ColorCount();
    if (count <= 0) return false;
    std::vector<BYTE> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(buffer.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < count; ++i) {
        const RGBQUAD& c = bitmap.Colors()[i];
        logical->palPalEntry[i] = {c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
    }
    palette_ = ::CreatePalette(logical);
    return palette_ != nullptr;
}

void CBmpPalette::Reset() {
    if (palette_) ::DeleteObject(palette_);
    palette_ = nullptr;
}

CBitmapDialog::~CBitmapDialog() = default;

bool CBitmapDialog::SetBitmap(UINT id, DrawMode mode) {
    mode_ = mode;
    if (!bitmap_.Load(id)) return false;
    palette_.Create(bitmap_);
    if (m_hWnd) Invalidate();
    return true;
}

void CBitmapDialog::Paint(HDC dc) {
    RECT client;
    GetClientRect(&client);
    HPALETTE old = palette_.Handle() ? ::SelectPalette(dc, palette_.Handle(), FALSE) : nullptr;
    if (palette_.Handle()) ::RealizePalette(dc);
    const int w = bitmap_.Width(), h = bitmap_.Height();
    if (!bitmap_.IsLoaded() || w <= 0 || h <= 0) {
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_3DFACE));
    } else if (mode_ == kStretch) {
        bitmap_.Draw(dc, 0, 0, client.right, client.bottom);
    } else if (mode_ == kCentre) {
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_3DFACE));
        bitmap_.Draw(dc, (client.right - w) / 2, (client.bottom - h) / 2, w, h);
    } else {
        for (int y = 0; y < client.bottom; y += h)
            for (int x = 0; x < client.right; x += w) bitmap_.Draw(dc, x, y, w, h);
    }
    if (old) ::SelectPalette(dc, old, TRUE);
}

bool CBitmapDialog::RealizePalette() {
    if (!palette_.Handle()) return false;
    HDC dc = ::GetDC(m_hWnd);
    HPALETTE old = ::SelectPalette(dc, palette_.Handle(), FALSE);
    const UINT changed = ::RealizePalette(dc);
    ::SelectPalette(dc, old, TRUE);
    ::ReleaseDC(m_hWnd, dc);
    if (changed) Invalidate();
    return changed != 0;
}

LRESULT CBitmapDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        Paint(reinterpret_cast<HDC>(wp));
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Texts and buttons show the picture through; track bars keep their own background.
        if (HWND control = reinterpret_cast<HWND>(lp)) {
            char cls[32] = {};
            ::GetClassNameA(control, cls, sizeof cls);
            if (lstrcmpiA(cls, TRACKBAR_CLASSA) == 0) break;
        }
        ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(hollow_);
    case WM_QUERYNEWPALETTE:
        return RealizePalette() ? TRUE : FALSE;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wp) != m_hWnd) RealizePalette();
        return 0;
    }
    return CDialog::WindowProc(msg, wp, lp);
}
