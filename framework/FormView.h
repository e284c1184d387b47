#pragma once
// A view whose face is a dialog template (a child dialog filling the frame's client area).
#include "Dialog.h"

class CDocument;

class CFormView : public CDialog {
public:
    explicit CFormView(UINT templateId) : CDialog(templateId) {}

    // Creates the view as a child of `frame` (the template must have the WS_CHILD style).
    bool CreateView(HWND frame, UINT id);
    // Called once the frame, document and view all exist, before the frame is shown.
    virtual void OnInitialUpdate() { UpdateData(false); }
    // Resizes the parent frame so that its client area fits the template's size.
    void ResizeParentToFit();
    // Commands routed from the frame; true when handled.
    bool OnCmdMsg(UINT id, UINT code) { return OnCommand(id, code, nullptr); }
    // Whether command `id` can be chosen now (asked when a menu of the frame opens).
    virtual bool IsCommandEnabled(UINT id) { return true; }

    CDocument* GetDocument() const { return m_pDocument; }
    CDocument* m_pDocument = nullptr;

protected:
    // Enter and Escape in a form view must not end it.
    void OnOK() override {}
    void OnCancel() override {}

private:
    SIZE templateSize_ = {0, 0};
};

// The child-window id of a frame's view.
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;
