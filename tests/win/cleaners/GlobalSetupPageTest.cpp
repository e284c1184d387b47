#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "GlobalSetupPage.h"
#include "IniTestFiles.h"
#include "ListFixture.h"
#include "OsVersionInfo.h"
#include "ScriptedUi.h"
#include "SheetDriving.h"
#include "WinApp.h"
#include "WineDrives.h"
#include "resource.h"

using initest::ReadBytes;
using initest::SampleIni;
using initest::TempFolder;
using initest::WithLine;
using initest::WriteBytes;

namespace {

// The sample main.ini without its "log=" line.
std::string SampleWithoutLog() {
    std::string text = SampleIni();
    size_t at = text.find("\r\nlog=");
    return at == std::string::npos ? "<no log line>" : text.erase(at + 2, 7);
}

std::vector<std::string> CallsOf(const ScriptedUi& ui, const std::string& kind) {
    std::vector<std::string> texts;
    for (const ScriptedUi::Call& call : ui.Calls()) {
        if (call.kind == kind) texts.push_back(call.text);
    }
    return texts;
}

std::string StatusText(CPropertyPage& page) { return page.GetDlgItemText(IDC_SHELL_STATUS); }

// Puts Erasext.dll and Binshex.dll where the page registers them on this system (Wine's system
// directory), and takes them away again.
class ShellLibrariesInSystemFolder {
public:
    ShellLibrariesInSystemFolder() {
        for (const char* name : {"Erasext.dll", "Binshex.dll"}) {
            const std::string target = ShellExtensionFolder("") + name;
            ok = ::CopyFileA((WinePath(SHELLEXT_DIR) + "\\" + name).c_str(), target.c_str(), FALSE) && ok;
            copied.push_back(target);
        }
    }
    ~ShellLibrariesInSystemFolder() {
        for (const std::string& path : copied) ::DeleteFileA(path.c_str());
    }
    bool ok = true;
    std::vector<std::string> copied;
};

}  // namespace

