#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "OutlookMailDlg.h"
#include "PrivacyFixture.h"
#include "ScriptedUi.h"
#include "TempFolder.h"
#include "resource.h"

using namespace privacy_test;

namespace {

const char kIdentity[] = "{5C2C0F43-7A61-4E2B-9E5C-3A1F00C0FFEE}";

// The default identity's Outlook Express key of `version` with "Store Root" = `root`, and the
// variable PURGIX_MAIL pointing at `folder`; all of it removed again at the end.
class OutlookIdentity {
public:
    OutlookIdentity(const std::string& version, const std::string& root, const std::string& folder) {
        Forget();
        ::SetEnvironmentVariableA("PURGIX_MAIL", folder.c_str());
        HKEY key;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, "Identities", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        ::RegSetValueExA(key, "Default User ID", 0, REG_SZ, reinterpret_cast<const BYTE*>(kIdentity), sizeof kIdentity);
        ::RegCloseKey(key);
        std::string path = std::string("Identities\\") + kIdentity + "\\SoftWare\\Microsoft\\Outlook Express\\" + version;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        ::RegSetValueExA(key, "Store Root", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(root.c_str()),
                         static_cast<DWORD>(root.size() + 1));
        ::RegCloseKey(key);
    }
    ~OutlookIdentity() { Forget(); }
    static void Forget() {
        ::SHDeleteKeyA(HKEY_CURRENT_USER, "Identities");
        ::SetEnvironmentVariableA("PURGIX_MAIL", nullptr);
    }
};

const char kChinese[] = "已删除邮件.dbx";
const char kEnglish[] = "Deleted Items.dbx";

}  // namespace

TEST(OutlookMailText, SizesReadAsTheDialogShowsThem) {
    const struct {
        uint64_t size;
        const char* text;
    } cases[] = {
        {0, "0字节"}, {1023, "1023字节"}, {1024, "1.00 KB"}, {1572864, "1.00 MB"}, {5368709120ull, "5.00 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(MailSizeText(c.size), c.text) << c.size;
}

TEST(OutlookMailStore, FoundThroughTheIdentityTheFirstVersionKeyAndStoreRoot) {
    TempFolder mail("oe");
    const struct {
        const char* version;
        const char* root;
    } cases[] = {
        {"5.0", "%PURGIX_MAIL%\\Store"},
        {"5.0", "%PURGIX_MAIL%\\Store\\"},
        {"6.0", "%PURGIX_MAIL%\\Store"},
    };
    for (const auto& c : cases) {
        OutlookIdentity identity(c.version, c.root, mail.Path());
        std::string folder = FindOutlookStoreFolder();
        EXPECT_EQ(folder.substr(0, folder.find_last_not_of('\\') + 1), mail / "Store") << c.version << " " << c.root;
    }
    OutlookIdentity::Forget();
    EXPECT_EQ(FindOutlookStoreFolder(), "");
}

// Both names present: the Chinese-named store is the one zeroed (seen as it was deleted), flushed
// and deleted, the other untouched, the outcome logged and shown.
TEST(OutlookMailDialog, WipesTheChineseNamedStoreWhole) {
    ScriptedUi ui;
    TempFolder mail("oe");
    ::CreateDirectoryA((mail / "Store").c_str(), nullptr);
    OutlookIdentity identity("5.0", "%PURGIX_MAIL%\\Store\\", mail.Path());
    const std::string chinese = mail / "Store\\" + kChinese;
    WriteBytes(chinese, std::string(1500, 'm'));
    WriteBytes(mail / "Store\\" + kEnglish, "english");

    Driven<COutlookMailDlg> dialog;
    dialog.logPath = mail / "log.txt";
    std::string sizeText;
    std::vector<Deletion> deletions;
    dialog.script = [&](COutlookMailDlg& d) {
        sizeText = d.GetDlgItemText(IDC_MAIL_SIZE);
        Screenshot(d.m_hWnd, "purgix-outlook-mail");
        DeletionWatch watch;
        Press(d, IDOK);
        deletions = watch.Deletions();
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(sizeText, "1.00 KB");
    ASSERT_EQ(deletions.size(), 1u);
    EXPECT_EQ(deletions[0].path, chinese);
    EXPECT_EQ(deletions[0].bytes, std::string(1500, '\0'));
    EXPECT_GT(deletions[0].flushesBefore, 0);
    EXPECT_FALSE(Exists(chinese));
    EXPECT_EQ(ReadBytes(mail / "Store\\" + kEnglish), "english");
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"擦除Outlook删除邮件成功!"});
    std::string log = ReadBytes(dialog.logPath);
    EXPECT_EQ(log.substr(0, 10), "[日志操作]");
    EXPECT_NE(log.find("    擦除Outlook删除邮件成功!"), std::string::npos) << log;
}

// The store held open by another program is refused before any byte is written; Cancel during the
// wipe leaves the file (partly zeroed) in place and nothing in the log.
TEST(OutlookMailDialog, AHeldStoreIsRefusedAndCancelKeepsIt) {
    ScriptedUi ui;
    TempFolder mail("oe");
    ::CreateDirectoryA((mail / "Store").c_str(), nullptr);
    OutlookIdentity identity("4.0", "%PURGIX_MAIL%\\Store", mail.Path());
    const std::string store = mail / "Store\\" + kEnglish;
    const std::string original(512 * 64, 'x');
    WriteBytes(store, original);

    HANDLE held = ::CreateFileA(store.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    {
        COutlookMailDlg refused;
        refused.logPath = mail / "log.txt";
        refused.DoModal();
    }
    ::CloseHandle(held);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"请关闭 Outlook Express!"});
    EXPECT_EQ(ReadBytes(store), original);

    ui.Clear();
    Driven<COutlookMailDlg> dialog;
    dialog.logPath = mail / "log.txt";
    dialog.script = [&](COutlookMailDlg& d) {
        // Taken by the wipe before its first block: Cancel; the next message it takes stops it.
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        d.PostMessage(WM_NULL);
        Press(d, IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    std::string left = ReadBytes(store);
    EXPECT_EQ(left.size(), original.size());
    EXPECT_EQ(left.substr(0, 512), std::string(512, '\0')) << "the wipe began";
    EXPECT_EQ(left.substr(left.size() - 512), std::string(512, 'x')) << "the wipe stopped";
    EXPECT_TRUE(ui.MessageTexts().empty());
    EXPECT_EQ(ReadBytes(dialog.logPath).find("\r\n"), std::string::npos) << "a cancelled wipe logs nothing";
}
