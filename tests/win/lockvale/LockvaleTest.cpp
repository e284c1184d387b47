#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "CreateVirtualDiskSheet.h"
#include "LockvaleApp.h"
#include "ScriptedUi.h"
#include "SecretDisk.h"
#include "StartupChecks.h"
#include "TempFolder.h"
#include "WineMountManager.h"
#include "resource.h"

// Lockvale's own rules, away from the mount library: what the creation wizard refuses and accepts,
// and what start-up makes of the Windows version and of a driver that cannot be enumerated.

namespace {

// The wizard's pages, made as modeless dialogs on a hidden owner so a test can fill their controls
// and press Next.
template <class Page>
class Opened : public Page {
public:
    template <class... Args>
    explicit Opened(Args&&... args) : Page(args...) {
        owner_ = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
        this->Create(owner_);
    }
    ~Opened() override {
        if (this->m_hWnd) ::DestroyWindow(this->m_hWnd);
        ::DestroyWindow(owner_);
    }
    LRESULT Next() { return this->OnWizardNext(); }
    void Type(int id, const std::string& text) { ::SetDlgItemTextA(this->m_hWnd, id, text.c_str()); }

private:
    HWND owner_ = nullptr;
};

std::string LastMessage(const ScriptedUi& ui) {
    const std::vector<std::string> texts = ui.MessageTexts();
    return texts.empty() ? std::string() : texts.back();
}

class LockvaleRules : public ::testing::Test {
protected:
    void SetUp() override { DiskState() = SecretDiskState(); }
    CLockvaleApp app_;  // message boxes are captioned "Velora"
    ScriptedUi ui_;
};

// A probe that reports a chosen Windows version and, optionally, a failing device enumeration.
class FakeProbe : public CSystemProbe {
public:
    DWORD major = 5, minor = 1;
    bool versionFails = false, extendedFails = false, enumerationFails = false;
    std::vector<DWORD> sizesAsked;

    BOOL GetVersionExA(OSVERSIONINFOA* info) override {
        sizesAsked.push_back(info->dwOSVersionInfoSize);
        if (versionFails || (extendedFails && info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))) return FALSE;
        info->dwMajorVersion = major;
        info->dwMinorVersion = minor;
        return TRUE;
    }
    HDEVINFO GetClassDevsA(const GUID* interfaceClass, DWORD flags) override {
        if (enumerationFails) return INVALID_HANDLE_VALUE;
        return CSystemProbe::GetClassDevsA(interfaceClass, flags);
    }
};

class ProbeInstalled {
public:
    explicit ProbeInstalled(CSystemProbe* probe) { SetSystemProbe(probe); }
    ~ProbeInstalled() { SetSystemProbe(nullptr); }
};

}  // namespace

TEST_F(LockvaleRules, TheFirstPageRefusesWhatCannotBecomeAnImage) {
    TempFolder folder("lockvale");
    WriteBytes(folder / "taken.vlr", "an image already there");
    // A drive with 64 MB free: only sizes up to 64 + 100 MB fit on it.
    ASSERT_TRUE(mountex::DefineUnixDrive('K', SMALL_VOLUME)) << "the 64 MB test volume cannot be given a letter";
    const std::string longFolder = folder.Path() + "\\" + std::string(255 - folder.Path().size(), 'a');
    struct Case {
        const char* what;
        std::string name, place, size;
        UINT answer;             // to the overwrite question, when one comes
        LRESULT result;          // 0 goes on, -1 stays
        std::string message;     // the last message, "" for none
        std::string imagePath;   // what the session holds afterwards ("" : not checked)
    };
    const std::string tooSmall = AfxLoadString(IDS_SIZE_TOO_SMALL), tooLarge = AfxLoadString(IDS_SIZE_TOO_LARGE);
    const Case cases[] = {
        {"no name", "", folder.Path(), "100", 0, -1, "请输入文件名", ""},
        {"no folder", "data", "", "100", 0, -1, "请输入文件路径", ""},
        {"no size", "data", folder.Path(), "", 0, -1, "请输入文件大小", ""},
        {"size 0", "data", folder.Path(), "0", 0, -1, "请输入文件大小", ""},
        {"99 MB", "data", folder.Path(), "99", 0, -1, tooSmall, ""},
        {"11265 MB", "data", folder.Path(), "11265", 0, -1, tooLarge, ""},
        {"more than free + 100 MB", "data", "K:\\", "165", 0, -1, tooLarge, ""},
        {"free + 100 MB at most", "data", "K:\\", "164", 0, 0, "", "K:\\data.vlr"},
        {"the extension is added", "data", folder.Path(), "100", 0, 0, "", folder / "data.vlr"},
        {"a name with .vlr keeps it", "data.vlr", folder.Path() + "\\", "100", 0, 0, "", folder / "data.vlr"},
        {".vlr anywhere counts", "a.vlr.bak", folder.Path(), "100", 0, 0, "", folder / "a.vlr.bak"},
        {"the search is case-sensitive", "DATA.VLR", folder.Path(), "100", 0, 0, "", folder / "DATA.VLR.vlr"},
        {"a folder ending in 禱", "盘", "C:\\禱", "100", 0, 0, "", "C:\\禱\\盘.vlr"},
        {"an existing file, not replaced", "taken", folder.Path(), "100", IDNO, -1, AfxLoadString(IDS_FILE_EXISTS), ""},
        {"an existing file, replaced", "taken", folder.Path(), "100", IDYES, 0, AfxLoadString(IDS_FILE_EXISTS),
         folder / "taken.vlr"},
        {"a path over 259 characters", "data", longFolder, "100", 0, -1, longFolder + "\\data.vlr\n路径太长, 无法处理!", ""},
    };
    for (const Case& c : cases) {
        Opened<CSelectFilePage> page;
        page.Type(IDC_FILE_NAME, c.name);
        page.Type(IDC_FOLDER, c.place);
        page.Type(IDC_SIZE_MB, c.size);
        ui_.Clear();
        if (c.answer) ui_.AnswerMessageBox(c.answer);
        std::memset(DiskState().imagePath, 0, MAX_PATH);
        EXPECT_EQ(page.Next(), c.result) << c.what;
        EXPECT_EQ(LastMessage(ui_), c.message) << c.what;
        if (!c.imagePath.empty()) {
            EXPECT_EQ(std::string(DiskState().imagePath), c.imagePath) << c.what;
        }
        if (c.result == 0) {
            EXPECT_EQ(DiskState().sizeMB, std::stoul(c.size)) << c.what;
        }
    }
    mountex::RemoveUnixDrive('K');
    for (const auto& call : ui_.Calls()) EXPECT_EQ(call.caption, "Velora");
}

