#pragma once
// A tree-view control. Holds an HWND it does not own.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Wnd.h"

class CTreeCtrl : public CWnd {
public:
    using CWnd::CWnd;
    // Gives the control an image list for its items (TVSIL_NORMAL); returns the previous one.
    HIMAGELIST SetImageList(HIMAGELIST images, int which = TVSIL_NORMAL) {
        return reinterpret_cast<HIMAGELIST>(SendMessage(TVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images)));
    }
    HIMAGELIST GetImageList(int which = TVSIL_NORMAL) const {
        return reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, which));
    }
    // Inserts an item with its text and one image for both states; null on failure.
    HTREEITEM InsertItem(const std::string& text, int image, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
    bool Expand(HTREEITEM item, UINT code = TVE_EXPAND) {
        return SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)) != 0;
    }
    UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
        return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    }
    // The item's text; empty for a null item.
    std::string GetItemText(HTREEITEM item) const;
    // The item's image and selected image; false when the item cannot be read.
    bool GetItemImage(HTREEITEM item, int& image, int& selectedImage) const;
    UINT GetItemState(HTREEITEM item, UINT mask) const {
        return static_cast<UINT>(SendMessage(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), mask));
    }
};
