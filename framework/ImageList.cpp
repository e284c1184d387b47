#include "ImageList.h"

bool CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

bool CImageList::DeleteImageList() {
    if (!m_hImageList) return false;
    bool ok = ImageList_Destroy(m_hImageList) != FALSE;
    m_hImageList = nullptr;
    return ok;
}
