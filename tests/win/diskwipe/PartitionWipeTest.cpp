#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Controls.h"
#include "DiskWipeFixture.h"
#include "ScriptedUi.h"
#include "TempFolder.h"
#include "WineDrives.h"
#include "resource.h"

using namespace wipetest;

// The harness's drives: C: the system drive, D: fixed, E: removable, F: write-protected removable,
// G: CD-ROM; V: an NTFS volume mounted with ntfs-3g (fixed).

namespace {

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Has(const std::vector<std::string>& drives, const char* drive) {
    return std::find(drives.begin(), drives.end(), drive) != drives.end();
}

}  // namespace

TEST(PartitionWipeWarning, ItsCheckBoxDecidesWhetherFixedDisksAreOffered) {
    for (bool include : {false, true}) {
        class Driven : public PartitionWipeWarningDialog {
        public:
            bool check = false;
            std::string text;

        protected:
            LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
                LRESULT result = PartitionWipeWarningDialog::WindowProc(msg, wp, lp);
                if (msg == WM_INITDIALOG) PostMessage(WM_APP);
                if (msg == WM_APP) {
                    text = GetDlgItemText(IDC_WARNING_TEXT);
                    if (check) CButton(::GetDlgItem(m_hWnd, IDC_INCLUDE_HARD_DISKS)).Click();
                    PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                }
                return result;
            }
        } warning;
        warning.check = include;
        IncludeHardDisks = include ? 0 : 1;
        ASSERT_EQ(warning.DoModal(), IDOK);
        EXPECT_EQ(IncludeHardDisks.load(), include ? 1 : 0);
        EXPECT_EQ(warning.text.compare(0, 8, "        "), 0) << "the text begins with eight blanks";

        DiskWipeMode = 0;
        DrivenDiskWipeDialog dialog;
        std::vector<std::string> drives;
        std::string title;
        dialog.script = [&](DrivenDiskWipeDialog& d) {
            drives = d.ListedDrives();
            title = d.GetWindowText();
            d.Press(IDCANCEL);
        };
        dialog.DoModal();
        EXPECT_EQ(title, "磁盘分区擦除...");
        EXPECT_TRUE(Has(drives, "E:") && Has(drives, "F:")) << "removable drives are always offered";
        EXPECT_FALSE(Has(drives, "G:")) << "never a CD-ROM";
        EXPECT_EQ(Has(drives, "C:"), include);
        EXPECT_EQ(Has(drives, "D:"), include);
    }
}

