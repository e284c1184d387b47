// The main window around the erase list: toolbar, status bar, display modes, colours, opening an
// item, help and the properties dialog; and the texts the list shows.
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>

#include "EngineFixture.h"
#include "ListFixture.h"
#include "ListText.h"

namespace list_test {
namespace {

const char kCrCrLf[] = "\r\r\n";

// The properties dialog as the user meets it: found once it has counted, then Enter and Escape are
// tried and the close box is used.
struct PropertiesProbe {
    bool found = false;
    std::string title, files, folders, size;
    std::vector<std::string> labels;
    bool openAfterEnterAndEscape = false;
    DWORD started = 0;
} probe;

BOOL CALLBACK FindProperties(HWND window, LPARAM found) {
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof title);
    if (std::string(title) != "属性框") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

BOOL CALLBACK CollectLabel(HWND control, LPARAM) {
    if (::GetDlgCtrlID(control) == -1 || ::GetDlgCtrlID(control) == 0xFFFF) {
        char text[64] = {};
        ::GetWindowTextA(control, text, sizeof text);
        probe.labels.push_back(text);
    }
    return TRUE;
}

void CALLBACK ProbeProperties(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindProperties, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    CWnd window(dialog);
    // A modal dialog shows itself once its queue first runs empty: on a loaded machine the count can
    // be done before that, and a hidden dialog would read as closed.
    const bool counted = !window.GetDlgItemText(IDC_PROP_SIZE).empty() && ::IsWindowVisible(dialog);
    if (!counted && ::GetTickCount() - probe.started < 10000) return;
    ::KillTimer(nullptr, timer);
    probe.found = true;
    probe.title = window.GetWindowText();
    probe.files = window.GetDlgItemText(IDC_PROP_FILES);
    probe.folders = window.GetDlgItemText(IDC_PROP_FOLDERS);
    probe.size = window.GetDlgItemText(IDC_PROP_SIZE);
    ::EnumChildWindows(dialog, CollectLabel, 0);
    window.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    window.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    probe.openAfterEnterAndEscape = ::IsWindow(dialog) && ::IsWindowVisible(dialog);
    window.PostMessage(WM_CLOSE);
}

std::vector<UINT> ToolBarCommands(CToolBarCtrl& bar) {
    std::vector<UINT> commands;
    for (int i = 0; i < bar.GetButtonCount(); ++i) {
        TBBUTTON button = {};
        bar.GetButton(i, &button);
        commands.push_back(button.fsStyle & TBSTYLE_SEP ? 0 : static_cast<UINT>(button.idCommand));
    }
    return commands;
}

std::string Tip(CMainFrame& frame, UINT id) {
    NMTTDISPINFOA info = {};
    info.hdr.code = TTN_GETDISPINFOA;
    info.hdr.idFrom = id;
    frame.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : "";
}

}  // namespace

TEST_F(ListTest, TheFrameShowsTheFullerToolbarAndKeepsTheCountInItsStatusBar) {
    Open();
    // The view carries out every command that the fuller toolbar adds: the fuller toolbar shows.
    EXPECT_TRUE(frame->HasFullToolBar());
    EXPECT_EQ(ToolBarCommands(frame->ToolBar()),
              (std::vector<UINT>{ID_ADD_FILES, ID_ADD_FOLDER, 0, ID_ERASE_ALL, 0, ID_FREE_SPACE_WIPE,
                                 ID_PARTITION_WIPE, ID_RECOVERY_CHECK, 0, ID_SHOW_LOG, 0, ID_SETTINGS_TOOL, ID_DROP_WINDOW, 0,
                                 ID_HELP_TOPICS}));
    EXPECT_EQ(Tip(*frame, ID_ADD_FILES), "添加文件");
    EXPECT_EQ(Tip(*frame, ID_ERASE_ALL), "全部擦除");

    // Ten 32 x 32 images whose magenta background is transparent.
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(frame->ToolBar().SendMessage(TB_GETIMAGELIST));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 10);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP canvas = ::CreateCompatibleBitmap(screen, 32, 32);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, canvas);
    for (int image = 0; image < 10; ++image) {
        RECT all = {0, 0, 32, 32};
        HBRUSH grey = ::CreateSolidBrush(RGB(0xD4, 0xD0, 0xC8));
        ::FillRect(dc, &all, grey);
        ::DeleteObject(grey);
        ImageList_Draw(images, image, dc, 0, 0, ILD_TRANSPARENT);
        EXPECT_EQ(::GetPixel(dc, 0, 31), RGB(0xD4, 0xD0, 0xC8)) << "image " << image << ": its corner is background";
        int drawn = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) drawn += ::GetPixel(dc, x, y) != RGB(0xD4, 0xD0, 0xC8);
        }
        EXPECT_GT(drawn, 150) << "image " << image << " shows a picture";
    }
    ::SelectObject(dc, old);
    ::DeleteObject(canvas);
    ::DeleteDC(dc);

    // Pane 0 is 500 pixels wide and starts blank; every change of the list shows the count, and so
    // does the mouse moving over the window.
    int edges[4] = {};
    EXPECT_EQ(frame->StatusBar().SendMessage(SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 1);
    EXPECT_EQ(edges[0], 500);
    EXPECT_EQ(StatusText(), " ");
    EXPECT_EQ(view->AddFileItem(MakeFile("one.txt", 1)), CWiperView::AddResult::added);
    EXPECT_EQ(StatusText(), "文件数: 1个");
    frame->StatusBar().SetText("x");
    frame->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(view->List().m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(StatusText(), "文件数: 1个");

    frame->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(frame->m_hWnd));
}

