#include <gtest/gtest.h>

#include <functional>

#include "Controls.h"
#include "Dialog.h"
#include "ScriptedUi.h"
#include "WinApp.h"
#include "test_resource.h"

namespace {

// The exchange test dialog; `script` runs once the dialog is up, from its own message loop, and
// drives it as a user would.
class ExchangeDialog : public CDialog {
public:
    ExchangeDialog() : CDialog(IDD_EXCHANGE) {}

    std::string name = "旧名字";
    int count = 3;
    int agree = 0;
    int choice = 1;
    std::function<void(ExchangeDialog&)> script;
    int okCalls = 0;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        PostMessage(WM_APP);
        return true;
    }
    void OnOK() override {
        ++okCalls;
        CDialog::OnOK();
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, IDC_NAME, name);
        DDV_MaxChars(dx, name, 8);
        DDX_Text(dx, IDC_COUNT, count);
        DDX_Check(dx, IDC_AGREE, agree);
        DDX_Radio(dx, IDC_RADIO_FIRST, choice);
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) {
            if (script) script(*this);
            return 0;
        }
        return CDialog::WindowProc(msg, wp, lp);
    }
};

void Press(CDialog& dialog, int id) { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void Type(HWND control, const std::string& text) {
    for (unsigned char c : text) ::SendMessageA(control, WM_CHAR, c, 0);
}

}  // namespace

TEST(Dialog, ChineseTemplateTextsReadBackAsTheGbkBytesOfTheSource) {
    CWinApp app("Purgix");
    ExchangeDialog dialog;
    std::string caption, label;
    dialog.script = [&](ExchangeDialog& d) {
        caption = d.GetWindowText();
        label = d.GetDlgItemText(IDC_CAPTION_TEXT);
        Press(d, IDCANCEL);
    };
    ASSERT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(caption, "数据交换测试");
    EXPECT_EQ(label, "请输入文件名（禱告）:");
    // 禱 is B6 5C in GBK: the template must not have been read in another code page.
    EXPECT_NE(label.find("\xB6\x5C"), std::string::npos);
    EXPECT_EQ(AfxLoadString(IDS_GREETING), "删除文件夹失败!");
}

TEST(Dialog, OkExchangesTheControlsIntoTheMembersAndCancelDoesNot) {
    CWinApp app("Purgix");
    for (int button : {IDOK, IDCANCEL}) {
        ExchangeDialog dialog;
        std::string shownName, shownCount;
        bool secondShownChecked = false;
        dialog.script = [&](ExchangeDialog& d) {
            shownName = d.GetDlgItemText(IDC_NAME);
            shownCount = d.GetDlgItemText(IDC_COUNT);
            secondShownChecked = d.IsDlgButtonChecked(IDC_RADIO_SECOND) == BST_CHECKED;
            d.SetDlgItemText(IDC_NAME, "新名字");
            d.SetDlgItemText(IDC_COUNT, " -42");
            d.CheckDlgButton(IDC_AGREE, BST_CHECKED);
            d.CheckRadioButton(IDC_RADIO_FIRST, IDC_RADIO_THIRD, IDC_RADIO_THIRD);
            Press(d, button);
        };
        ASSERT_EQ(dialog.DoModal(), button);
        EXPECT_EQ(shownName, "旧名字");
        EXPECT_EQ(shownCount, "3");
        EXPECT_TRUE(secondShownChecked);
        if (button == IDOK) {
            EXPECT_EQ(dialog.name, "新名字");
            EXPECT_EQ(dialog.count, -42);
            EXPECT_EQ(dialog.agree, 1);
            EXPECT_EQ(dialog.choice, 2);
        } else {
            EXPECT_EQ(dialog.name, "旧名字");
            EXPECT_EQ(dialog.count, 3);
            EXPECT_EQ(dialog.agree, 0);
            EXPECT_EQ(dialog.choice, 1);
        }
    }
}

TEST(Dialog, AnEditWithAMaximumLengthRefusesTheExtraCharacter) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    ExchangeDialog dialog;
    std::string typed;
    bool stillOpenAfterOk = false;
    dialog.script = [&](ExchangeDialog& d) {
        HWND edit = ::GetDlgItem(d.m_hWnd, IDC_NAME);
        d.SetDlgItemText(IDC_NAME, "");
        Type(edit, "abcdefghij");
        typed = d.GetDlgItemText(IDC_NAME);
        // Text put in by a program is not limited by the edit; the exchange still refuses it.
        d.SetDlgItemText(IDC_NAME, "123456789");
        Press(d, IDOK);
        stillOpenAfterOk = d.m_nModalResult == -1;
        Press(d, IDCANCEL);
    };
    ASSERT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(typed, "abcdefgh");
    EXPECT_TRUE(stillOpenAfterOk);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"请输入不超过 8 个字符。"});
    EXPECT_EQ(ui.Calls()[0].caption, "Purgix");
}

TEST(Dialog, ANonNumberInAnIntegerFieldKeepsTheDialogOpenOnThatField) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    ExchangeDialog dialog;
    HWND focusAfterFailure = nullptr, countEdit = nullptr;
    dialog.script = [&](ExchangeDialog& d) {
        countEdit = ::GetDlgItem(d.m_hWnd, IDC_COUNT);
        for (const char* bad : {"abc", "12x", "", "99999999999"}) {
            d.SetDlgItemText(IDC_COUNT, bad);
            Press(d, IDOK);
        }
        focusAfterFailure = ::GetFocus();
        d.SetDlgItemText(IDC_COUNT, "7");
        Press(d, IDOK);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.okCalls, 5);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>(4, "请输入一个整数。"));
    EXPECT_EQ(focusAfterFailure, countEdit);
    EXPECT_EQ(dialog.count, 7);
}

TEST(Dialog, AModelessDialogGetsItsKeyboardThroughTheApplicationLoop) {
    // Enter in an edit of a modeless dialog becomes the dialog's OK only if the loop hands the
    // message to IsDialogMessage.
    class Modeless : public ExchangeDialog {
    public:
        bool gotOk = false;

    protected:
        void OnOK() override {
            gotOk = true;
            DestroyWindow();
            ::PostQuitMessage(0);
        }
    };
    CWinApp app("Purgix");
    Modeless dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(SW_SHOW);
    HWND edit = ::GetDlgItem(dialog.m_hWnd, IDC_NAME);
    ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    ::SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK { ::PostQuitMessage(1); });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(dialog.gotOk);
}
