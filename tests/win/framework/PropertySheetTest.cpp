#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PropertySheet.h"
#include "ScriptedUi.h"
#include "WinApp.h"
#include "test_resource.h"

namespace {

// A page that records what the sheet asks of it into a shared journal, holds one integer bound to
// its edit, and runs `script` once it is first shown.
class JournalPage : public CPropertyPage {
public:
    JournalPage(UINT templateId, int index, std::vector<std::string>& journal)
        : CPropertyPage(templateId), index_(index), journal_(journal) {}

    int value = 0;
    bool refuseNext = false;
    std::function<void(JournalPage&)> script;

protected:
    bool OnInitDialog() override {
        CPropertyPage::OnInitDialog();
        if (script) PostMessage(WM_APP);
        return true;
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_PAGE_EDIT, value); }
    bool OnSetActive() override {
        Note("active");
        return CPropertyPage::OnSetActive();
    }
    bool OnApply() override {
        Note("apply");
        return CPropertyPage::OnApply();
    }
    void OnReset() override { Note("reset"); }
    LRESULT OnWizardNext() override {
        Note("next");
        return refuseNext ? -1 : 0;
    }
    LRESULT OnWizardBack() override {
        Note("back");
        return 0;
    }
    bool OnWizardFinish() override {
        Note("finish");
        return true;
    }
    void OnHelp() override { Note("help"); }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) {
            script(*this);
            return 0;
        }
        return CPropertyPage::WindowProc(msg, wp, lp);
    }

private:
    void Note(const char* what) { journal_.push_back(std::string(what) + " " + std::to_string(index_)); }

    int index_;
    std::vector<std::string>& journal_;
};

HWND Sheet(CPropertyPage& page) { return ::GetParent(page.m_hWnd); }

void Press(CPropertyPage& page, int button) { ::SendMessageA(Sheet(page), PSM_PRESSBUTTON, button, 0); }

void Show(CPropertyPage& page, int index) { ::SendMessageA(Sheet(page), PSM_SETCURSEL, index, 0); }

}  // namespace

TEST(PropertySheets, OkAppliesEveryPageInOrderAfterReadingTheCurrentOne) {
    CWinApp app("Purgix");
    std::vector<std::string> journal;
    JournalPage one(IDD_PAGE_ONE, 1, journal), two(IDD_PAGE_TWO, 2, journal), three(IDD_PAGE_THREE, 3, journal);
    one.script = [&](JournalPage& page) {
        Show(page, 1);
        Show(page, 2);
        ::SetDlgItemTextA(three.m_hWnd, IDC_PAGE_EDIT, "33");
        journal.push_back("ok");
        Press(page, PSBTN_OK);
    };
    CPropertySheet sheet("设置");
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.AddPage(&one);
    sheet.AddPage(&two);
    sheet.AddPage(&three);
    ASSERT_EQ(sheet.DoModal(), IDOK);
    std::vector<std::string> expected = {"active 1", "active 2", "active 3", "ok", "apply 1", "apply 2", "apply 3"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(three.value, 33);
}

TEST(PropertySheets, AnInvalidPageKeepsTheSheetOpenAndCancelAppliesNothing) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    std::vector<std::string> journal;
    JournalPage one(IDD_PAGE_ONE, 1, journal), two(IDD_PAGE_TWO, 2, journal);
    int currentAfterRefusal = -1;
    CPropertySheet sheet("设置");
    one.script = [&](JournalPage& page) {
        ::SetDlgItemTextA(page.m_hWnd, IDC_PAGE_EDIT, "不是数字");
        Show(page, 1);  // refused: the page's data does not validate
        currentAfterRefusal = sheet.GetActiveIndex();
        Press(page, PSBTN_OK);  // refused likewise
        Press(page, PSBTN_CANCEL);
    };
    sheet.AddPage(&one);
    sheet.AddPage(&two);
    ASSERT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(currentAfterRefusal, 0);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>(2, "请输入一个整数。"));
    std::vector<std::string> expected = {"active 1", "reset 1"};
    EXPECT_EQ(journal, expected);
}

TEST(PropertySheets, AWizardGoesNextBackAndFinishesAndAPageCanRefuseNext) {
    CWinApp app("Purgix");
    std::vector<std::string> journal;
    JournalPage one(IDD_PAGE_ONE, 1, journal), two(IDD_PAGE_TWO, 2, journal);
    one.m_psp.dwFlags |= PSP_HASHELP;
    CPropertySheet sheet("创建向导");
    one.script = [&](JournalPage& page) {
        page.refuseNext = true;
        Press(page, PSBTN_NEXT);
        journal.push_back("on " + std::to_string(sheet.GetActiveIndex()));
        Press(page, PSBTN_HELP);
        page.refuseNext = false;
        Press(page, PSBTN_NEXT);
        Press(two, PSBTN_BACK);
        Press(page, PSBTN_NEXT);
        Press(two, PSBTN_FINISH);
    };
    sheet.SetWizardMode();
    sheet.m_psh.dwFlags |= PSH_HASHELP;
    sheet.AddPage(&one);
    sheet.AddPage(&two);
    ASSERT_EQ(sheet.DoModal(), ID_WIZFINISH);
    std::vector<std::string> expected = {"active 1", "next 1", "on 0", "help 1", "next 1", "active 2",
                                         "back 2", "active 1", "next 1", "active 2", "finish 2"};
    EXPECT_EQ(journal, expected);
}
