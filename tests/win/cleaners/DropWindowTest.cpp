#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DropWindow.h"
#include "ListFixture.h"

using list_test::ListTest;
using list_test::Row;

namespace {

// An HDROP as Explorer hands it over: the paths one after another, each ended by a NUL, then a NUL.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::string names;
    for (const std::string& path : paths) names += path + '\0';
    names += '\0';
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Dispatches what is queued, as the program's message loop would.
void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (AfxGetApp() && AfxGetApp()->PreTranslateMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

class DropWindowTest : public ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        Open();
        frame->ShowWindow(SW_SHOW);
        CreateDropWindow();
        ASSERT_NE(g_dropWindow, nullptr);
        ASSERT_TRUE(g_dropWindow->IsWindow());
    }
    void TearDown() override {
        DeleteDropWindow();
        ListTest::TearDown();
    }
    // Drops `paths` on the small window as Explorer does (a posted WM_DROPFILES).
    void Drop(const std::vector<std::string>& paths) {
        g_dropWindow->PostMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)));
        Pump();
    }
    bool MainVisible() const { return frame->IsWindowVisible(); }
};

}  // namespace

TEST_F(DropWindowTest, EachDroppedItemIsCheckedWithItsOwnTextAndTheRestOfTheDropGoesOn) {
    char system[MAX_PATH], windows[MAX_PATH];
    ::GetSystemDirectoryA(system, sizeof system);
    ::GetWindowsDirectoryA(windows, sizeof windows);
    const std::string systemRoot = std::string(system).substr(0, 3);
    const std::string a = MakeFolder("a"), inA = MakeFile("a\\inner.txt", 10);
    const std::string small = MakeFile("禱告.txt", 1023), kb = MakeFile("kb.bin", 1536);
    const std::string mb = MakeFile("big", 5000000);
    const std::string tooLong = "D:\\" + std::string(257, 'n');

    struct Step {
        const char* what;
        std::vector<std::string> dropped;
        std::vector<std::string> messages;
        std::vector<std::string> added;  // rows added by this drop
    } steps[] = {
        {"the system drive", {systemRoot}, {"\n该磁盘包含操作系统, 不进行删除!"}, {}},
        {"a CD-ROM", {"G:\\"}, {"光盘无法擦除"}, {}},
        {"a write-protected medium", {"F:\\readme.txt"}, {"该设备写保护"}, {}},
        {"the Windows folder", {windows}, {"\n不能删除,否则操作系统无法工作!"}, {}},
        {"a path that does not fit", {tooLong}, {tooLong + "\n路径太长, 无法处理!"}, {}},
        {"a drive, a folder and files with their size texts",
         {"D:\\", a, small, kb, mb},
         {},
         {Row("D:", "", "D:", "DISK"), Row("a", "", a, "DIR"), Row("禱告.txt", "1023 Byte", small, "txt"),
          Row("kb.bin", "1 KB", kb, "bin"), Row("big", "4 MB", mb, "")}},
        {"the same drive, folder and file again, with the system drive between them",
         {"D:\\", a, systemRoot, small},
         {"D:\n磁盘已存在!", a + " \n文件夹已存在!", "\n该磁盘包含操作系统, 不进行删除!", small + "\n文件已被添加!"},
         {}},
        {"a file inside a listed folder", {inA}, {inA + " \n非法目录或文件!"}, {}},
    };
    std::vector<std::string> rows;
    for (const Step& step : steps) {
        ui.Clear();
        Drop(step.dropped);
        rows.insert(rows.end(), step.added.begin(), step.added.end());
        EXPECT_EQ(ui.MessageTexts(), step.messages) << step.what;
        EXPECT_EQ(Rows(), rows) << step.what;
    }
    EXPECT_EQ(StatusText(), "文件数: 5个");
}

TEST_F(DropWindowTest, TheWindowFloatsAtItsPlaceAndItsPictureFollowsTheList) {
    HWND window = g_dropWindow->m_hWnd;
    RECT rect;
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 500);
    EXPECT_EQ(rect.top, 400);
    EXPECT_EQ(rect.right - rect.left, 42);
    EXPECT_EQ(rect.bottom - rect.top, 42);
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 190);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
    EXPECT_TRUE(::IsWindowVisible(window));
    // A window opened later (a dialog of the program, say) stays below it.
    HWND later = ::CreateWindowExA(0, "STATIC", "later", WS_POPUP | WS_VISIBLE, 480, 380, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    bool dropFirst = false;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
        if (w == window || w == later) {
            dropFirst = w == window;
            break;
        }
    }
    EXPECT_TRUE(dropFirst) << "the drop window is below a window opened after it";
    ::DestroyWindow(later);

    HWND picture = ::GetDlgItem(window, IDC_DROP_PICTURE);
    const LRESULT emptyPicture = ::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
    EXPECT_NE(emptyPicture, 0);
    EXPECT_TRUE(g_dropWindow->IsListEmpty());
    Drop({MakeFile("one.txt", 3)});
    EXPECT_FALSE(g_dropWindow->IsListEmpty());
    EXPECT_NE(::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), emptyPicture);
    Command(ID_SELECT_ALL);
    Command(ID_REMOVE_SELECTED);
    EXPECT_TRUE(g_dropWindow->IsListEmpty());
    EXPECT_EQ(::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), emptyPicture);
}

