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

TEST_F(EngineTest, TheAnimationMovesOneScrapAlongTheArcFrameByFrame) {
    EnsureProgressDialog();
    ASSERT_NE(g_progressDlg, nullptr);
    HWND dialog = g_progressDlg->m_hWnd;
    auto visibleArc = [&] {
        std::vector<int> shown;
        for (int id = IDC_ANIM_FIRST; id <= IDC_ANIM_LAST; ++id) {
            if (::IsWindowVisible(::GetDlgItem(dialog, id))) shown.push_back(id);
        }
        return shown;
    };
    for (int id : {IDC_ANIM_END_LEFT, IDC_ANIM_END_RIGHT}) {
        EXPECT_NE(::SendDlgItemMessageA(dialog, id, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << id;
    }
    // Let the 10 ms timer run: every frame shows the scrap at its own arc position, or nowhere.
    std::vector<int> framesSeen;
    DWORD until = ::GetTickCount() + 1500;
    while (::GetTickCount() < until && framesSeen.size() < 40) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        } else {
            ::Sleep(1);
        }
        int frame = g_progressDlg->animationFrame;
        if (frame == 0 || (!framesSeen.empty() && framesSeen.back() == frame)) continue;
        framesSeen.push_back(frame);
        std::vector<int> shown = visibleArc();
        if (frame <= 19) {
            EXPECT_EQ(shown, std::vector<int>{IDC_ANIM_FIRST + frame - 1}) << "frame " << frame;
        } else {
            EXPECT_TRUE(shown.empty()) << "frame " << frame;
        }
    }
    ASSERT_GE(framesSeen.size(), 3u) << "the animation runs while messages are taken";
    for (size_t i = 1; i < framesSeen.size(); ++i) {
        EXPECT_EQ(framesSeen[i], framesSeen[i - 1] % 23 + 1) << "frames follow each other and wrap after 23";
    }
}
