#pragma once
// Driving a settings page inside a real property sheet, as the settings command runs it.
#include <windows.h>

#include <functional>
#include <string>

#include "Controls.h"
#include "PropertySheet.h"

namespace {

// A settings page that runs `script` from the sheet's own message loop once the page is up.
template <class Base>
class Driven : public Base {
public:
    using Base::Base;
    std::function<void(CPropertyPage&)> script;

protected:
    bool OnInitDialog() override {
        bool result = Base::OnInitDialog();
        if (script) this->PostMessage(WM_APP);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) {
            script(*this);
            return 0;
        }
        return Base::WindowProc(msg, wp, lp);
    }
};

// Runs a sheet of the one page as the settings command does (no Apply) and returns how it closed.
inline INT_PTR RunSheet(CPropertyPage& page) {
    CPropertySheet sheet("Purgix");
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.AddPage(&page);
    return sheet.DoModal();
}

inline void PressSheet(CPropertyPage& page, int button) { ::SendMessageA(::GetParent(page.m_hWnd), PSM_PRESSBUTTON, button, 0); }

inline void Click(CPropertyPage& page, int id) { CButton(::GetDlgItem(page.m_hWnd, id)).Click(); }

// A box as the user sees it: "on"/"off", and "(grey)" when it cannot be changed.
inline std::string Box(CPropertyPage& page, int id) {
    std::string state = page.IsDlgButtonChecked(id) == BST_CHECKED ? "on" : "off";
    return page.GetDlgItem(id).IsWindowEnabled() ? state : state + " (grey)";
}

}  // namespace
