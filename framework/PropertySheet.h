#pragma once
// Property sheets and wizards over PropertySheetA; each page is a dialog from its own template.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Dialog.h"

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId);

    // Tells the sheet that this page has (or no longer has) unapplied changes.
    void SetModified(bool changed = true);
    CPropertySheet* GetSheet() const { return sheet_; }

    // The PROPSHEETPAGEA the sheet builds the page from; adjust before the sheet runs.
    PROPSHEETPAGEA m_psp;

protected:
    friend class CPropertySheet;

    // Becoming the current page; false keeps the sheet from showing it. Refills the controls from
    // the members on every activation after the first.
    virtual bool OnSetActive();
    // Leaving the page (also before OK): reads and validates the controls; false keeps it current.
    virtual bool OnKillActive();
    // OK or Apply, once per created page in page order; false keeps the sheet open on this page.
    virtual bool OnApply();
    // Cancel, once per created page.
    virtual void OnReset() {}
    // Cancel was pressed; false keeps the sheet open.
    virtual bool OnQueryCancel() { return true; }
    // Wizard buttons: 0 goes to the neighbouring page, -1 stays, a template id goes to that page.
    virtual LRESULT OnWizardBack() { return 0; }
    virtual LRESULT OnWizardNext() { return 0; }
    // Finish; false keeps the wizard open.
    virtual bool OnWizardFinish() { return true; }
    // The sheet's Help button while this page is current, and F1 anywhere on the page (which
    // arrives as WM_HELP: the sheet runs its own message loop).
    virtual void OnHelp() {}
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    // A page's OK is the sheet's: it does nothing itself, OnApply calls it.
    void OnOK() override {}
    void OnCancel() override {}

    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;

private:
    static INT_PTR CALLBACK StaticPageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    CPropertySheet* sheet_ = nullptr;
    bool firstActivation_ = true;
};

class CPropertySheet {
public:
    explicit CPropertySheet(const std::string& caption, HWND parent = nullptr, UINT selectPage = 0);
    virtual ~CPropertySheet() = default;

    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* GetPage(int index) const { return pages_[index]; }
    // The index of the current page, or -1 before the sheet exists.
    int GetActiveIndex() const;
    bool SetActivePage(int index);

    // Wizard mode: Back, Next and Finish instead of OK, Cancel and Apply.
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    // PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH ...: which wizard buttons are on.
    void SetWizardButtons(DWORD flags);

    // Runs the sheet modally. IDOK (or ID_WIZFINISH in a wizard) when it was closed by OK or
    // Finish, IDCANCEL otherwise, -1 when it could not be made.
    virtual INT_PTR DoModal();

    HWND m_hWnd = nullptr;  // the sheet window while it runs
    // The header the sheet is built from; adjust flags before DoModal (PSH_NOAPPLYNOW, PSH_HASHELP ...).
    PROPSHEETHEADERA m_psh;

protected:
    // Called once the sheet window exists, before it is shown.
    virtual void OnInitialized() {}

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM lp);

    friend class CPropertyPage;

    std::string caption_;
    std::vector<CPropertyPage*> pages_;
    bool closedByOk_ = false;
};

// The result of a wizard closed by Finish.
#ifndef ID_WIZFINISH
#define ID_WIZFINISH 0x3025
#endif
