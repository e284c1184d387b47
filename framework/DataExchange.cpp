#include "DataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "UiSeam.h"
#include "Wnd.h"

HWND CDataExchange::Control(int id) const { return ::GetDlgItem(m_pDlgWnd->m_hWnd, id); }

namespace {

std::string ControlText(HWND control) { return CWnd(control).GetWindowText(); }

// Parses a whole decimal integer with optional surrounding blanks; false for anything else.
bool ParseInteger(const std::string& text, long long& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    out = parsed;
    return true;
}

void FailInteger(CDataExchange* dx, int id) {
    AfxMessageBox("请输入一个整数。", MB_OK | MB_ICONEXCLAMATION);
    dx->Fail(id);
}

}  // namespace

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (dx->Failed()) return;
    dx->m_idLastControl = id;
    HWND control = dx->Control(id);
    if (dx->m_bSaveAndValidate) {
        value = ControlText(control);
    } else {
        ::SetWindowTextA(control, value.c_str());
    }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) return;
    dx->m_idLastControl = id;
    HWND control = dx->Control(id);
    if (!dx->m_bSaveAndValidate) {
        ::SetWindowTextA(control, std::to_string(value).c_str());
        return;
    }
    long long parsed;
    if (!ParseInteger(ControlText(control), parsed) || parsed < INT_MIN || parsed > INT_MAX) return FailInteger(dx, id);
    value = static_cast<int>(parsed);
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
    if (dx->Failed()) return;
    dx->m_idLastControl = id;
    HWND control = dx->Control(id);
    if (!dx->m_bSaveAndValidate) {
        ::SetWindowTextA(control, std::to_string(value).c_str());
        return;
    }
    long long parsed;
    if (!ParseInteger(ControlText(control), parsed) || parsed < 0 || parsed > UINT_MAX) {
        AfxMessageBox("请输入一个正整数。", MB_OK | MB_ICONEXCLAMATION);
        dx->Fail(id);
        return;
    }
    value = static_cast<UINT>(parsed);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) return;
    dx->m_idLastControl = id;
    HWND control = dx->Control(id);
    if (dx->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        ::SendMessageA(control, BM_SETCHECK, value, 0);
    }
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) return;
    dx->m_idLastControl = id;
    HWND control = dx->Control(id);
    if (dx->m_bSaveAndValidate) value = -1;
    int index = 0;
    for (HWND button = control; button; button = ::GetWindow(button, GW_HWNDNEXT)) {
        if (button != control && (::GetWindowLongA(button, GWL_STYLE) & WS_GROUP)) break;
        if (!(::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}

void DDV_MaxChars(CDataExchange* dx, const std::string& value, int count) {
    if (dx->Failed()) return;
    HWND control = dx->Control(dx->m_idLastControl);
    if (!dx->m_bSaveAndValidate) {
        ::SendMessageA(control, EM_LIMITTEXT, count, 0);
        return;
    }
    if (static_cast<int>(value.size()) > count) {
        AfxMessageBox("请输入不超过 " + std::to_string(count) + " 个字符。", MB_OK | MB_ICONEXCLAMATION);
        dx->Fail(dx->m_idLastControl);
    }
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum) {
    if (dx->Failed()) return;
    if (!dx->m_bSaveAndValidate || (value >= minimum && value <= maximum)) return;
    AfxMessageBox("请输入一个介于 " + std::to_string(minimum) + " 和 " + std::to_string(maximum) + " 之间的整数。",
                  MB_OK | MB_ICONEXCLAMATION);
    dx->Fail(dx->m_idLastControl);
}
