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
    std::string RightClickAndChoose(IShellExtInit* init, IDataObject* data, HRESULT& chosen, UINT command = 0) {
        init->Initialize(nullptr, data, nullptr);
        IContextMenu* menu = nullptr;
        init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
        if (!menu) return "<no IContextMenu>";
        HMENU popup = ::CreatePopupMenu();
        HRESULT added = menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
        char text[64] = {};
        ::GetMenuStringA(popup, 100 + command, text, sizeof text, MF_BYCOMMAND);
        ::DestroyMenu(popup);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.hwnd = frame->m_hWnd;
        info.lpVerb = MAKEINTRESOURCEA(command);
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
    EXPECT_EQ(RightClickAndChoose(init, &selection, chosen), "2 用Purgix永久删除");
    EXPECT_EQ(chosen, S_OK);
    EXPECT_EQ(Rows(), (std::vector<std::string>{Row("a", "", a, "DIR"), Row("禱告.txt", "1023 Byte", small, "txt")}));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"\n不能删除,否则操作系统无法工作!"});
    init->Release();
}

// A stand-in for Lockvale's main dialog: a dialog-class window titled "Velora" that keeps what
// WM_COPYDATA brings. A message box of the same class and title beside it must not take the block.
class FakeLockvale {
public:
    FakeLockvale() {
        decoy_ = ::CreateWindowExA(0, "#32770", "Velora", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        window_ = ::CreateWindowExA(0, "#32770", "Velora", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        previous_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~FakeLockvale() {
        ::DestroyWindow(window_);
        ::DestroyWindow(decoy_);
    }
    std::vector<unsigned long> tags;
    std::vector<std::vector<std::string>> lists;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<FakeLockvale*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            std::vector<std::string> paths;
            self->tags.push_back(static_cast<unsigned long>(data->dwData));
            ParseHandOff(static_cast<const char*>(data->lpData), data->cbData, paths);
            self->lists.push_back(paths);
            return TRUE;
        }
        return ::CallWindowProcA(self->previous_, hwnd, msg, wp, lp);
    }
    HWND window_ = nullptr, decoy_ = nullptr;
    WNDPROC previous_ = nullptr;
};

// Erasext's second command, "移入秘密盘", hands the selection to a running Lockvale under
// Lockvale's tag, in Purgix's block layout; Purgix's list is not touched.
TEST_F(ShellExtensionTest, ErasextHandsTheSelectionToLockvale) {
    const std::string folder = MakeFolder("资料"), file = MakeFile("禱告.txt", 10);
    FakeLockvale lockvale;
    IShellExtInit* init = MakeMenu("Erasext.dll", kErasextClass);
    ASSERT_NE(init, nullptr);
    SelectionData selection({folder, file});
    HRESULT chosen = E_FAIL;
    EXPECT_EQ(RightClickAndChoose(init, &selection, chosen, 1), "2 移入秘密盘");
    EXPECT_EQ(chosen, S_OK);
    EXPECT_EQ(lockvale.tags, std::vector<unsigned long>{kMoveInTag});
    EXPECT_EQ(lockvale.lists, (std::vector<std::vector<std::string>>{{folder, file}}));
    EXPECT_EQ(view->GetItemCount(), 0);
    EXPECT_TRUE(ui.MessageTexts().empty());
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
