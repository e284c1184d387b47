#pragma once
// Data exchange between dialog controls and members, with the framework's validation. After the
// first failure every further exchange of the same pass does nothing: one message, one focus.
#include <windows.h>

#include <string>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, bool saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    // Marks the exchange failed at control `id` (the dialog then focuses it and stays open).
    void Fail(int id) {
        if (!failed_) failedControl_ = id;
        failed_ = true;
    }
    bool Failed() const { return failed_; }
    int FailedControl() const { return failedControl_; }

    HWND Control(int id) const;

    const bool m_bSaveAndValidate;  // true: controls to members; false: members to controls
    CWnd* const m_pDlgWnd;
    int m_idLastControl = 0;  // the control of the last DDX call, for the DDV call after it

private:
    bool failed_ = false;
    int failedControl_ = 0;
};

// An edit's text.
void DDX_Text(CDataExchange* dx, int id, std::string& value);
// An edit holding a decimal integer; a text that is not one shows "请输入一个整数。" and fails.
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
// A check box: 0 clear, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange* dx, int id, int& value);
// A radio group starting at `id` (the button with WS_GROUP) up to the next WS_GROUP: the index of the
// checked button, or -1 when none is.
void DDX_Radio(CDataExchange* dx, int id, int& value);

// Limits the last exchanged edit to `count` characters: on filling it sets the edit's limit, on
// reading a longer text shows "请输入不超过 N 个字符。" and fails.
void DDV_MaxChars(CDataExchange* dx, const std::string& value, int count);
// Keeps an integer in [minimum, maximum]; outside it shows "请输入一个介于 A 和 B 之间的整数。" and fails.
void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum);
