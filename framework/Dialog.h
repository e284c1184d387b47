#pragma once
// Dialogs from templates: modal and modeless, with data exchange.
#include "DataExchange.h"
#include "Wnd.h"

class CDialog : public CWnd {
public:
    // `templateId` names a DIALOG resource of the resource instance; `parent` may be null.
    explicit CDialog(UINT templateId, HWND parent = nullptr) : m_nIDHelp(templateId), parent_(parent) {}

    // Runs the dialog modally; returns the value given to EndDialog, or -1 when it could not be made.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless (not shown unless its template says WS_VISIBLE).
    bool Create(HWND parent = nullptr);
    // Ends a modal dialog with `result`.
    void EndDialog(int result);

    // Moves data between the controls and the members: `saveAndValidate` true reads the controls
    // (and can fail validation, leaving the focus on the offending control), false fills them.
    bool UpdateData(bool saveAndValidate = true);

    bool IsModal() const { return modal_; }
    UINT m_nIDHelp;
    // The value given to EndDialog while the dialog runs modally; -1 until then.
    int m_nModalResult = -1;

protected:
    // WM_INITDIALOG: fills the controls from the members. Return true to let Windows set the focus.
    virtual bool OnInitDialog();
    // IDOK: reads and validates the controls, then ends with IDOK. A failed validation keeps it open.
    virtual void OnOK();
    // IDCANCEL (Esc, the close box): ends with IDCANCEL without reading the controls.
    virtual void OnCancel();
    // The members bound to controls; called by UpdateData.
    virtual void DoDataExchange(CDataExchange* dx) {}

    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // The dialog procedure behind a window already linked to `self`.
    static INT_PTR RunDlgProc(CDialog* self, UINT msg, WPARAM wp, LPARAM lp);

    HWND parent_;

private:
    bool modal_ = false;
    bool defaultCalled_ = false;  // set when a message reached DefWindowProc: the dialog manager handles it
};