// The log switch reflects main.ini and OK rewrites exactly its line; main.ini is never made, and a
// file without the line keeps having none.
TEST(GlobalSetupPage, ShowsTheLogSwitchAndOkRewritesOnlyItsLine) {
    struct Case {
        const char* name;
        bool iniExists;
        std::string ini;
        const char* shownAtOpen;
        bool click;
        std::string iniAfterOk;  // "<none>": no main.ini
        size_t messages;         // file-error boxes on opening and OK together
    };
    const std::string logOn = SampleIni(), logOff = WithLine(SampleIni(), "log=1", "log=0");
    const Case cases[] = {
        {"switched on", true, logOff, "off", true, logOn, 0},
        {"switched off", true, logOn, "on", true, logOff, 0},
        {"left alone: the same bytes", true, logOn, "on", false, logOn, 0},
        {"no log line: nothing is added", true, SampleWithoutLog(), "off", true, SampleWithoutLog(), 0},
        {"a log line spelt otherwise is not on", true, WithLine(logOn, "log=1", "log=2"), "off", true,
         WithLine(logOn, "log=1", "log=2"), 0},
        {"missing main.ini: reported on opening and OK, never made", false, "", "off", true, "<none>", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWinApp app("Purgix");
        ScriptedUi ui;
        TempFolder folder;
        const std::string ini = folder / "main.ini";
        if (c.iniExists) {
            ASSERT_TRUE(WriteBytes(ini, c.ini));
        }
        Driven<GlobalSetupPage> page(ini, folder / "log.txt");
        std::string shown;
        page.script = [&](CPropertyPage& p) {
            shown = Box(p, IDC_LOG_ALL);
            if (c.click) Click(p, IDC_LOG_ALL);
            PressSheet(p, PSBTN_OK);
        };
        EXPECT_EQ(RunSheet(page), IDOK);
        EXPECT_EQ(shown, c.shownAtOpen);
        EXPECT_EQ(c.iniExists ? ReadBytes(ini) : std::string(initest::Exists(ini) ? "<made>" : "<none>"),
                  c.iniAfterOk);
        EXPECT_EQ(ui.MessageTexts().size(), c.messages);
    }
}

// "查看日志" opens the log in Notepad through the seam (unquoted, as the command line has always
// been); "清空日志" empties a read-only log and leaves it read-only; Cancel writes nothing.
TEST(GlobalSetupPage, LogButtonsOpenNotepadAndEmptyTheLog) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    const std::string ini = folder / "main.ini", log = folder / "log.txt";
    ASSERT_TRUE(WriteBytes(ini, SampleIni()));
    ASSERT_TRUE(WriteBytes(log, "2026-12-08 C:\\t\\禱告.txt 被删除\r\n"));
    ::SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_READONLY);
    Driven<GlobalSetupPage> page(ini, log);
    page.script = [&](CPropertyPage& p) {
        Click(p, IDC_VIEW_LOG);
        Click(p, IDC_EMPTY_LOG);
        Click(p, IDC_LOG_ALL);
        PressSheet(p, PSBTN_CANCEL);
    };
    EXPECT_EQ(RunSheet(page), IDCANCEL);
    ASSERT_EQ(CallsOf(ui, "WinExec"), std::vector<std::string>{"Notepad " + log});
    EXPECT_EQ(ui.Calls()[0].flags, static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_EQ(ReadBytes(log), "");
    EXPECT_TRUE(::GetFileAttributesA(log.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadBytes(ini), SampleIni());
    ::SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The six bitmap buttons show their bitmaps, sized to them; the hidden register buttons stay hidden.
TEST(GlobalSetupPage, BitmapButtonsShowTheirPictures) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
    Driven<GlobalSetupPage> page(folder / "main.ini", folder / "log.txt");
    std::vector<std::string> seen;
    page.script = [&](CPropertyPage& p) {
        for (int id : {IDC_VIEW_LOG, IDC_EMPTY_LOG, IDC_BK_COLOR, IDC_TEXT_COLOR, IDC_SHELL_ADD, IDC_SHELL_REMOVE}) {
            auto* button = dynamic_cast<CBitmapButton*>(CWnd::FromHandlePermanent(::GetDlgItem(p.m_hWnd, id)));
            RECT r = {};
            ::GetWindowRect(::GetDlgItem(p.m_hWnd, id), &r);
            seen.push_back(std::to_string(id) + (button && button->BitmapFor(0) ? " bitmap " : " none ") +
                           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                           (::IsWindowVisible(::GetDlgItem(p.m_hWnd, id)) ? "" : " hidden"));
        }
        PressSheet(p, PSBTN_CANCEL);
    };
    RunSheet(page);
    EXPECT_EQ(seen, (std::vector<std::string>{"1009 bitmap 24x24", "1010 bitmap 24x24", "1011 bitmap 24x24",
                                              "1012 bitmap 24x24", "1013 bitmap 24x24 hidden",
                                              "1014 bitmap 24x24 hidden"}));
}

namespace {

class ViewSheetTest : public list_test::ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        Open();
        app.m_pMainWnd = frame;
    }
};

}  // namespace

