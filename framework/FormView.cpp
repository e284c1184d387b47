#include "FormView.h"

bool CFormView::CreateView(HWND frame, UINT id) {
    if (!Create(frame)) return false;
    RECT rect;
    GetWindowRect(&rect);
    templateSize_ = {rect.right - rect.left, rect.bottom - rect.top};
    ::SetWindowLongPtrA(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(id));
    ShowWindow(SW_SHOW);
    return true;
}

void CFormView::ResizeParentToFit() {
    HWND frame = ::GetParent(m_hWnd);
    RECT frameWindow, view;
    ::GetWindowRect(frame, &frameWindow);
    GetWindowRect(&view);
    // Whatever surrounds the view (borders, menu, bars) stays; the view gets the template's size.
    int extraWidth = (frameWindow.right - frameWindow.left) - (view.right - view.left);
    int extraHeight = (frameWindow.bottom - frameWindow.top) - (view.bottom - view.top);
    ::SetWindowPos(frame, nullptr, 0, 0, templateSize_.cx + extraWidth, templateSize_.cy + extraHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
