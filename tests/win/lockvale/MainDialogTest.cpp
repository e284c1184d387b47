#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>

#include <string>
#include <vector>

#include "LockvaleApp.h"
#include "LockvaleDlg.h"
#include "PurgixHandOff.h"
#include "ScriptedUi.h"
#include "SecretDisk.h"
#include "TempFolder.h"
#include "resource.h"

// The main dialog as the user sees it before any disk is mounted: what it restores from
// Setting.ini, the hover hints, and the programs, pages and addresses its buttons open.

namespace {

std::string ModuleFolder() {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

// Setting.ini beside the program, as a test leaves it: removed at the end.
class SettingsFile {
public:
    SettingsFile() : path_(ModuleFolder() + "\\Setting.ini") { ::DeleteFileA(path_.c_str()); }
    ~SettingsFile() { ::DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

// The main dialog, modeless, so the test can work it.
class OpenMainDialog {
public:
    OpenMainDialog() { dialog.Create(nullptr); }
    ~OpenMainDialog() { ::DestroyWindow(dialog.m_hWnd); }
    std::string Text(int id) { return dialog.GetDlgItemText(id); }
    bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(dialog.m_hWnd, id)) != 0; }
    void Press(int id) { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Hover(int id) {
        NMBCHOTITEM hot = {};
        hot.hdr.hwndFrom = ::GetDlgItem(dialog.m_hWnd, id);
        hot.hdr.idFrom = static_cast<UINT_PTR>(id);
        hot.hdr.code = BCN_HOTITEMCHANGE;
        hot.dwFlags = HICF_ENTERING;
        dialog.SendMessage(WM_NOTIFY, id, reinterpret_cast<LPARAM>(&hot));
    }
    CLockvaleDlg dialog;
};

// Dispatches what is queued, as the program's message loop would.
void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// A drop as Explorer makes one: DROPFILES and the ANSI paths.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    const std::string list = PackHandOff(paths);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class LockvaleMainDialog : public ::testing::Test {
protected:
    void SetUp() override { DiskState() = SecretDiskState(); }
    CLockvaleApp app_;
    ScriptedUi ui_;
    SettingsFile settings_;
};

}  // namespace

TEST_F(LockvaleMainDialog, TheLastImageComesBackOnlyWhileItExists) {
    TempFolder folder("lockvale");
    const std::string image = folder / "上次.vlr";
    WriteBytes(image, "image");
    struct Case {
        const char* what;
        std::string lastfile;
        std::string shown;
        bool mountEnabled;
    };
    const Case cases[] = {
        {"no Setting.ini", "", AfxLoadString(IDS_NO_IMAGE), false},
        {"an image that is there", image, image, true},
        {"an image that is gone", folder / "不在.vlr", AfxLoadString(IDS_NO_IMAGE), false},
    };
    for (const Case& c : cases) {
        DiskState() = SecretDiskState();  // a new start
        if (!c.lastfile.empty()) WriteSetting("CONFIG", "lastfile", c.lastfile);
        OpenMainDialog main;
        EXPECT_EQ(main.Text(IDC_IMAGE_PATH), c.shown) << c.what;
        EXPECT_EQ(main.Enabled(IDC_MOUNT), c.mountEnabled) << c.what;
        EXPECT_EQ(main.Text(IDC_MOUNT), c.mountEnabled ? AfxLoadString(IDS_MOUNT_DISK) : "启动秘密盘") << c.what;
        EXPECT_EQ(main.Text(IDC_STATE_TEXT), AfxLoadString(IDS_DISK_CLOSED)) << c.what;
        EXPECT_EQ(main.dialog.GetWindowText(), "Velora") << c.what;
    }
}

TEST_F(LockvaleMainDialog, HoveringAButtonExplainsItAndTheDialogItselfGivesTheAdvice) {
    OpenMainDialog main;
    EXPECT_EQ(main.Text(IDC_HINT), AfxLoadString(IDS_HINT_DEFAULT));
    const struct {
        int button;
        UINT hint;
    } hints[] = {{IDC_CREATE, IDS_HINT_CREATE}, {IDC_CHOOSE_IMAGE, IDS_HINT_CHOOSE},
                 {IDC_MOUNT, IDS_HINT_MOUNT}, {IDC_ERASE, IDS_HINT_ERASE}};
    for (const auto& h : hints) {
        main.Hover(h.button);
        EXPECT_EQ(main.Text(IDC_HINT), AfxLoadString(h.hint)) << "button " << h.button;
        main.dialog.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        EXPECT_EQ(main.Text(IDC_HINT), AfxLoadString(IDS_HINT_DEFAULT)) << "after button " << h.button;
    }
}

TEST_F(LockvaleMainDialog, ItsButtonsStartTheEraserHelpMailAndTheWebPage) {
    OpenMainDialog main;
    const std::string folder = ProgramDirectory();
    main.Press(IDC_ERASE);
    main.Press(IDC_HELP_BUTTON);
    main.Press(IDC_SUPPORT_MAIL);
    // The web link answers a click only over its own corner of the dialog.
    RECT link;
    ::GetWindowRect(::GetDlgItem(main.dialog.m_hWnd, IDC_WEB_LINK), &link);
    POINT inside = {link.left + 2, link.top + 2};
    ::ScreenToClient(main.dialog.m_hWnd, &inside);
    main.dialog.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    main.dialog.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    main.dialog.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
    main.dialog.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(inside.x, inside.y));

