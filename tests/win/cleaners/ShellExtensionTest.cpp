#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "DropWindow.h"
#include "ListFixture.h"
#include "PurgixHandOff.h"
#include "SelectionData.h"
#include "WineDrives.h"

using list_test::ListTest;
using list_test::Row;

namespace {

// Dispatches what is queued, as the program's message loop would.
void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

const CLSID kErasextClass = {0xBD0591EF, 0x66AF, 0x471E, {0x94, 0x02, 0x0A, 0x6F, 0x8E, 0x4B, 0x8E, 0x82}};
const CLSID kBinshexClass = {0xB425C915, 0xF7F5, 0x466B, {0x8C, 0x17, 0xB2, 0x5B, 0xB4, 0x76, 0x61, 0xF6}};

class ShellExtensionTest : public ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        Open();
        app.m_pMainWnd = frame;
        frame->ShowWindow(SW_SHOW);
        CreateDropWindow();
        ASSERT_NE(g_dropWindow, nullptr);
        ASSERT_EQ(::FindWindowA(kPurgixFrameClass, nullptr), frame->m_hWnd) << "another Purgix window is open";
    }
    void TearDown() override {
        DeleteDropWindow();
        for (HMODULE module : modules_) ::FreeLibrary(module);
        ListTest::TearDown();
    }

    // Makes the menu object of `library` through its class factory, as COM does for Explorer.
    IShellExtInit* MakeMenu(const char* library, const CLSID& clsid) {
        HMODULE module = ::LoadLibraryA((WinePath(SHELLEXT_DIR) + "\\" + library).c_str());
        if (!module) return nullptr;
        modules_.push_back(module);
        auto getClassObject =
            reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
        IClassFactory* factory = nullptr;
        if (!getClassObject || FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
            return nullptr;
        }
        IShellExtInit* init = nullptr;
        factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
        factory->Release();
        return init;
    }

    // Right-click and choose: the command's menu text, and the result of choosing it.
    std::string RightClickAndChoose(IShellExtInit* init, IDataObject* data, HRESULT& chosen) {
        init->Initialize(nullptr, data, nullptr);
        IContextMenu* menu = nullptr;
        init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
        if (!menu) return "<no IContextMenu>";
        HMENU popup = ::CreatePopupMenu();
        HRESULT added = menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
        char text[64] = {};
        ::GetMenuStringA(popup, 100, text, sizeof text, MF_BYCOMMAND);
        ::DestroyMenu(popup);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.hwnd = frame->m_hWnd;
        info.lpVerb = MAKEINTRESOURCEA(0);
        info.nShow = SW_SHOWNORMAL;
        chosen = menu->InvokeCommand(&info);
        menu->Release();
        Pump();
        return std::to_string(HRESULT_CODE(added)) + " " + text;
    }

    std::vector<HMODULE> modules_;
};

// The current user's SID as text, as the recycle bin names its folder.
std::string UserSid() {
    HANDLE token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "<no token>";
    std::vector<BYTE> buffer(512);
    DWORD size = 0;
    std::string sid = "<no sid>";
    char* text = nullptr;
    if (::GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

}  // namespace

// Explorer's context menu on a selection: the command "用Purgix永久删除" puts the files and folders on
// a running Purgix's list with the drop's checks, so a system folder gets its refusal.
TEST_F(ShellExtensionTest, ErasextPutsTheSelectionOnPurgixsListThroughTheDropChecks) {
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, sizeof windows);
    const std::string a = MakeFolder("a"), small = MakeFile("禱告.txt", 1023);
    IShellExtInit* init = MakeMenu("Erasext.dll", kErasextClass);
    ASSERT_NE(init, nullptr);
    SelectionData selection({a, windows, small});
    HRESULT chosen = E_FAIL;
    EXPECT_EQ(RightClickAndChoose(init, &selection, chosen), "1 用Purgix永久删除");
    EXPECT_EQ(chosen, S_OK);
    EXPECT_EQ(Rows(), (std::vector<std::string>{Row("a", "", a, "DIR"), Row("禱告.txt", "1023 Byte", small, "txt")}));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"\n不能删除,否则操作系统无法工作!"});
    init->Release();
}

// The recycle bin's menu: everything in the user's recycle-bin folder on the fixed drives (except
// the folder's desktop.ini) joins the list.
TEST_F(ShellExtensionTest, BinshexHandsTheRecycleBinsItems) {
    const std::string bin = "D:\\RECYCLER\\" + UserSid();
    TempFolder::RemoveTree("D:\\RECYCLER");
    ASSERT_TRUE(::CreateDirectoryA("D:\\RECYCLER", nullptr));
    ASSERT_TRUE(::CreateDirectoryA(bin.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(bin + "\\Dc1.txt", std::string(1536, 'x')));
    ASSERT_TRUE(WriteBytes(bin + "\\desktop.ini", "[.ShellClassInfo]\r\n"));
    IShellExtInit* init = MakeMenu("Binshex.dll", kBinshexClass);
    ASSERT_NE(init, nullptr);
    HRESULT chosen = E_FAIL;
    EXPECT_EQ(RightClickAndChoose(init, nullptr, chosen), "1 用Purgix永久删除");
    EXPECT_EQ(chosen, S_OK);
    EXPECT_EQ(Rows(), std::vector<std::string>{Row("Dc1.txt", "1 KB", bin + "\\Dc1.txt", "txt")});
    init->Release();
    TempFolder::RemoveTree("D:\\RECYCLER");
}

// Only a well-formed hand-off reaches the list: a block without its end, with bytes after it, or
// with another tag is refused whole and nothing is posted.
TEST_F(ShellExtensionTest, MalformedHandOffsAreRefusedWhole) {
    const std::string file = MakeFile("x.txt", 10);
    struct Case {
        const char* name;
        unsigned long tag;
        std::string block;
        bool taken;
    };
    const Case cases[] = {
        {"well formed", kHandOffTag, file + '\0' + '\0', true},
        {"no final empty string", kHandOffTag, file + '\0', false},
        {"bytes after the end", kHandOffTag, file + '\0' + '\0' + "C:\\", false},
        {"an empty list", kHandOffTag, std::string(1, '\0'), false},
        {"another tag", 1, file + '\0' + '\0', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view->List().DeleteAllItems();
        COPYDATASTRUCT data = {c.tag, static_cast<DWORD>(c.block.size()), const_cast<char*>(c.block.data())};
        EXPECT_EQ(::SendMessageA(frame->m_hWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != 0, c.taken);
        Pump();
        EXPECT_EQ(view->GetItemCount(), c.taken ? 1 : 0);
    }
}
