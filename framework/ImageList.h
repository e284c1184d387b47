#pragma once
// An image list. Unlike the window wrappers it owns its handle: the list is destroyed with the
// object unless Detach() gave it away.
#include <windows.h>
#include <commctrl.h>

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // An empty list of `cx` x `cy` images (ILC_COLOR24 | ILC_MASK ... in `flags`).
    bool Create(int cx, int cy, UINT flags, int initial, int grow);
    // Adds the images of a bitmap strip, pixels of `mask` colour made transparent; returns the
    // index of the first one or -1.
    int Add(HBITMAP bitmap, COLORREF mask) { return ImageList_AddMasked(m_hImageList, bitmap, mask); }
    int Add(HICON icon) { return ImageList_AddIcon(m_hImageList, icon); }
    int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
    bool DeleteImageList();
    // Takes over a list made elsewhere (a system image list must be Detached, never destroyed).
    void Attach(HIMAGELIST list) {
        DeleteImageList();
        m_hImageList = list;
    }
    HIMAGELIST Detach() {
        HIMAGELIST list = m_hImageList;
        m_hImageList = nullptr;
        return list;
    }
    operator HIMAGELIST() const { return m_hImageList; }

    HIMAGELIST m_hImageList = nullptr;
};
