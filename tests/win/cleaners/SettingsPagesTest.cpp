#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Controls.h"
#include "EmptyLog.h"
#include "ErasureSetupPage.h"
#include "IEWipeSetupPage.h"
#include "IniTestFiles.h"
#include "MainIni.h"
#include "ProperSheet.h"
#include "ScriptedUi.h"
#include "SheetDriving.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

using initest::ReadBytes;
using initest::SampleIni;
using initest::TempFolder;
using initest::WithLine;
using initest::WriteBytes;

namespace {

const int kErasureBoxes[] = {IDC_NSA_WIPE, IDC_WIPE_NAMES, IDC_WIPE_EXTEND, IDC_CONFIRM_ERASE,
                             IDC_SELECT_ALL_OPTIONS, IDC_EXIT_AFTER_ERASE};
const int kTraceBoxes[] = {IDC_SKIP_CACHE, IDC_SKIP_URLS, IDC_SKIP_COOKIES, IDC_SKIP_HISTORY, IDC_SKIP_RECENT};

template <size_t N>
std::vector<std::string> Boxes(CPropertyPage& page, const int (&ids)[N]) {
    std::vector<std::string> shown;
    for (int id : ids) shown.push_back(Box(page, id));
    return shown;
}

// SampleIni with several lines changed.
std::string Sample(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::string text = SampleIni();
    for (const auto& change : changes) text = WithLine(text, change.first, change.second);
    return text;
}

// The sample without the line of `key`.
std::string SampleWithout(const std::string& key) {
    std::string text = SampleIni();
    size_t at = text.find("\r\n" + key + "=");
    return at == std::string::npos ? "<no line " + key + ">" : text.erase(at + 2, text.find("\r\n", at + 2) - at);
}

struct PageCase {
    const char* name;
    std::string ini;
    std::vector<std::string> shownAtOpen;  // in the order of the page's box table
    std::vector<int> clicks;
    std::vector<std::string> shownBeforeOk;
    std::string iniAfterOk;
};

// Opens `Page` on c.ini alone in a sheet, clicks c.clicks and presses OK: what the boxes show at
// opening and before OK, and main.ini after it, are the case's; nothing is written before OK and
// nothing is said.
template <class Page, size_t N>
void CheckPageCase(const PageCase& c, const int (&boxes)[N]) {
    SCOPED_TRACE(c.name);
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", c.ini));
    Driven<Page> page(folder / "main.ini");
    std::vector<std::string> atOpen, beforeOk;
    page.script = [&](CPropertyPage& p) {
        atOpen = Boxes(p, boxes);
        for (int id : c.clicks) Click(p, id);
        beforeOk = Boxes(p, boxes);
        EXPECT_EQ(ReadBytes(folder / "main.ini"), c.ini) << "nothing is written before OK";
        PressSheet(p, PSBTN_OK);
    };
    ASSERT_EQ(RunSheet(page), IDOK);
    EXPECT_EQ(atOpen, c.shownAtOpen);
    EXPECT_EQ(beforeOk, c.shownBeforeOk);
    EXPECT_EQ(ReadBytes(folder / "main.ini"), c.iniAfterOk);
    EXPECT_TRUE(ui.MessageTexts().empty());
}

}  // namespace

