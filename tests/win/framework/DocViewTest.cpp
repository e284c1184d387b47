#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocTemplate.h"
#include "ScriptedUi.h"
#include "WinApp.h"
#include "test_resource.h"

namespace {

std::vector<std::string> journal;

class TestView : public CFormView {
public:
    TestView() : CFormView(IDD_FORM) {}
    void OnInitialUpdate() override {
        journal.push_back("initial update");
        CFormView::OnInitialUpdate();
    }

protected:
    bool OnCommand(UINT id, UINT code, HWND control) override {
        if (id == ID_BOTH || id == ID_ACCEL) {
            journal.push_back("view " + std::to_string(id));
            return true;
        }
        return false;
    }
};

class TestFrame : public CFrameWnd {
protected:
    bool OnFrameCommand(UINT id, UINT code) override {
        if (id == ID_BOTH || id == ID_FRAME_ONLY) {
            journal.push_back("frame " + std::to_string(id));
            return true;
        }
        return false;
    }
};

class TestApp : public CWinApp {
public:
    TestApp() : CWinApp("Purgix") {
        AddDocTemplate(std::make_unique<CSingleDocTemplate>(
            IDR_DOCFRAME, [] { return std::make_unique<CDocument>(); }, [] { return std::make_unique<TestFrame>(); },
            [] { return std::make_unique<TestView>(); }));
    }
    bool OnCommand(UINT id) override {
        journal.push_back("app " + std::to_string(id));
        return id == ID_APP_ONLY;
    }
};

}  // namespace

TEST(DocView, ANewDocumentGetsAFrameWithItsViewAndCommandsGoViewFrameApp) {
    journal.clear();
    TestApp app;
    CCommandLineInfo info;
    info.ParseParam("MyLockvale", true, true);  // an unknown flag changes nothing
    ASSERT_TRUE(app.ProcessShellCommand(info));
    CSingleDocTemplate* docs = app.GetDocTemplate();
    ASSERT_NE(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.m_pMainWnd, docs->GetFrame());
    EXPECT_EQ(docs->GetDocument()->GetTitle(), "List");
    EXPECT_EQ(docs->GetFrame()->GetWindowText(), "List - Purgix");
    EXPECT_EQ(::GetParent(docs->GetView()->m_hWnd), docs->GetFrame()->m_hWnd);
    EXPECT_EQ(docs->GetView()->GetDocument(), docs->GetDocument());
    EXPECT_NE(::GetMenu(docs->GetFrame()->m_hWnd), nullptr);

    // The view fills the frame's client area and follows it.
    CFrameWnd* frame = docs->GetFrame();
    frame->MoveWindow(0, 0, 500, 400);
    RECT client, view;
    frame->GetClientRect(&client);
    docs->GetView()->GetClientRect(&view);
    EXPECT_EQ(view.right, client.right);
    EXPECT_EQ(view.bottom, client.bottom);

    for (UINT id : {ID_BOTH, ID_FRAME_ONLY, ID_APP_ONLY}) frame->PostMessage(WM_COMMAND, id);
    // Ctrl+O goes through the frame's accelerators to the view.
    HWND list = ::GetDlgItem(docs->GetView()->m_hWnd, IDC_FORM_LIST);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::PostMessageA(list, WM_KEYDOWN, 'O', 1);
    frame->PostMessage(WM_CLOSE);
    EXPECT_EQ(app.Run(), 0);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);

    std::vector<std::string> expected = {"initial update", "view 32900", "frame 32901", "app 32902", "view 32903"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(frame->m_hWnd, nullptr) << "closing the frame destroys it and ends the loop";
}

TEST(DocView, AFileOnTheCommandLineThatCannotBeOpenedFailsWithItsFileErrorAndNoWindow) {
    journal.clear();
    TestApp app;
    ScriptedUi ui;
    CCommandLineInfo info;
    info.ParseParam("C:\\不存在\\list.dat", false, true);
    EXPECT_FALSE(app.ProcessShellCommand(info));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find("C:\\不存在\\list.dat"), std::string::npos);
    EXPECT_TRUE(journal.empty());
}
