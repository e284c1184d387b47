#include "Controls.h"
#include "EngineFixture.h"

using namespace engine_test;

TEST_F(EngineTest, TheProgressDialogSetsTheCancelFlagUnlessTheAnswerIsNo) {
    CEraseProgressDlg* dialog = g_progressDlg;
    HWND window = dialog->m_hWnd;
    EXPECT_EQ(dialog->GetWindowText(), "擦除中...");
    EXPECT_EQ(dialog->GetDlgItemText(IDC_PROGRESS_CANCEL), "取消");
    for (int id = IDC_ANIM_END_LEFT; id <= IDC_ANIM_LAST; ++id) EXPECT_NE(::GetDlgItem(window, id), nullptr) << id;

    struct Case {
        const char* how;
        int answer;
        unsigned char flag;
    } cases[] = {{"Cancel, then No", IDNO, 0}, {"Cancel, then Yes", IDYES, 1}, {"Cancel, then the box closed", IDCANCEL, 1},
                 {"Esc, then Yes", IDYES, 1}};
    for (const Case& c : cases) {
        dialog->cancelFlag = 0;
        ui.Clear();
        ui.AnswerMessageBox(c.answer);
        if (std::string(c.how).rfind("Esc", 0) == 0) {
            dialog->SendMessage(WM_COMMAND, IDCANCEL);
        } else {
            CButton(::GetDlgItem(window, IDC_PROGRESS_CANCEL)).Click();
        }
        EXPECT_EQ(dialog->cancelFlag, c.flag) << c.how;
        ASSERT_EQ(ui.Calls().size(), 1u) << c.how;
        EXPECT_EQ(ui.Calls()[0].text, "确认终止吗?");
        EXPECT_EQ(ui.Calls()[0].caption, "擦除终止");
        EXPECT_EQ(ui.Calls()[0].flags, UINT(MB_YESNO | MB_ICONQUESTION));
        EXPECT_TRUE(::IsWindowVisible(window)) << c.how << " closed the dialog";
    }
    DestroyProgressDialog();
    EXPECT_EQ(g_progressDlg, nullptr);
    EXPECT_FALSE(::IsWindow(window));
}