TEST(ErasureSetupPage, ShowsMainIniAndOkRewritesExactlyItsLines) {
    const std::vector<std::string> sampleShown = {"off", "on", "off", "on", "off", "off"};
    const PageCase cases[] = {
        {"two boxes changed", SampleIni(), sampleShown, {IDC_NSA_WIPE, IDC_WIPE_NAMES},
         {"on", "off", "off", "on", "off", "off"}, Sample({{"wipe1=0", "wipe1=1"}, {"wipe2=1", "wipe2=0"}})},
        {"select-all checks and greys the others, OK stores all six", SampleIni(), sampleShown,
         {IDC_SELECT_ALL_OPTIONS},
         {"on (grey)", "on (grey)", "on (grey)", "on (grey)", "on", "on (grey)"},
         Sample({{"wipe1=0", "wipe1=1"}, {"wipe3=0", "wipe3=1"}, {"wipe5=0", "wipe5=1"}, {"wipe6=0", "wipe6=1"}})},
        {"select-all stored: greyed at opening; clearing it frees the boxes and keeps their checks",
         Sample({{"wipe5=0", "wipe5=1"}}),
         {"off (grey)", "on (grey)", "off (grey)", "on (grey)", "on", "off (grey)"},
         {IDC_SELECT_ALL_OPTIONS}, sampleShown, SampleIni()},
        {"a key line missing from main.ini is never added", SampleWithout("wipe1"),
         {"off", "on", "off", "on", "off", "off"}, {IDC_NSA_WIPE},
         {"on", "on", "off", "on", "off", "off"}, SampleWithout("wipe1")},
        {"lines other than exactly key=1 do not count as on", "wipe1=1 \r\nwipe2=0\r\nwipe4=01\r\n",
         {"off", "off", "off", "off", "off", "off"}, {}, {"off", "off", "off", "off", "off", "off"},
         "wipe1=1 \r\nwipe2=0\r\nwipe4=01\r\n"},
    };
    for (const PageCase& c : cases) CheckPageCase<ErasureSetupPage>(c, kErasureBoxes);
}

TEST(ErasureSetupPage, CancelWritesNothingAndAMissingFileIsReportedOnOpening) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
    Driven<ErasureSetupPage> page(folder / "main.ini");
    page.script = [&](CPropertyPage& p) {
        Click(p, IDC_SELECT_ALL_OPTIONS);
        PressSheet(p, PSBTN_CANCEL);
    };
    ASSERT_EQ(RunSheet(page), IDCANCEL);
    EXPECT_EQ(ReadBytes(folder / "main.ini"), SampleIni());

    Driven<ErasureSetupPage> missing(folder / "absent.ini");
    std::vector<std::string> shown;
    missing.script = [&](CPropertyPage& p) {
        shown = Boxes(p, kErasureBoxes);
        PressSheet(p, PSBTN_CANCEL);
    };
    ASSERT_EQ(RunSheet(missing), IDCANCEL);
    EXPECT_EQ(shown, (std::vector<std::string>{"off", "off", "off", "off", "off", "off"}));
    EXPECT_EQ(ui.MessageTexts().size(), 1u) << "the file-error box once, on opening";
}

namespace {

// The page with the advanced dialog's outcome scripted: its OK stores `radioLine` in main.ini as
// the dialog does; the dialog itself is tested on its own.
class ScriptedAdvancedPage : public Driven<ErasureSetupPage> {
public:
    using Driven<ErasureSetupPage>::Driven;
    std::string iniPath;
    std::string radioLine;  // empty: the dialog is cancelled
    int runs = 0;
    bool nsaOffered = false;

protected:
    INT_PTR RunAdvancedDialog(bool nsaTicked) override {
        ++runs;
        nsaOffered = nsaTicked;
        if (radioLine.empty()) return IDCANCEL;
        WriteIniLine(iniPath, radioLine);
        return IDOK;
    }
};

}  // namespace

// After the advanced dialog's OK the NSA box follows the fill pattern main.ini now holds; after its
// Cancel nothing changes.
TEST(ErasureSetupPage, AdvancedDialogResynchronisesTheNsaBox) {
    struct Case {
        const char* name;
        bool nsaBefore;
        std::string radioLine;
        std::string ini;
        std::string shownAfter;
    };
    const Case cases[] = {
        {"NSA chosen ticks the box", false, "radio=5", SampleIni(), "on"},
        {"a custom pattern clears the box", true, "radio=1", SampleIni(), "off"},
        {"Cancel leaves the box", true, "", SampleIni(), "on"},
        {"no pattern line before the six-pass line clears the box", true, "EraserTimes=6",
         SampleWithout("radio"), "off"},
        {"NSA stored while select-all greys the box: it can be changed again", false, "radio=5",
         Sample({{"wipe5=0", "wipe5=1"}}), "on"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWinApp app("Purgix");
        ScriptedUi ui;
        TempFolder folder;
        ASSERT_TRUE(WriteBytes(folder / "main.ini", c.ini));
        ScriptedAdvancedPage page(folder / "main.ini");
        page.iniPath = folder / "main.ini";
        page.radioLine = c.radioLine;
        std::string shownAfter;
        page.script = [&](CPropertyPage& p) {
            if (c.nsaBefore) Click(p, IDC_NSA_WIPE);
            p.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ADVANCED, BN_CLICKED), 0);
            shownAfter = Box(p, IDC_NSA_WIPE);
            PressSheet(p, PSBTN_CANCEL);
        };
        ASSERT_EQ(RunSheet(page), IDCANCEL);
        EXPECT_EQ(page.runs, 1);
        EXPECT_EQ(page.nsaOffered, c.nsaBefore);
        EXPECT_EQ(shownAfter, c.shownAfter);
    }
}