// Each colour dialog starts at pure red; a colour other than that reaches the erase list after OK,
// pure red itself changes nothing, and Cancel leaves the list as it was.
TEST_F(ViewSheetTest, ChosenColoursReachTheListAfterOk) {
    struct Case {
        const char* name;
        std::vector<COLORREF> answers;  // background, then text; none: the dialog is cancelled
        bool ok;
        COLORREF background, text;
    };
    const COLORREF startBackground = view->List().GetBkColor(), startText = view->List().GetTextColor();
    const Case cases[] = {
        {"both chosen", {0x00FFEECC, 0x00123456}, true, 0x00FFEECC, 0x00123456},
        {"pure red chosen keeps the colour", {0x000000FF, 0x000000FF}, true, startBackground, startText},
        {"chosen, then Cancel", {0x00336699, 0x00996633}, false, startBackground, startText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view->List().SetBkColor(startBackground);
        view->List().SetTextColor(startText);
        ui.Clear();
        for (COLORREF answer : c.answers) ui.AnswerColor(answer);
        Driven<GlobalSetupPage> page(folder / "main.ini", folder / "log.txt");
        page.backgroundColor = startBackground;
        page.textColor = startText;
        page.script = [&](CPropertyPage& p) {
            Click(p, IDC_BK_COLOR);
            Click(p, IDC_TEXT_COLOR);
            PressSheet(p, c.ok ? PSBTN_OK : PSBTN_CANCEL);
        };
        RunSheet(page);
        std::vector<UINT> starts;
        for (const ScriptedUi::Call& call : ui.Calls()) {
            if (call.kind == "PickColor") starts.push_back(call.flags);
        }
        EXPECT_EQ(starts, (std::vector<UINT>{0x0000FF, 0x0000FF}));
        EXPECT_EQ(view->List().GetBkColor(), c.background);
        EXPECT_EQ(view->List().GetTextBkColor(), c.background);
        EXPECT_EQ(view->List().GetTextColor(), c.text);
    }
}

// Registering for real: the box and OK run regsvr32 on both libraries in the system directory
// (this system is newer than the known layouts), the class key appears and the next opening says
// so; OK with the box as it was runs nothing; clearing it unregisters. The hidden buttons follow
// the registry after regsvr32 has ended.
TEST(GlobalSetupPage, ContextMenuBoxRegistersAndUnregistersTheShellExtensions) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    ui.runPrograms = true;
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
    ShellLibrariesInSystemFolder libraries;
    ASSERT_TRUE(libraries.ok);
    g_osVersionInfo.Classify(VER_PLATFORM_WIN32_NT, 10, 0);
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kShellExtensionKey);

    struct Step {
        const char* name;
        bool click;
        const char* statusAtOpen;
        const char* statusAfterClick;
        std::vector<std::string> runs;
        bool registeredAfter;
    };
    const std::string dir = ShellExtensionFolder("");
    const std::vector<std::string> registering = {"regsvr32.exe /S \"" + dir + "Erasext.dll\"",
                                                  "regsvr32.exe /S \"" + dir + "Binshex.dll\""};
    const std::vector<std::string> unregistering = {"regsvr32.exe /U /S \"" + dir + "Erasext.dll\"",
                                                    "regsvr32.exe /U /S \"" + dir + "Binshex.dll\""};
    const Step steps[] = {
        {"checked and OK: registered", true, "状态: 无效", "状态: 有效", registering, true},
        {"reopened: shown as registered; OK runs nothing", false, "状态: 有效", "状态: 有效", {}, true},
        {"cleared and OK: unregistered", true, "状态: 有效", "状态: 无效", unregistering, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        ui.Clear();
        Driven<GlobalSetupPage> page(folder / "main.ini", folder / "log.txt");
        std::string atOpen, afterClick;
        page.script = [&](CPropertyPage& p) {
            atOpen = StatusText(p);
            if (s.click) Click(p, IDC_SHELL_MENU);
            afterClick = StatusText(p);
            PressSheet(p, PSBTN_OK);
        };
        EXPECT_EQ(RunSheet(page), IDOK);
        EXPECT_EQ(atOpen, s.statusAtOpen);
        EXPECT_EQ(afterClick, s.statusAfterClick);
        EXPECT_EQ(CallsOf(ui, "RunAndWait"), s.runs);
        EXPECT_EQ(IsShellExtensionRegistered(), s.registeredAfter);
    }

    // The hidden buttons register and unregister too, and each then allows only the other.
    ui.Clear();
    Driven<GlobalSetupPage> page(folder / "main.ini", folder / "log.txt");
    std::vector<std::string> buttons;
    page.script = [&](CPropertyPage& p) {
        auto state = [&p] {
            return std::string(p.GetDlgItem(IDC_SHELL_ADD).IsWindowEnabled() ? "add" : "-") + "/" +
                   (p.GetDlgItem(IDC_SHELL_REMOVE).IsWindowEnabled() ? "remove" : "-");
        };
        ::SendMessageA(p.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SHELL_ADD, BN_CLICKED), 0);
        buttons.push_back(state() + (IsShellExtensionRegistered() ? " registered" : ""));
        ::SendMessageA(p.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SHELL_REMOVE, BN_CLICKED), 0);
        buttons.push_back(state() + (IsShellExtensionRegistered() ? " registered" : ""));
        PressSheet(p, PSBTN_CANCEL);
    };
    RunSheet(page);
    EXPECT_EQ(buttons, (std::vector<std::string>{"-/remove registered", "add/-"}));
    g_osVersionInfo = OsVersionInfo();
}

