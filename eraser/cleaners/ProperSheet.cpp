#include "ProperSheet.h"

#include "WinApp.h"
#include "resource.h"

namespace {

const char kWord[] = "Purgix ";
const COLORREF kGreen = 0x17B95A;

}  // namespace

CProperSheet::CProperSheet(HWND parent, UINT selectPage) : CPropertySheet("Purgix", parent, selectPage) {
    m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_USEHICON;
    m_psh.hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CProperSheet::OnInitialized() { engraving_.SubclassWindow(m_hWnd); }

LRESULT CProperSheet::CEngraving::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = CWnd::WindowProc(msg, wp, lp);
    if (msg == WM_PAINT) {
        HDC dc = ::GetDC(m_hWnd);
        PaintEngraving(m_hWnd, dc);
        ::ReleaseDC(m_hWnd, dc);
    }
    return result;
}

void PaintEngraving(HWND sheet, HDC dc) {
    HWND tab = reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    HWND ok = ::GetDlgItem(sheet, IDOK);
    if (!tab || !ok) return;
    RECT tabRect, okRect;
    ::GetWindowRect(tab, &tabRect);
    ::GetWindowRect(ok, &okRect);
    ::MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&tabRect), 2);
    ::MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&okRect), 2);
    RECT text = {tabRect.left + 20, okRect.top, okRect.left, okRect.bottom};

    HFONT font = ::CreateFontA(20, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    int oldMode = ::SetBkMode(dc, TRANSPARENT);
    RECT moved = text;
    ::OffsetRect(&moved, 1, 1);
    COLORREF oldColor = ::SetTextColor(dc, kGreen);
    ::DrawTextA(dc, kWord, -1, &moved, DT_VCENTER | DT_SINGLELINE);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
    ::DrawTextA(dc, kWord, -1, &text, DT_VCENTER | DT_SINGLELINE);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldFont);
    ::DeleteObject(font);
}
