#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "AdvancedDlg.h"
#include "Controls.h"
#include "IniTestFiles.h"
#include "ScriptedUi.h"
#include "WinApp.h"
#include "resource.h"

using initest::ReadBytes;
using initest::SampleIni;
using initest::TempFolder;
using initest::WithLine;
using initest::WriteBytes;

namespace {

// The advanced dialog with a script that runs once it is up, from its own message loop, and works
// it as a user would.
class DrivenAdvancedDlg : public CAdvancedDlg {
public:
    using CAdvancedDlg::CAdvancedDlg;
    std::function<void(CDialog&)> script;

protected:
    bool OnInitDialog() override {
        bool result = CAdvancedDlg::OnInitDialog();
        PostMessage(WM_APP);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) {
            if (script) script(*this);
            return 0;
        }
        return CAdvancedDlg::WindowProc(msg, wp, lp);
    }
};

void Press(CDialog& dialog, int id) { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// A click on a radio button or check box, as the mouse gives it.
void Click(CDialog& dialog, int id) { CButton(::GetDlgItem(dialog.m_hWnd, id)).Click(); }

// Chooses item `index` of a drop-down list as the user does, with the notification the dialog gets.
void Choose(CDialog& dialog, int id, int index) {
    CComboBox(::GetDlgItem(dialog.m_hWnd, id)).SetCurSel(index);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(::GetDlgItem(dialog.m_hWnd, id)));
}

const int kPatternButtons[] = {IDC_RADIO_0000, IDC_RADIO_1111, IDC_RADIO_0101, IDC_RADIO_1010, IDC_RADIO_NSA};

// What the dialog shows of main.ini.
struct Shown {
    std::vector<int> checkedPatterns;
    bool nsaEnabled = false;
    bool saveList = false;
    int passes = -2;
    int buffer = -2;
};

Shown ReadShown(CDialog& d) {
    Shown shown;
    for (int id : kPatternButtons) {
        if (d.IsDlgButtonChecked(id) == BST_CHECKED) shown.checkedPatterns.push_back(id);
    }
    shown.nsaEnabled = d.GetDlgItem(IDC_RADIO_NSA).IsWindowEnabled();
    shown.saveList = d.IsDlgButtonChecked(IDC_SAVE_LIST) == BST_CHECKED;
    shown.passes = CComboBox(::GetDlgItem(d.m_hWnd, IDC_COMBO_PASSES)).GetCurSel();
    shown.buffer = CComboBox(::GetDlgItem(d.m_hWnd, IDC_COMBO_BUFFER)).GetCurSel();
    return shown;
}

std::vector<std::string> Items(CDialog& d, int id) {
    CComboBox combo(::GetDlgItem(d.m_hWnd, id));
    std::vector<std::string> items;
    for (int i = 0; i < combo.GetCount(); ++i) items.push_back(combo.GetLBText(i));
    return items;
}

}  // namespace

