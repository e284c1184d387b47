#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "DiskVolume.h"
#include "DiskWipeFixture.h"
#include "ScriptedUi.h"
#include "TempFolder.h"
#include "TextProgressBar.h"
#include "WineDrives.h"
#include "resource.h"

using namespace wipetest;

// The free-space wipe end to end on an NTFS volume mounted with ntfs-3g behind W:, with deleted
// files on it. The volume is checked with fls, ntfsundelete and a raw record search once the
// tests are over and it is unmounted (tests/fixtures/ntfs-wipe-check.sh).
TEST(FreeSpaceWipe, FillsAnNtfsDriveClearsItsDeletedNamesAndLeavesTheLiveFilesAndNoTempFile) {
    const std::string folder = WIPE_VOLUME_DIR;
    ASSERT_TRUE(DefineHostDrive('W', folder + "/mnt", folder + "/volume.img"));
    const std::vector<std::string> live = {"W:\\keep.txt", "W:\\docs\\report.bin", "W:\\docs\\tiny.txt"};
    std::vector<std::string> liveBytes;
    for (const std::string& path : live) liveBytes.push_back(FileBytes(path));
    ASSERT_EQ(liveBytes[0].size(), 3000u);
    const uint64_t freeBefore = FreeBytes("W:\\");
    {
        DiskVolume volume;
        ASSERT_TRUE(volume.Open(1, 'W'));
        diskfs::DeletedFileList found;
        ASSERT_TRUE(volume.Scan(found));
        ASSERT_GE(found.size(), 3u) << "the fixture's deleted files are visible before the wipe";
    }
    TempFolder temp("freewipe");
    const std::string log = temp / "log.txt";

    // A cancel in the middle of the fill: the dialog closes, the worker stops after its current
    // write and deletes its temp files; no message, no log line.
    {
        ScriptedUi ui;
        ui.AnswerMessageBox(IDYES);
        DiskWipeMode = 1;
        DrivenDiskWipeDialog dialog;
        dialog.logPath = log;
        int percentAtCancel = -1;
        dialog.script = [&](DrivenDiskWipeDialog& d) {
            ASSERT_TRUE(d.SelectDrives({"W:"}));
            d.Press(IDOK);
            auto run = d.Run();
            ASSERT_TRUE(d.PumpUntil([&] { return run->percent.load() >= 3; }, 60000));
            percentAtCancel = run->percent.load();
            d.Press(IDCANCEL);
        };
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_FALSE(::IsWindow(dialog.m_hWnd)) << "the dialog is closed";
        EXPECT_LT(percentAtCancel, 90) << "the fill ended before the cancel could be tested";
        ASSERT_TRUE(dialog.WaitForWorker(60000));
        ASSERT_EQ(ui.MessageTexts(), std::vector<std::string>({"确认终止吗?"}));
        EXPECT_EQ(ui.Calls()[0].caption, "擦除终止");
        for (const std::string& name : NamesIn("W:\\")) EXPECT_EQ(name.find("~DWipeTmp"), std::string::npos) << name;
        EXPECT_EQ(FreeBytes("W:\\"), freeBefore);
        EXPECT_EQ(FileBytes(log).find("W:"), std::string::npos) << "a cancelled drive is not logged";
    }

    // The whole run.
    ScriptedUi ui;
    DiskWipeMode = 1;
    DrivenDiskWipeDialog dialog;
    dialog.logPath = log;
    std::string information, stripText;
    bool startEnabledBefore = true, startEnabledAfter = false;
    dialog.script = [&](DrivenDiskWipeDialog& d) {
        startEnabledBefore = d.GetDlgItem(IDOK).IsWindowEnabled();
        ASSERT_TRUE(d.SelectDrives({"W:"}));
        information = d.GetDlgItemText(IDC_DRIVE_INFO);
        d.Press(IDOK);
        ASSERT_TRUE(d.WaitForWorker(180000));
        d.PumpUntil([] { return false; }, 100);
        TextProgressBar* strip = dynamic_cast<TextProgressBar*>(CWnd::FromHandlePermanent(d.GetDlgItem(IDC_WIPE_STRIP)));
        if (strip) stripText = strip->Text();
        startEnabledAfter = d.GetDlgItem(IDOK).IsWindowEnabled();
        d.Press(IDCANCEL);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(startEnabledBefore) << "nothing selected yet";
    EXPECT_NE(information.find("当前磁盘 (W:)   未使用空间"), std::string::npos) << information;
    EXPECT_NE(information.find("  总大小:"), std::string::npos) << information;
    EXPECT_EQ(stripText, "100%");
    EXPECT_TRUE(startEnabledAfter);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>({"未使用空余空间擦除成功!"}));

    for (const std::string& name : NamesIn("W:\\")) EXPECT_EQ(name.find("~DWipeTmp"), std::string::npos) << name;
    for (size_t i = 0; i < live.size(); ++i) EXPECT_EQ(FileBytes(live[i]), liveBytes[i]) << live[i];
    EXPECT_EQ(FreeBytes("W:\\"), freeBefore) << "the free space is back";
    const std::string logged = FileBytes(log);
    EXPECT_TRUE(std::regex_search(logged, std::regex("^\\[日志操作\\]\r\n[A-Za-z]+ [0-9]{2}, [0-9]{4} "
                                                     "[0-9]{2}:[0-9]{2}:[0-9]{2}    W: 未使用空余空间擦除成功!$")))
        << logged;
    DiskVolume volume;
    ASSERT_TRUE(volume.Open(1, 'W'));
    diskfs::DeletedFileList found;
    volume.skipEmpty = 0;
    ASSERT_TRUE(volume.Scan(found));
    EXPECT_TRUE(found.empty()) << "the first name still found: " << (found.empty() ? "" : found.front()->path);
    // The host-side checks run on the unmounted image once every test is over.
    WriteBytes(WinePath(folder + "/wiped"), "wiped");
}
