#include <gtest/gtest.h>

#include <shlwapi.h>

#include <stdexcept>

#include "Controls.h"
#include "ImageList.h"
#include "ListCtrl.h"
#include "WinApp.h"
#include "Wnd.h"

namespace {

const char kCompany[] = "PurgixFrameworkTests";

void ForgetProfile() { ::SHDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\") + kCompany).c_str()); }

// A window whose commands go through a command table.
class CommandWindow : public CWnd {
public:
    using CommandEntry = CommandEntryOf<CommandWindow>;
    static const CommandEntry kCommands[];

    int counted = 0;

    bool Create() {
        RegisterWindowClass("PurgixTestWindow", 0, nullptr, ::LoadCursor(nullptr, IDC_ARROW),
                            reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        return CreateEx(0, "PurgixTestWindow", "命令测试", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr);
    }

protected:
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void OnCount() { ++counted; }
    void OnThrow() { throw std::runtime_error("handler failed"); }
    void OnQuit() { ::PostQuitMessage(counted); }
};

const CommandWindow::CommandEntry CommandWindow::kCommands[] = {
    {32782, &CommandWindow::OnCount},
    {32818, &CommandWindow::OnThrow},
    {32861, &CommandWindow::OnQuit},
};

bool CommandWindow::OnCommand(UINT id, UINT code, HWND control) { return RouteCommand(this, kCommands, id); }

}  // namespace

TEST(WinApp, AProfileValueSurvivesARestartOfTheApplicationObject) {
    ForgetProfile();
    {
        CWinApp app("Purgix");
        EXPECT_EQ(app.GetProfileInt("ColorSetting", "BkColor", 77), 77u) << "nothing stored before SetRegistryKey";
        EXPECT_FALSE(app.WriteProfileInt("ColorSetting", "BkColor", 1));
        app.SetRegistryKey(kCompany);
        EXPECT_EQ(app.GetProfileInt("ColorSetting", "BkColor", 77), 77u) << "missing value gives the default";
        EXPECT_TRUE(app.WriteProfileInt("ColorSetting", "BkColor", 0xFF8040));
        EXPECT_TRUE(app.WriteProfileString("ColorSetting", "名字", "禱告"));
    }
    CWinApp app("Purgix");
    app.SetRegistryKey(kCompany);
    EXPECT_EQ(app.GetProfileInt("ColorSetting", "BkColor", 0), 0xFF8040u);
    EXPECT_EQ(app.GetProfileString("ColorSetting", "名字"), "禱告");
    EXPECT_EQ(app.GetProfileString("ColorSetting", "textColor", "无"), "无");

    // Where the framework keeps it: HKCU\Software\<company>\<application>\<section>, a DWORD.
    DWORD value = 0, size = sizeof value, type = 0;
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\PurgixFrameworkTests\\Purgix\\ColorSetting", 0, KEY_READ,
                              &key),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegQueryValueExA(key, "BkColor", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 0xFF8040u);
    ForgetProfile();
}

TEST(WinApp, TheLoopRoutesCommandsThroughTheTableAndSurvivesAThrowingHandler) {
    CWinApp app("Purgix");
    CommandWindow window;
    ASSERT_TRUE(window.Create());
    app.m_pMainWnd = &window;
    window.PostMessage(WM_COMMAND, 32782);
    window.PostMessage(WM_COMMAND, 32818);  // throws: stopped at the window procedure
    window.PostMessage(WM_COMMAND, 40000);  // not in the table: default handling
    window.PostMessage(WM_COMMAND, 32782);
    window.PostMessage(WM_COMMAND, 32861);
    EXPECT_EQ(app.Run(), 2);
    EXPECT_EQ(window.counted, 2);
    window.DestroyWindow();
    EXPECT_EQ(window.m_hWnd, nullptr) << "the object forgets its window when the window is gone";
}

TEST(Controls, ListAndComboGiveBackWholeChineseTexts) {
    CWinApp app("Purgix");
    HWND parent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    CListCtrl list(::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 300, 200, parent, nullptr,
                                     nullptr, nullptr));
    CComboBox combo(::CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, parent, nullptr,
                                      nullptr, nullptr));
    std::string longPath = "C:\\";
    for (int i = 0; i < 120; ++i) longPath += "禱告\\";  // 603 bytes, more than any first guess of a buffer
    ASSERT_EQ(list.InsertColumn(0, "名称", LVCFMT_LEFT, 100), 0);
    ASSERT_EQ(list.InsertColumn(1, "路径", LVCFMT_LEFT, 100), 1);
    ASSERT_EQ(list.InsertItem(0, "报告.doc"), 0);
    ASSERT_TRUE(list.SetItemText(0, 1, longPath));
    ASSERT_TRUE(list.SetItemData(0, 0x1234));
    EXPECT_EQ(list.GetItemText(0, 0), "报告.doc");
    EXPECT_EQ(list.GetItemText(0, 1), longPath);
    EXPECT_EQ(list.GetItemData(0), 0x1234u);
    combo.AddString("自定义");
    combo.AddString("NSA");
    EXPECT_EQ(combo.GetLBText(combo.FindStringExact(-1, "自定义")), "自定义");
    EXPECT_EQ(combo.GetLBText(5), "");

    CImageList images;
    HDC screen = ::GetDC(nullptr);
    HBITMAP strip = ::CreateCompatibleBitmap(screen, 96, 32);
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(images.Create(32, 32, ILC_COLOR24 | ILC_MASK, 3, 1));
    EXPECT_EQ(images.Add(strip, RGB(255, 0, 255)), 0);
    EXPECT_EQ(images.GetImageCount(), 3) << "a 96-pixel strip is three 32-pixel images";
    ::DeleteObject(strip);
    ::DestroyWindow(parent);
}