TEST_F(LockvaleRules, TheSecondPageTakesFourToSixteenMatchingCharacters) {
    struct Case {
        const char* what;
        std::string password, confirmation;
        LRESULT result;
        std::string message;
    };
    const Case cases[] = {
        {"nothing", "", "", -1, "请输入密码。"},
        {"no confirmation", "abcd", "", -1, "请输入确认密码。"},
        {"a different confirmation", "abcd", "abce", -1, "密码不一致，请确认。"},
        {"the case differs", "abcd", "ABCD", -1, "密码不一致，请确认。"},
        {"three characters", "abc", "abc", -1, "密码至少4位，请重新输入。"},
        {"four", "abcd", "abcd", 0, ""},
        {"sixteen", "0123456789abcdef", "0123456789abcdef", 0, ""},
        {"seventeen", "0123456789abcdefg", "0123456789abcdefg", -1, "请输入不超过 16 个字符。"},
    };
    for (const Case& c : cases) {
        Opened<CsetPasswordpage> page;
        page.Type(IDC_PASSWORD, c.password);
        page.Type(IDC_CONFIRM, c.confirmation);
        ui_.Clear();
        DiskState().SetPassword("old");
        EXPECT_EQ(page.Next(), c.result) << c.what;
        EXPECT_EQ(LastMessage(ui_), c.message) << c.what;
        const std::string kept(DiskState().password, strnlen(DiskState().password, sizeof DiskState().password));
        EXPECT_EQ(kept, c.result == 0 ? c.password : std::string("old")) << c.what;
        EXPECT_EQ(DiskState().password[16], '\0') << c.what;
    }
}

TEST_F(LockvaleRules, WindowsTwoThousandAloneIsRefused) {
    struct Case {
        const char* what;
        DWORD major, minor;
        bool extendedFails, versionFails, refused;
    };
    const Case cases[] = {
        {"Windows 2000", 5, 0, false, false, true},
        {"Windows 2000 answering the short record only", 5, 0, true, false, true},
        {"Windows XP", 5, 1, false, false, false},
        {"Windows NT 4", 4, 0, false, false, false},
        {"Windows 7", 6, 1, false, false, false},
        {"no version at all", 5, 0, false, true, false},
    };
    for (const Case& c : cases) {
        FakeProbe probe;
        probe.major = c.major;
        probe.minor = c.minor;
        probe.extendedFails = c.extendedFails;
        probe.versionFails = c.versionFails;
        ProbeInstalled installed(&probe);
        EXPECT_EQ(IsWindows2000(), c.refused) << c.what;
        ASSERT_FALSE(probe.sizesAsked.empty()) << c.what;
        EXPECT_EQ(probe.sizesAsked.front(), sizeof(OSVERSIONINFOEXA)) << c.what << ": the extended record is asked first";
    }
    // The whole start-up on Windows 2000: one message, and the program ends before any window.
    FakeProbe win2k;
    win2k.major = 5;
    win2k.minor = 0;
    ProbeInstalled installed(&win2k);
    EXPECT_FALSE(app_.InitInstance());
    EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{AfxLoadString(IDS_NO_WIN2K)});
    EXPECT_EQ(app_.SmallWindow(), nullptr);
}

TEST_F(LockvaleRules, AFailingDeviceEnumerationIsReportedAndCountsAsNoDriver) {
    FakeProbe probe;
    probe.enumerationFails = true;
    ProbeInstalled installed(&probe);
    EXPECT_FALSE(CheckDriverPresent());
    EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"连接驱动程序失败，请重试！"});
}
