#include "ListCtrl.h"

bool CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    LVITEMA lv = {};
    lv.state = state;
    lv.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lv)) != 0;
}

int CListCtrl::InsertColumn(int column, const std::string& heading, int format, int width, int subItem) {
    LVCOLUMNA col = {};
    col.mask = LVCF_FMT | LVCF_TEXT;
    col.fmt = format;
    col.pszText = const_cast<char*>(heading.c_str());
    if (width != -1) {
        col.mask |= LVCF_WIDTH;
        col.cx = width;
    }
    if (subItem != -1) {
        col.mask |= LVCF_SUBITEM;
        col.iSubItem = subItem;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int item, const std::string& text, int image) {
    LVITEMA lv = {};
    lv.mask = LVIF_TEXT;
    lv.iItem = item;
    lv.pszText = const_cast<char*>(text.c_str());
    if (image != -1) {
        lv.mask |= LVIF_IMAGE;
        lv.iImage = image;
    }
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lv)));
}

bool CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
    LVITEMA lv = {};
    lv.iSubItem = subItem;
    lv.pszText = const_cast<char*>(text.c_str());
    return SendMessage(LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lv)) != 0;
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
    // The control copies at most the buffer size less one; grow until the text fits with room to spare.
    std::string text;
    for (size_t size = 256;; size *= 2) {
        text.assign(size, '\0');
        LVITEMA lv = {};
        lv.iSubItem = subItem;
        lv.pszText = &text[0];
        lv.cchTextMax = static_cast<int>(size);
        LRESULT length = SendMessage(LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lv));
        if (static_cast<size_t>(length) + 1 < size || size >= (1u << 20)) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
    }
}

bool CListCtrl::SetItemData(int item, DWORD_PTR data) {
    LVITEMA lv = {};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    lv.lParam = static_cast<LPARAM>(data);
    return SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lv)) != 0;
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
    LVITEMA lv = {};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    if (!SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lv))) return 0;
    return static_cast<DWORD_PTR>(lv.lParam);
}
