#pragma once
// A dialog of the programs with a script that runs from the dialog's own message loop once it is up,
// working it as a user would. A dialog still open after the script refused what it was given: Cancel
// ends the run, so a test never waits on a dialog nobody closes.
#include <windows.h>

#include <functional>

template <class Base>
class Driven : public Base {
public:
    using Base::Base;
    std::function<void(Base&)> script;

protected:
    bool OnInitDialog() override {
        bool result = Base::OnInitDialog();
        this->PostMessage(WM_APP);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) {
            if (script) script(*this);
            if (this->m_nModalResult == -1) this->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return 0;
        }
        return Base::WindowProc(msg, wp, lp);
    }
};