TEST_F(ListTest, TheDisplayModesSwitchTheListAndTheColumnsAreMadeOnce) {
    Open();
    HWND list = view->List().m_hWnd;
    struct Case {
        UINT command;
        DWORD style;
    } cases[] = {
        {ID_VIEW_LARGE_ICONS, LVS_ICON}, {ID_VIEW_SMALL_ICONS, LVS_SMALLICON}, {ID_VIEW_LIST, LVS_LIST},
        {ID_VIEW_DETAILS, LVS_REPORT},   {ID_VIEW_LARGE_ICONS, LVS_ICON},      {ID_VIEW_DETAILS, LVS_REPORT},
    };
    for (const Case& c : cases) {
        Command(c.command);
        EXPECT_EQ(::GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK, static_cast<LONG_PTR>(c.style)) << c.command;
    }
    HWND header = reinterpret_cast<HWND>(view->List().SendMessage(LVM_GETHEADER));
    EXPECT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 4);

    EXPECT_FALSE(view->List().GetExtendedStyle() & LVS_EX_GRIDLINES) << "grid lines start off";
    Command(ID_VIEW_GRID);
    EXPECT_TRUE(view->List().GetExtendedStyle() & LVS_EX_GRIDLINES);
    Command(ID_VIEW_GRID);
    EXPECT_FALSE(view->List().GetExtendedStyle() & LVS_EX_GRIDLINES);
    EXPECT_TRUE(view->List().GetExtendedStyle() & LVS_EX_FLATSB);
}

TEST_F(ListTest, TheListColoursComeFromTheProfileAndGoBackWhenTheWindowCloses) {
    const std::string company = "PurgixListTest" + std::to_string(::GetCurrentProcessId());
    app.SetRegistryKey(company);
    struct Case {
        const char* what;
        bool stored;
        COLORREF background, text;
    } cases[] = {
        {"nothing stored", false, 0xFFFFFF, 0x000000},
        {"stored colours", true, 0x336699, 0x112233},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stored) {
            app.WriteProfileInt("ColorSetting", "BkColor", static_cast<int>(c.background));
            app.WriteProfileInt("ColorSetting", "textColor", static_cast<int>(c.text));
        }
        Open();
        EXPECT_EQ(view->List().GetBkColor(), c.background);
        EXPECT_EQ(static_cast<COLORREF>(view->List().SendMessage(LVM_GETTEXTBKCOLOR)), c.background);
        EXPECT_EQ(view->List().GetTextColor(), c.text);
        // What the settings page does to the list is kept when the window closes.
        view->List().SetBkColor(0x00FF00);
        view->List().SetTextColor(0x0000AA);
        frame->SendMessage(WM_CLOSE);
        Drain();
        EXPECT_EQ(app.GetProfileInt("ColorSetting", "BkColor", -1), 0x00FF00u);
        EXPECT_EQ(app.GetProfileInt("ColorSetting", "textColor", -1), 0x0000AAu);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, ("Software\\" + company).c_str());
    }
}

TEST_F(ListTest, OpeningAnItemFallsBackToTheChooserAndHelpOpensTheIntroduction) {
    const std::string file = MakeFile("report.abc", 4);
    ASSERT_TRUE(WriteBytes(listSave, "D:" + std::string(kCrCrLf) + file + kCrCrLf));
    Open();
    Select({1});
    view->List().SetSelectionMark(1);
    struct Case {
        INT_PTR shellResult;
        bool chooser;
    } cases[] = {{42, false}, {SE_ERR_NOASSOC, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shellResult);
        ui.Clear();
        ui.AnswerShellOpen(c.shellResult);
        Command(ID_OPEN_ITEM);
        ASSERT_EQ(ui.Calls().size(), c.chooser ? 2u : 1u);
        EXPECT_EQ(ui.Calls()[0].kind, "ShellOpen");
        EXPECT_EQ(ui.Calls()[0].text, file);
        EXPECT_EQ(ui.Calls()[0].caption, "open|");
        EXPECT_EQ(ui.Calls()[0].flags, static_cast<UINT>(SW_SHOWNA));
        if (c.chooser) {
            EXPECT_EQ(ui.Calls()[1].kind, "WinExec");
            EXPECT_EQ(ui.Calls()[1].text, "rundll32.exe shell32, OpenAs_RunDLL " + file);
            EXPECT_EQ(ui.Calls()[1].flags, static_cast<UINT>(SW_SHOWNA));
        }
    }

    ui.Clear();
    Command(ID_HELP_TOPICS);
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, module, sizeof module);
    std::string directory = module;
    directory.erase(directory.rfind('\\') + 1);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, "ShowHelp");
    EXPECT_EQ(_stricmp(ui.Calls()[0].text.c_str(), (directory + "Purgix.chm::/Wiperhelp/Introduce.htm").c_str()), 0)
        << ui.Calls()[0].text;
}

