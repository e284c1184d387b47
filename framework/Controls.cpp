#include "Controls.h"

#include "WinApp.h"

std::string CComboBox::GetLBText(int index) const {
    LRESULT length = SendMessage(CB_GETLBTEXTLEN, index);
    if (length == CB_ERR) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = SendMessage(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == CB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

bool CStatusBarCtrl::Create(DWORD style, HWND parent, UINT id) {
    m_hWnd = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetResourceHandle(), nullptr);
    return m_hWnd != nullptr;
}

std::string CStatusBarCtrl::GetText(int part) const {
    // Some systems count the length in characters, not bytes: room for two bytes each.
    size_t length = LOWORD(SendMessage(SB_GETTEXTLENGTHA, part));
    std::string text(2 * length + 1, '\0');
    SendMessage(SB_GETTEXTA, part, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

bool CToolBarCtrl::Create(DWORD style, HWND parent, UINT id) {
    m_hWnd = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, "", style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetResourceHandle(), nullptr);
    if (m_hWnd) SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    return m_hWnd != nullptr;
}