    const std::vector<ScriptedUi::Call>& calls = ui_.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, "WinExec");
    EXPECT_EQ(calls[0].text, folder + "\\Purgix.exe /MyLockvale");
    EXPECT_EQ(calls[1].kind, "ShowHelp");
    EXPECT_EQ(calls[1].text, folder + "\\Lockvale.chm");
    EXPECT_EQ(calls[2].kind, "ShellOpen");
    EXPECT_EQ(calls[2].text.compare(0, 7, "mailto:"), 0) << calls[2].text;
    EXPECT_EQ(calls[3].kind, "ShellOpen");
    EXPECT_EQ(calls[3].text, "IEXPLORE.EXE");

    // Enter does nothing; Esc and "退出" only hide the window.
    main.Press(IDOK);
    EXPECT_TRUE(main.dialog.IsWindowVisible());
    main.Press(IDC_EXIT);
    EXPECT_FALSE(main.dialog.IsWindowVisible());
    EXPECT_TRUE(main.dialog.IsWindow());
}

// Explorer's command "移入秘密盘" reaches the move only with a well-formed list under Lockvale's own
// tag (anything else is refused whole), and a drop on either window goes the same way; with no disk
// open the user is told so and nothing else happens.
TEST_F(LockvaleMainDialog, HandOffsAndDropsAreTakenWholeAndNeedAnOpenDisk) {
    TempFolder folder("lockvale");
    const std::string file = folder / "禱告.txt";
    WriteBytes(file, "x");
    OpenMainDialog main;
    app_.m_pMainWnd = &main.dialog;
    CSmallDlg small;
    ASSERT_TRUE(small.Create(nullptr));
    const std::vector<std::string> noDisk = {AfxLoadString(IDS_MOVE_NO_DISK)};
    struct Case {
        const char* what;
        unsigned long tag;
        std::string block;
        bool taken;
    };
    const Case cases[] = {
        {"well formed", kMoveInTag, file + '\0' + '\0', true},
        {"no final empty string", kMoveInTag, file + '\0', false},
        {"bytes after the end", kMoveInTag, file + '\0' + '\0' + "C:\\", false},
        {"an empty list", kMoveInTag, std::string(1, '\0'), false},
        {"Purgix's tag", kHandOffTag, file + '\0' + '\0', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui_.Clear();
        COPYDATASTRUCT data = {c.tag, static_cast<DWORD>(c.block.size()), const_cast<char*>(c.block.data())};
        EXPECT_EQ(main.dialog.SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != 0, c.taken);
        Pump();
        EXPECT_EQ(ui_.MessageTexts(), c.taken ? noDisk : std::vector<std::string>());
    }
    for (HWND target : {small.m_hWnd, main.dialog.m_hWnd}) {
        ui_.Clear();
        ::SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
        Pump();
        EXPECT_EQ(ui_.MessageTexts(), noDisk) << (target == small.m_hWnd ? "the small window" : "the main dialog");
    }
    app_.m_pMainWnd = nullptr;
}