TEST(PartitionWipe, RefusesTheSystemDriveAndAProtectedMediumAndTouchesNothing) {
    ASSERT_TRUE(WriteBytes("E:\\pw-keep.txt", "keep me"));
    struct Case {
        const char* what;
        std::vector<std::string> drives;
        std::vector<int> answers;
        std::vector<std::string> messages;
    } cases[] = {
        {"the system drive with a removable one", {"C:", "E:"}, {IDYES, IDYES},
         {"分区的数据将被擦除,继续吗?", "你确定继续吗?", "选择的分区含有系统目录,操作取消!!!"}},
        {"a write-protected medium", {"F:"}, {IDYES, IDYES},
         {"分区的数据将被擦除,继续吗?", "你确定继续吗?", "该设备写保护"}},
        {"no to the first question", {"E:"}, {IDNO}, {"分区的数据将被擦除,继续吗?"}},
        {"no to the second question", {"E:"}, {IDYES, IDNO}, {"分区的数据将被擦除,继续吗?", "你确定继续吗?"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedUi ui;
        for (int answer : c.answers) ui.AnswerMessageBox(answer);
        IncludeHardDisks = 1;
        DiskWipeMode = 0;
        DrivenDiskWipeDialog dialog;
        bool idleAfter = false, startEnabled = false;
        dialog.script = [&](DrivenDiskWipeDialog& d) {
            ASSERT_TRUE(d.SelectDrives(c.drives));
            d.Press(IDOK);
            idleAfter = d.Run()->idle.load() == 1;
            startEnabled = d.GetDlgItem(IDOK).IsWindowEnabled();
            d.Press(IDCANCEL);
        };
        dialog.DoModal();
        EXPECT_EQ(ui.MessageTexts(), c.messages);
        EXPECT_TRUE(idleAfter && startEnabled) << "the dialog is back to idle for a new selection";
        EXPECT_EQ(dialog.WorkerHandle(), nullptr) << "no fill was started";
        EXPECT_EQ(FileBytes("E:\\pw-keep.txt"), "keep me");
        EXPECT_EQ(FileBytes("F:\\readme.txt"), "write-protected disk\r\n");
        EXPECT_FALSE(Exists("E:\\Purgixtesttest"));
    }
    ::DeleteFileA("E:\\pw-keep.txt");
}

TEST(PartitionWipe, AFileInUseLeadsToAQuestionAndASecondRunLeavesAnEmptyDrive) {
    const std::string folder = PARTITION_VOLUME_DIR;
    ASSERT_TRUE(DefineHostDrive('V', folder + "/mnt", folder + "/volume.img"));
    ::CreateDirectoryA("V:\\a", nullptr);
    ::CreateDirectoryA("V:\\a\\b", nullptr);
    ASSERT_TRUE(WriteBytes("V:\\a\\b\\c.txt", "c"));
    ASSERT_TRUE(WriteBytes("V:\\read-only.txt", "r"));
    ASSERT_TRUE(WriteBytes("V:\\hidden.txt", "h"));
    ASSERT_TRUE(WriteBytes("V:\\禱告.txt", "gbk name ending in 0x5C"));
    ::SetFileAttributesA("V:\\read-only.txt", FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA("V:\\hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(WriteBytes("V:\\in use.txt", "held open"));
    // A link on the drive to a folder elsewhere: removed as a link (or left), never entered.
    TempFolder outside("pwlink");
    const std::string target = folder + "/outside-target";
    RunHostShell("rm -rf '" + target + "' && mkdir -p '" + target + "' && echo outside > '" + target +
                 "/target.txt' && ln -s '" + target + "' '" + folder + "/mnt/link'");
    const bool linked = Exists("V:\\link\\target.txt");
    const std::string logPath = outside / "log.txt";

    HANDLE held = ::CreateFileA("V:\\in use.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        ScriptedUi ui;
        ui.AnswerMessageBox(IDYES);
        ui.AnswerMessageBox(IDYES);
        ui.AnswerMessageBox(IDNO);
        IncludeHardDisks = 1;
        DiskWipeMode = 0;
        DrivenDiskWipeDialog dialog;
        dialog.logPath = logPath;
        dialog.script = [&](DrivenDiskWipeDialog& d) {
            ASSERT_TRUE(d.SelectDrives({"V:"}));
            d.Press(IDOK);
            d.Press(IDCANCEL);
        };
        dialog.DoModal();
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>({"分区的数据将被擦除,继续吗?", "你确定继续吗?",
                                                               "分区中的一些文件未被删除,继续吗?"}));
        EXPECT_EQ(dialog.WorkerHandle(), nullptr) << "no fill after No";
    }
    ::CloseHandle(held);
    EXPECT_TRUE(Exists("V:\\in use.txt"));
    for (const char* gone : {"V:\\a", "V:\\read-only.txt", "V:\\hidden.txt", "V:\\禱告.txt"}) EXPECT_FALSE(Exists(gone)) << gone;
    if (linked) {
        EXPECT_EQ(FileBytes(WinePath(target + "/target.txt")), "outside\n")
            << "the link's target is untouched";
    }
    RunHostShell("rm -f '" + folder + "/mnt/link'; rm -rf '" + target + "'");

    ScriptedUi ui;
    ui.AnswerMessageBox(IDYES);
    ui.AnswerMessageBox(IDYES);
    IncludeHardDisks = 1;
    DiskWipeMode = 0;
    DrivenDiskWipeDialog dialog;
    dialog.logPath = logPath;
    dialog.script = [&](DrivenDiskWipeDialog& d) {
        ASSERT_TRUE(d.SelectDrives({"V:"}));
        d.Press(IDOK);
        ASSERT_TRUE(d.WaitForWorker(180000));
        d.Press(IDCANCEL);
    };
    dialog.DoModal();
    EXPECT_EQ(ui.MessageTexts(),
              std::vector<std::string>({"分区的数据将被擦除,继续吗?", "你确定继续吗?", "分区擦除成功!"}));
    EXPECT_EQ(NamesIn("V:\\"), std::vector<std::string>()) << "the partition holds nothing, no temp file either";
    EXPECT_NE(FileBytes(logPath).find("    V: 分区擦除成功!"), std::string::npos) << FileBytes(logPath);
}