TEST_F(ListTest, PropertiesCountTheSelectedRowsAndSumEverythingBelowTheirFolders) {
    // 1,536 + 1,000,000 + 200,000 + 33,031 = 1,234,567 bytes; a link inside the folder points at a
    // big file elsewhere that must not be counted.
    const std::string file = MakeFile("single.bin", 1536);
    const std::string tree = MakeFolder("tree");
    MakeFolder("tree\\sub");
    MakeFile("tree\\one.bin", 1000000);
    MakeFile("tree\\sub\\two.bin", 200000);
    MakeFile("tree\\three.bin", 33031);
    MakeFolder("elsewhere");
    MakeFile("elsewhere\\big.bin", 5000000);
    const bool linked = engine_test::MakeDirLink(folder / "elsewhere", folder / "tree\\link");
    const std::string other = MakeFile("other.bin", 777);
    ASSERT_TRUE(WriteBytes(listSave, file + kCrCrLf + tree + kCrCrLf + "D:" + kCrCrLf + other + kCrCrLf));
    Open();
    Select({0, 1});

    probe = PropertiesProbe();
    probe.started = ::GetTickCount();
    ::SetTimer(nullptr, 0, 30, ProbeProperties);
    Command(ID_PROPERTIES);
    if (linked) engine_test::RemoveDirLink(folder / "tree\\link");

    ASSERT_TRUE(probe.found);
    EXPECT_EQ(probe.title, "属性框");
    EXPECT_EQ(probe.files, "1");
    EXPECT_EQ(probe.folders, "1");
    EXPECT_EQ(probe.size, "1.18 MB(1,234,567) 字节") << (linked ? "the link was followed" : "");
    EXPECT_TRUE(probe.openAfterEnterAndEscape) << "Enter and Escape must not close the dialog";
    for (const char* label : {"当前文件个数:", "当前文件夹个数:", "总大小:"}) {
        EXPECT_NE(std::find(probe.labels.begin(), probe.labels.end(), label), probe.labels.end()) << label;
    }
}

TEST(ListText, SizesCountsAndTotalsAreWrittenAsTheUserReadsThem) {
    struct SizeCase {
        uint64_t size;
        const char* text;
        uint64_t bytes;  // what the text stands for when rows are sorted by size
    } sizes[] = {
        {0, "0 Byte", 0},
        {1023, "1023 Byte", 1023},
        {1024, "1 KB", 1024},
        {1536, "1 KB", 1024},
        {1048575, "1023 KB", 1023 * 1024},
        {1048576, "1 MB", 1048576},
        {3 << 20, "3 MB", 3 << 20},
        {5ull << 30, "5120 MB", 5ull << 30},  // over 4 GiB: no wrap
    };
    for (const SizeCase& c : sizes) {
        EXPECT_EQ(SizeText(c.size), c.text) << c.size;
        EXPECT_EQ(SizeTextBytes(c.text), c.bytes) << c.text;
    }
    EXPECT_EQ(SizeTextBytes(""), 0u);

    struct CountCase {
        uint64_t value;
        const char* text;
    } counts[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234, "1,234"}, {1234567, "1,234,567"},
                  {5368709120ull, "5,368,709,120"}};
    for (const CountCase& c : counts) EXPECT_EQ(GroupThousands(c.value), c.text);

    struct TotalCase {
        uint64_t bytes;
        const char* text;
    } totals[] = {
        {0, "(0) 字节"},
        {999, "(999) 字节"},
        {1024, "1.00 KB(1,024) 字节"},
        {1234567, "1.18 MB(1,234,567) 字节"},
        {5368709120ull, "5.00 GB(5,368,709,120) 字节"},
    };
    for (const TotalCase& c : totals) EXPECT_EQ(TotalSizeText(c.bytes, "字节"), c.text);

    // Case only matters for ASCII letters: two Chinese characters whose second bytes look like "A"
    // and "a" are different characters.
    EXPECT_EQ(CompareNoCase("Report.DOC", "report.doc"), 0);
    EXPECT_LT(CompareNoCase("a.doc", "B.TXT"), 0);
    EXPECT_NE(CompareNoCase("\x81\x41", "\x81\x61"), 0);
    EXPECT_LT(CompareNoCase("ab", "abc"), 0);
}

}  // namespace list_test