TEST(IEWipeSetupPage, ShowsMainIniAndOkRewritesExactlyItsLines) {
    const std::vector<std::string> sampleShown = {"on", "off", "on", "off", "off"};
    const PageCase cases[] = {
        {"every box turned over; skip5 is never written", SampleIni(), sampleShown,
         {IDC_SKIP_CACHE, IDC_SKIP_URLS, IDC_SKIP_COOKIES, IDC_SKIP_HISTORY, IDC_SKIP_RECENT},
         {"off", "on", "off", "on", "on"},
         Sample({{"skip1=1", "skip1=0"}, {"skip2=0", "skip2=1"}, {"skip3=1", "skip3=0"}, {"skip4=0", "skip4=1"},
                 {"skip6=0", "skip6=1"}})},
        {"a key line missing from main.ini is never added", SampleWithout("skip2"), sampleShown, {IDC_SKIP_URLS},
         {"on", "on", "on", "off", "off"}, SampleWithout("skip2")},
    };
    for (const PageCase& c : cases) CheckPageCase<IEWipeSetupPage>(c, kTraceBoxes);
}

TEST(SettingsPages, HelpButtonsExplainEachTraceAndF1OpensThePageTopic) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
    const std::vector<std::pair<int, std::string>> expected = {
        {IDC_HELP_CACHE, "删除浏览器中的Cache文件"},
        {IDC_HELP_URLS, "删除浏览器地址栏的网址信息"},
        {IDC_HELP_COOKIES, "删除含有用户信息的Cookies文件"},
        {IDC_HELP_HISTORY, "删除浏览器的历史记录"},
        {IDC_HELP_RECENT, "删除最近使用过的文件信息"},
    };
    Driven<IEWipeSetupPage> ie(folder / "main.ini");
    Driven<ErasureSetupPage> erasure(folder / "main.ini");
    std::vector<std::pair<int, std::string>> shown;
    auto pressF1 = [](CPropertyPage& p, int control) {
        ::SetFocus(::GetDlgItem(p.m_hWnd, control));
        HELPINFO info = {sizeof info, HELPINFO_WINDOW, control, ::GetDlgItem(p.m_hWnd, control), 0, {0, 0}};
        p.SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    };
    ie.script = [&](CPropertyPage& p) {
        for (const auto& item : expected) {
            Click(p, item.first);
            shown.push_back({item.first, p.GetDlgItemText(IDC_IE_HELP_TEXT)});
        }
        pressF1(p, IDC_SKIP_CACHE);
        PressSheet(p, PSBTN_CANCEL);
    };
    erasure.script = [&](CPropertyPage& p) {
        pressF1(p, IDC_NSA_WIPE);
        PressSheet(p, PSBTN_CANCEL);
    };
    RunSheet(ie);
    RunSheet(erasure);
    EXPECT_EQ(shown, expected);
    std::vector<std::string> topics;
    for (const ScriptedUi::Call& call : ui.Calls()) {
        if (call.kind == "ShowHelp") topics.push_back(call.text);
    }
    EXPECT_EQ(topics, (std::vector<std::string>{ProgramDirectory() + "Purgix.chm::/Wiperhelp/DelIE.htm",
                                                ProgramDirectory() + "Purgix.chm::/Wiperhelp/DelSet.htm"}));
    EXPECT_EQ(ReadBytes(folder / "main.ini"), SampleIni());
}