// On the systems the layout rules know, the libraries are looked for in the Windows folder's
// "system32" (NT family) or "system" (95/98/Me) folder.
TEST(GlobalSetupPage, KnownSystemsRegisterFromTheirSystemFolder) {
    struct Case {
        DWORD platform, major, minor;
        const char* part;
    };
    const Case cases[] = {{VER_PLATFORM_WIN32_NT, 5, 1, "\\system32\\"}, {VER_PLATFORM_WIN32_NT, 5, 0, "\\system32\\"},
                          {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "\\system\\"}};
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof windows);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        CWinApp app("Purgix");
        ScriptedUi ui;
        TempFolder folder;
        ASSERT_TRUE(WriteBytes(folder / "main.ini", SampleIni()));
        g_osVersionInfo = OsVersionInfo();
        g_osVersionInfo.Classify(c.platform, c.major, c.minor);
        Driven<GlobalSetupPage> page(folder / "main.ini", folder / "log.txt");
        page.script = [&](CPropertyPage& p) {
            ::SendMessageA(p.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SHELL_ADD, BN_CLICKED), 0);
            PressSheet(p, PSBTN_CANCEL);
        };
        RunSheet(page);
        const std::string dir = std::string(windows) + c.part;
        EXPECT_EQ(CallsOf(ui, "RunAndWait"), (std::vector<std::string>{"regsvr32.exe /S \"" + dir + "Erasext.dll\"",
                                                                        "regsvr32.exe /S \"" + dir + "Binshex.dll\""}));
    }
    g_osVersionInfo = OsVersionInfo();
}

namespace {

// What the sheet looked like while it ran, seen from a timer inside its modal loop.
struct SheetSeen {
    int sheets = 0;      // top-level windows captioned "Purgix"
    int page = -1;       // the tab shown
    int pageCount = 0;
    bool asked = false;  // the command was given again meanwhile
};
SheetSeen g_seen;
HWND g_frame = nullptr;

BOOL CALLBACK CountSheet(HWND hwnd, LPARAM) {
    char title[32] = {};
    ::GetWindowTextA(hwnd, title, sizeof title);
    if (std::string(title) == "Purgix" && ::IsWindowVisible(hwnd)) ++g_seen.sheets;
    return TRUE;
}

void CALLBACK LookAtSheet(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND sheet = ::FindWindowA("#32770", "Purgix");
    if (!sheet) return;
    ::KillTimer(nullptr, timer);
    HWND tab = reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    g_seen.page = static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    g_seen.pageCount = static_cast<int>(::SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    // The drop window's menu sends the command to the main window while the sheet is open.
    ::SendMessageA(g_frame, WM_COMMAND, MAKEWPARAM(ID_SETTINGS, 0), 0);
    g_seen.asked = true;
    ::EnumWindows(CountSheet, 0);
    ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

}  // namespace

// The three commands open the one sheet of three pages, 32780 on the erase-method page; asked again
// while it is open, none opens a second.
TEST_F(ViewSheetTest, CommandsOpenTheSheetOnTheirPageAndNeverTwice) {
    struct Case {
        UINT command;
        int page;
    };
    const Case cases[] = {{ID_SETTINGS, 0}, {ID_SETTINGS_TOOL, 0}, {ID_SETTINGS_METHOD, 1}};
    g_frame = frame->m_hWnd;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        g_seen = SheetSeen();
        ::SetTimer(nullptr, 0, 50, LookAtSheet);
        ::SendMessageA(frame->m_hWnd, WM_COMMAND, MAKEWPARAM(c.command, 0), 0);
        EXPECT_TRUE(g_seen.asked);
        EXPECT_EQ(g_seen.sheets, 1);
        EXPECT_EQ(g_seen.pageCount, 3);
        EXPECT_EQ(g_seen.page, c.page);
    }
}
