#pragma once
// Thin wrappers over the standard and common controls. Each holds an HWND it does not own.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Wnd.h"

class CButton : public CWnd {
public:
    using CWnd::CWnd;
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, check); }
    void Click() { SendMessage(BM_CLICK); }
    HBITMAP SetBitmap(HBITMAP bitmap) {
        return reinterpret_cast<HBITMAP>(SendMessage(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
};

class CStatic : public CWnd {
public:
    using CWnd::CWnd;
    HICON SetIcon(HICON icon) {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
    }
    HBITMAP SetBitmap(HBITMAP bitmap) {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
};

class CEdit : public CWnd {
public:
    using CWnd::CWnd;
    // Limits the text to `count` characters (bytes in an ANSI edit).
    void SetLimitText(UINT count) { SendMessage(EM_LIMITTEXT, count); }
    UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, start, end); }
    void ReplaceSel(const std::string& text) { SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str())); }
    void SetReadOnly(bool readOnly = true) { SendMessage(EM_SETREADONLY, readOnly); }
};

class CComboBox : public CWnd {
public:
    using CWnd::CWnd;
    int AddString(const std::string& text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()))); }
    int InsertString(int index, const std::string& text) {
        return static_cast<int>(SendMessage(CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str())));
    }
    int DeleteString(int index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, index)); }
    int FindStringExact(int start, const std::string& text) const {
        return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, start, reinterpret_cast<LPARAM>(text.c_str())));
    }
    DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, index)); }
    int SetItemData(int index, DWORD_PTR data) { return static_cast<int>(SendMessage(CB_SETITEMDATA, index, data)); }
    // The text of item `index`; empty when there is no such item.
    std::string GetLBText(int index) const;
};

class CProgressCtrl : public CWnd {
public:
    using CWnd::CWnd;
    void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, lower, upper); }
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, position)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, step)); }
    int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

class CStatusBarCtrl : public CWnd {
public:
    using CWnd::CWnd;
    // Creates a status bar at the bottom of `parent`.
    bool Create(DWORD style, HWND parent, UINT id);
    // `rightEdges` holds the right edge of each part (-1: to the window's edge).
    bool SetParts(int count, const int* rightEdges) {
        return SendMessage(SB_SETPARTS, count, reinterpret_cast<LPARAM>(rightEdges)) != 0;
    }
    bool SetText(const std::string& text, int part = 0, int type = 0) {
        return SendMessage(SB_SETTEXTA, part | type, reinterpret_cast<LPARAM>(text.c_str())) != 0;
    }
    std::string GetText(int part = 0) const;
    void SetSimple(bool simple = true) { SendMessage(SB_SIMPLE, simple); }
};

class CToolBarCtrl : public CWnd {
public:
    using CWnd::CWnd;
    // Creates a toolbar in `parent` (TBSTYLE_* and CCS_* in `style`).
    bool Create(DWORD style, HWND parent, UINT id);
    HIMAGELIST SetImageList(HIMAGELIST images) {
        return reinterpret_cast<HIMAGELIST>(SendMessage(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images)));
    }
    HIMAGELIST SetDisabledImageList(HIMAGELIST images) {
        return reinterpret_cast<HIMAGELIST>(SendMessage(TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(images)));
    }
    bool SetBitmapSize(int cx, int cy) { return SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(cx, cy)) != 0; }
    bool SetButtonSize(int cx, int cy) { return SendMessage(TB_SETBUTTONSIZE, 0, MAKELONG(cx, cy)) != 0; }
    bool AddButtons(int count, const TBBUTTON* buttons) {
        return SendMessage(TB_ADDBUTTONSA, count, reinterpret_cast<LPARAM>(buttons)) != 0;
    }
    int GetButtonCount() const { return static_cast<int>(SendMessage(TB_BUTTONCOUNT)); }
    bool GetButton(int index, TBBUTTON* button) const {
        return SendMessage(TB_GETBUTTON, index, reinterpret_cast<LPARAM>(button)) != 0;
    }
    bool EnableButton(int id, bool enable = true) { return SendMessage(TB_ENABLEBUTTON, id, MAKELONG(enable, 0)) != 0; }
    bool IsButtonEnabled(int id) const { return SendMessage(TB_ISBUTTONENABLED, id) != 0; }
    void AutoSize() { SendMessage(TB_AUTOSIZE); }
};