// The sheet the settings commands open: "Purgix" with its icon, OK and Cancel only, the chosen page
// first, and the engraved word in the button row left of OK.
TEST(ProperSheet, CaptionButtonsFirstPageAndTheEngravedWord) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
    Driven<IEWipeSetupPage> ie(folder / "main.ini");
    Driven<ErasureSetupPage> erasure(folder / "main.ini");
    std::string caption;
    bool applyShown = true, iconSet = false;
    int greenPixels = 0, firstPage = -1;
    CProperSheet sheet(nullptr, 1);
    erasure.script = [&](CPropertyPage& p) {
        HWND s = ::GetParent(p.m_hWnd);
        caption = CWnd(s).GetWindowText();
        HWND apply = ::GetDlgItem(s, 0x3021);
        applyShown = apply && ::IsWindowVisible(apply);
        iconSet = ::SendMessageA(s, WM_GETICON, ICON_SMALL, 0) || ::SendMessageA(s, WM_GETICON, ICON_BIG, 0);
        firstPage = sheet.GetActiveIndex();
        ::RedrawWindow(s, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT ok;
        ::GetWindowRect(::GetDlgItem(s, IDOK), &ok);
        ::MapWindowPoints(nullptr, s, reinterpret_cast<POINT*>(&ok), 2);
        HDC dc = ::GetDC(s);
        for (int y = ok.top; y < ok.bottom; ++y) {
            for (int x = 0; x < ok.left; ++x) greenPixels += ::GetPixel(dc, x, y) == 0x17B95A;
        }
        ::ReleaseDC(s, dc);
        PressSheet(p, PSBTN_CANCEL);
    };
    sheet.AddPage(&ie);
    sheet.AddPage(&erasure);
    ASSERT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(caption, "Purgix");
    EXPECT_FALSE(applyShown);
    EXPECT_TRUE(iconSet);
    EXPECT_EQ(firstPage, 1);
    EXPECT_GT(greenPixels, 20) << "the green of the engraving left of OK";
}

// "清空日志": the log is left empty with the attributes it had; a log another program holds open
// without sharing is reported and kept.
TEST(EmptyLog, LeavesAnEmptyLogWithItsAttributes) {
    struct Case {
        const char* name;
        bool exists;
        DWORD attributes;
        bool locked;
        bool emptied;
        DWORD attributesAfter;
    };
    const Case cases[] = {
        {"a normal log", true, FILE_ATTRIBUTE_NORMAL, false, true, FILE_ATTRIBUTE_NORMAL},
        {"a read-only log stays read-only", true, FILE_ATTRIBUTE_READONLY, false, true, FILE_ATTRIBUTE_READONLY},
        {"a hidden read-only log keeps both", true, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false, true,
         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
        {"a missing log is made empty", false, 0, false, true, FILE_ATTRIBUTE_ARCHIVE},
        {"a log held open without sharing is reported and kept", true, FILE_ATTRIBUTE_READONLY, true, false,
         FILE_ATTRIBUTE_READONLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWinApp app("Purgix");
        ScriptedUi ui;
        TempFolder folder;
        const std::string log = folder / "log.txt";
        if (c.exists) {
            ASSERT_TRUE(WriteBytes(log, "2026-12-08 C:\\t\\禱告.txt\r\n"));
            ::SetFileAttributesA(log.c_str(), c.attributes);
        }
        HANDLE holder = c.locked ? ::CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
        EXPECT_EQ(EmptyLog(log), c.emptied);
        if (holder != INVALID_HANDLE_VALUE) ::CloseHandle(holder);
        DWORD after = ::GetFileAttributesA(log.c_str());
        EXPECT_EQ(after & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                  c.attributesAfter & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(ReadBytes(log).empty(), c.emptied);
        EXPECT_EQ(ui.MessageTexts().size(), c.emptied ? 0u : 1u);
        ::SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}