TEST(AdvancedDlg, ShowsItsTextsAndTheChoicesOfBothLists) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
    DrivenAdvancedDlg dialog(false, folder / "main.ini");
    std::string caption;
    std::vector<std::string> texts, passes, buffers;
    std::vector<std::pair<int, std::string>> labels;
    dialog.script = [&](CDialog& d) {
        caption = d.GetWindowText();
        for (int id : {IDC_RADIO_0000, IDC_RADIO_1111, IDC_RADIO_0101, IDC_RADIO_1010, IDC_RADIO_NSA, IDC_SAVE_LIST,
                       IDOK, IDCANCEL}) {
            labels.push_back({id, d.GetDlgItemText(id)});
        }
        for (HWND child = ::GetWindow(d.m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (::GetDlgCtrlID(child) == IDC_STATIC) texts.push_back(CWnd(child).GetWindowText());
        }
        passes = Items(d, IDC_COMBO_PASSES);
        buffers = Items(d, IDC_COMBO_BUFFER);
        Press(d, IDCANCEL);
    };
    ASSERT_EQ(dialog.DoModal(), IDCANCEL);

    EXPECT_EQ(caption, "高级...");
    EXPECT_EQ(labels, (std::vector<std::pair<int, std::string>>{{IDC_RADIO_0000, "写0000"},
                                                                {IDC_RADIO_1111, "写1111"},
                                                                {IDC_RADIO_0101, "写0101"},
                                                                {IDC_RADIO_1010, "写1010"},
                                                                {IDC_RADIO_NSA, "采用 NSA"},
                                                                {IDC_SAVE_LIST, "退出时保存要删除文件列表"},
                                                                {IDOK, "确认"},
                                                                {IDCANCEL, "取消"}}));
    for (const char* text : {"自定义擦除方式: ", "保存设置:", "擦除次数:", "缓冲区大小:",
                             "选择除NSA类型外任一选项将忽略NSA擦除规则。", "选择任一擦除次数选项将跳过NSA擦除规则。"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << "missing text " << text;
    }
    EXPECT_EQ(passes, (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(buffers, (std::vector<std::string>{"1   M", "2   M", "3   M", "4   M", "5   M", "6   M", "7   M", "8   M",
                                                 "9   M", "10  M"}));
}

TEST(AdvancedDlg, OpensOnWhatMainIniHoldsUnlessTheNsaOptionIsTicked) {
    const struct {
        const char* situation;
        bool nsaTicked;
        std::string content;
        std::vector<int> checkedPatterns;
        bool nsaEnabled, saveList;
        int passes, buffer;
    } cases[] = {
        {"a whole file", false, SampleIni(), {IDC_RADIO_0101}, false, true, 3, 0},
        {"each stored value", false, "radio=2\r\nSaveList=0\r\nBufferSize=0\r\nEraserTimes=6\r\n", {IDC_RADIO_1111},
         false, false, 5, 9},
        {"radio=4 and 1 pass", false, "radio=4\r\nBufferSize=9\r\nEraserTimes=1\r\n", {IDC_RADIO_1010}, false, false,
         0, 8},
        {"a stored radio=5 shows as 写0000", false, "radio=5\r\n", {IDC_RADIO_0000}, false, false, -1, -1},
        {"of two radio lines the later shows", false, "radio=2\r\nradio=4\r\n", {IDC_RADIO_1010}, false, false, -1,
         -1},
        {"NSA ticked: NSA and 6 passes whatever the file says", true, SampleIni(), {IDC_RADIO_NSA}, true, true, 5, 0},
        {"NSA ticked with 1 pass stored", true, "radio=1\r\nEraserTimes=1\r\n", {IDC_RADIO_NSA}, true, false, 5, -1},
        {"other spellings show nothing", false, "radio =2\r\nSaveList=1 \r\nBufferSize=10\r\nEraserTimes=7\r\n", {},
         false, false, -1, -1},
        {"an empty file", false, "", {}, false, false, -1, -1},
    };
    CWinApp app("Purgix");
    ScriptedUi ui;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        TempFolder folder;
        const std::string path = folder / "main.ini";
        ASSERT_TRUE(WriteBytes(path, c.content));
        DrivenAdvancedDlg dialog(c.nsaTicked, path);
        Shown shown;
        dialog.script = [&](CDialog& d) {
            shown = ReadShown(d);
            Press(d, IDCANCEL);
        };
        ASSERT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(shown.checkedPatterns, c.checkedPatterns);
        EXPECT_EQ(shown.nsaEnabled, c.nsaEnabled) << "采用 NSA can be chosen only with the NSA option";
        EXPECT_EQ(shown.saveList, c.saveList);
        EXPECT_EQ(shown.passes, c.passes);
        EXPECT_EQ(shown.buffer, c.buffer);
        EXPECT_EQ(ReadBytes(path), c.content) << "opening the dialog writes nothing";
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(AdvancedDlg, OkRewritesTheChosenValuesInPlaceAndCancelWritesNothing) {
    const std::string sample = SampleIni();  // radio=3, SaveList=1, BufferSize=1, EraserTimes=4
    const auto changeEverything = [](CDialog& d) {
        Click(d, IDC_RADIO_1010);
        Click(d, IDC_SAVE_LIST);
        Choose(d, IDC_COMBO_BUFFER, 4);
        Choose(d, IDC_COMBO_PASSES, 0);
    };
    const struct {
        const char* situation;
        UINT endWith;  // IDOK, IDCANCEL or WM_CLOSE (the close box)
        bool nsaTicked;
        std::string before;
        std::function<void(CDialog&)> choose;
        std::string after;
    } cases[] = {
        {"buffer 1 M to 10 M", IDOK, false, sample, [](CDialog& d) { Choose(d, IDC_COMBO_BUFFER, 9); },
         WithLine(sample, "BufferSize=1", "BufferSize=0")},
        {"nothing changed", IDOK, false, sample, [](CDialog&) {}, sample},
        {"every choice changed", IDOK, false, sample, changeEverything,
         WithLine(WithLine(WithLine(WithLine(sample, "radio=3", "radio=4"), "SaveList=1", "SaveList=0"),
                           "BufferSize=1", "BufferSize=5"),
                  "EraserTimes=4", "EraserTimes=1")},
        {"NSA ticked stores pattern 5 and 6 passes", IDOK, true, sample, [](CDialog&) {},
         WithLine(WithLine(sample, "radio=3", "radio=5"), "EraserTimes=4", "EraserTimes=6")},
        {"of two radio lines only the first is rewritten", IDOK, false, "[advance]\r\nradio=2\r\nlog=1\r\nradio=4\r\n",
         [](CDialog& d) { Click(d, IDC_RADIO_0101); }, "[advance]\r\nradio=3\r\nlog=1\r\nradio=4\r\n"},
        {"a stored radio=5 without the NSA option becomes radio=1", IDOK, false, "radio=5\r\nEraserTimes=2\r\n",
         [](CDialog&) {}, "radio=1\r\nEraserTimes=2\r\n"},
        {"missing lines stay missing", IDOK, false, "[advance]\r\nwipe1=1\r\n", changeEverything,
         "[advance]\r\nwipe1=1\r\n"},
        {"取消", IDCANCEL, false, sample, changeEverything, sample},
        {"the close box", WM_CLOSE, false, sample, changeEverything, sample},
        {"取消 with the NSA option", IDCANCEL, true, sample, changeEverything, sample},
    };
    CWinApp app("Purgix");
    ScriptedUi ui;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        TempFolder folder;
        const std::string path = folder / "main.ini";
        ASSERT_TRUE(WriteBytes(path, c.before));
        DrivenAdvancedDlg dialog(c.nsaTicked, path);
        dialog.script = [&](CDialog& d) {
            c.choose(d);
            if (c.endWith == WM_CLOSE) {
                d.SendMessage(WM_CLOSE);
            } else {
                Press(d, c.endWith);
            }
        };
        ASSERT_EQ(dialog.DoModal(), c.endWith == IDOK ? IDOK : IDCANCEL);
        EXPECT_EQ(ReadBytes(path), c.after);
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(AdvancedDlg, AMissingFileIsCreatedEmptyAndStaysEmpty) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    const std::string path = folder / "main.ini";
    DrivenAdvancedDlg dialog(true, path);
    Shown shown;
    dialog.script = [&](CDialog& d) {
        shown = ReadShown(d);
        Press(d, IDOK);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(ReadBytes(path), "") << "created, and no line is ever added";
    EXPECT_EQ(shown.checkedPatterns, std::vector<int>{IDC_RADIO_NSA});
    EXPECT_EQ(shown.passes, 5);
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(AdvancedDlg, AFileThatCannotBeOpenedIsReportedAndLeavesTheControlsEmpty) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    const std::string path = folder / "无此目录\\main.ini";
    DrivenAdvancedDlg dialog(true, path);
    Shown shown;
    size_t boxesWhileOpen = 0;
    dialog.script = [&](CDialog& d) {
        shown = ReadShown(d);
        boxesWhileOpen = ui.MessageTexts().size();
        Press(d, IDOK);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(boxesWhileOpen, 1u);
    EXPECT_TRUE(shown.checkedPatterns.empty());
    EXPECT_FALSE(shown.saveList);
    EXPECT_EQ(shown.passes, -1);
    EXPECT_EQ(shown.buffer, -1);
    const std::vector<std::string> texts = ui.MessageTexts();
    ASSERT_EQ(texts.size(), 2u) << "one box on opening, one for the first rewrite, none for the rest";
    for (const std::string& text : texts) EXPECT_EQ(text, path + " 的路径无效或不存在。");
    EXPECT_FALSE(initest::Exists(folder / "无此目录"));
}
