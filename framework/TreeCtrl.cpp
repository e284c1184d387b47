#include "TreeCtrl.h"

#include <vector>

HTREEITEM CTreeCtrl::InsertItem(const std::string& text, int image, HTREEITEM parent, HTREEITEM after) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::string CTreeCtrl::GetItemText(HTREEITEM item) const {
    if (!item) return std::string();
    std::vector<char> text(1024, '\0');
    TVITEMA read = {};
    read.mask = TVIF_TEXT;
    read.hItem = item;
    read.pszText = text.data();
    read.cchTextMax = static_cast<int>(text.size());
    if (!SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return std::string();
    return read.pszText ? std::string(read.pszText) : std::string();
}

bool CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
    TVITEMA read = {};
    read.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    read.hItem = item;
    if (!SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return false;
    image = read.iImage;
    selectedImage = read.iSelectedImage;
    return true;
}
