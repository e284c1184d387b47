#pragma once
// The list-view control.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Wnd.h"

class CListCtrl : public CWnd {
public:
    using CWnd::CWnd;

    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    bool DeleteItem(int item) { return SendMessage(LVM_DELETEITEM, item) != 0; }
    bool DeleteAllItems() { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    int GetSelectedCount() const { return static_cast<int>(SendMessage(LVM_GETSELECTEDCOUNT)); }
    // The next item after `start` (-1: from the top) with the LVNI_* properties in `flags`, or -1.
    int GetNextItem(int start, int flags) const { return static_cast<int>(SendMessage(LVM_GETNEXTITEM, start, flags)); }
    // The item the keyboard and shift-click extend a selection from, or -1.
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
    int SetSelectionMark(int item) { return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, item)); }
    UINT GetItemState(int item, UINT mask) const { return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask)); }
    bool SetItemState(int item, UINT state, UINT mask);
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    DWORD SetExtendedStyle(DWORD style) {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
    }
    // LVSIL_NORMAL, LVSIL_SMALL ...; the control does not take ownership unless LVS_SHAREIMAGELISTS is off.
    HIMAGELIST SetImageList(HIMAGELIST images, int which) {
        return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images)));
    }
    bool SetBkColor(COLORREF color) { return SendMessage(LVM_SETBKCOLOR, 0, color) != 0; }
    bool SetTextColor(COLORREF color) { return SendMessage(LVM_SETTEXTCOLOR, 0, color) != 0; }
    bool SetTextBkColor(COLORREF color) { return SendMessage(LVM_SETTEXTBKCOLOR, 0, color) != 0; }
    COLORREF GetBkColor() const { return static_cast<COLORREF>(SendMessage(LVM_GETBKCOLOR)); }
    COLORREF GetTextColor() const { return static_cast<COLORREF>(SendMessage(LVM_GETTEXTCOLOR)); }
    COLORREF GetTextBkColor() const { return static_cast<COLORREF>(SendMessage(LVM_GETTEXTBKCOLOR)); }
    int GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, column)); }
    bool SetColumnWidth(int column, int width) { return SendMessage(LVM_SETCOLUMNWIDTH, column, width) != 0; }
    bool EnsureVisible(int item, bool partialOk) { return SendMessage(LVM_ENSUREVISIBLE, item, partialOk) != 0; }
    // Sorts with `compare(lParam1, lParam2, data)` over the items' lParam values.
    bool SortItems(PFNLVCOMPARE compare, LPARAM data) {
        return SendMessage(LVM_SORTITEMS, data, reinterpret_cast<LPARAM>(compare)) != 0;
    }

    int InsertColumn(int column, const std::string& heading, int format = LVCFMT_LEFT, int width = -1,
                     int subItem = -1);
    // Inserts a row at `item` with the text of column 0; returns its index or -1.
    int InsertItem(int item, const std::string& text, int image = -1);
    bool SetItemText(int item, int subItem, const std::string& text);
    // The whole text of a cell, however long.
    std::string GetItemText(int item, int subItem) const;
    bool SetItemData(int item, DWORD_PTR data);
    DWORD_PTR GetItemData(int item) const;
};