TEST_F(DropWindowTest, KeysClicksAndCommandsShowAndHideTheWindows) {
    HWND window = g_dropWindow->m_hWnd;
    // Enter and Esc, through the dialog keyboard as the message loop sends them.
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        ::SetFocus(window);
        ::PostMessageA(window, WM_KEYDOWN, key, 0);
        Pump();
        EXPECT_TRUE(::IsWindow(window) && ::IsWindowVisible(window)) << "key " << key;
    }
    ::SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_FALSE(ui.Calls().empty());
    EXPECT_EQ(ui.Calls().back().kind, "ShowHelp");
    const std::string topic = ui.Calls().back().text;
    EXPECT_EQ(topic.substr(topic.rfind('\\') + 1), "Purgix.chm::/Wiperhelp/SmallWindow.htm");

    // Double-clicks hide and restore the main window.
    ASSERT_TRUE(MainVisible());
    ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(MainVisible());
    ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(MainVisible());
    EXPECT_FALSE(::IsIconic(frame->m_hWnd));

    // A drop on the small window while the main one is hidden (its menu's hide command, which
    // reaches the view) brings the main window back.
    ::SendMessageA(window, WM_COMMAND, ID_HIDE_MAIN, 0);
    ASSERT_FALSE(MainVisible());
    Drop({MakeFile("back.txt", 1)});
    EXPECT_TRUE(MainVisible());
    EXPECT_EQ(view->GetItemCount(), 1);

    // Command 32865 hides and shows the small window, with the toolbar button checked while shown.
    HWND bar = ::GetDlgItem(frame->m_hWnd, AFX_IDW_TOOLBAR);
    EXPECT_TRUE(::SendMessageA(bar, TB_ISBUTTONCHECKED, ID_DROP_WINDOW, 0));
    Command(ID_DROP_WINDOW);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_FALSE(::SendMessageA(bar, TB_ISBUTTONCHECKED, ID_DROP_WINDOW, 0));
    Command(ID_DROP_WINDOW);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(::SendMessageA(bar, TB_ISBUTTONCHECKED, ID_DROP_WINDOW, 0));
}

TEST_F(DropWindowTest, TheMenuOffersWhatTheWindowsAllow) {
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_DROP_MENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = ::GetSubMenu(menu, 0);
    auto enabled = [popup](UINT id) { return !(::GetMenuState(popup, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)); };
    struct Case {
        const char* what;
        bool mainVisible, mainEnabled, sheetOpen;
        bool settings, hide, show, about, close;
    } cases[] = {
        {"main window shown", true, true, false, true, true, false, true, true},
        {"main window hidden", false, true, false, true, false, true, true, true},
        {"a modal dialog over the main window", true, false, false, true, true, false, true, false},
        {"the settings sheet open", true, true, true, false, true, false, true, true},
    };
    for (const Case& c : cases) {
        frame->ShowWindow(c.mainVisible ? SW_SHOW : SW_HIDE);
        frame->EnableWindow(c.mainEnabled);
        HWND sheet = c.sheetOpen ? ::CreateWindowExA(0, "STATIC", "预先设置...", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                     nullptr, nullptr)
                                 : nullptr;
        g_dropWindow->PrepareMenu(popup);
        EXPECT_EQ(enabled(ID_SETTINGS), c.settings) << c.what;
        EXPECT_EQ(enabled(ID_HIDE_MAIN), c.hide) << c.what;
        EXPECT_EQ(enabled(ID_SHOW_MAIN), c.show) << c.what;
        EXPECT_EQ(enabled(ID_ABOUT), c.about) << c.what;
        EXPECT_EQ(enabled(ID_APP_EXIT), c.close) << c.what;
        if (sheet) ::DestroyWindow(sheet);
        frame->EnableWindow(true);
    }
    ::DestroyMenu(menu);
}
