#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"
#include "DiskWipeFixture.h"
#include "RecoverableFilesDialog.h"
#include "RecoveryFilters.h"
#include "SectorDevice.h"
#include "TempFolder.h"
#include "WineDrives.h"
#include "resource.h"

using namespace wipetest;

// The recoverable-files check on the fixture volumes behind X: (their deleted files as the image
// scanner lists them, tests/fixtures/scan-images.sh) and on an NTFS volume behind U: with 150
// deleted files.

namespace {

class DrivenCheck : public RecoverableFilesDialog {
public:
    std::function<void(DrivenCheck&)> script;
    int stopAt = 0;  // rows after which Stop is pressed, as the records come in


    // Chooses the disk whose entry ends in "(X:)".
    bool ChooseDisk(char letter) {
        CComboBox disks(::GetDlgItem(m_hWnd, IDC_DISK_COMBO));
        for (int i = 0; i < disks.GetCount(); ++i) {
            const std::string text = disks.GetLBText(i);
            if (text.size() >= 3 && text[text.size() - 3] == letter) {
                disks.SetCurSel(i);
                SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DISK_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(disks.m_hWnd));
                disks.m_hWnd = nullptr;
                return true;
            }
        }
        disks.m_hWnd = nullptr;
        return false;
    }
    void Press(int id) { SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id))); }
    bool Search() {
        Press(IDC_SEARCH);
        return DrivenDiskWipeDialog::PumpUntil([this] { return !WorkerRunning(); }, 60000);
    }
    // Every row as the scanner prints a record: path, time and the size column.
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 0; i < FoundList().GetItemCount(); ++i) {
            rows.push_back(FoundList().GetItemText(i, 1) + FoundList().GetItemText(i, 0) + "\t" +
                           FoundList().GetItemText(i, 2) + "\t" + FoundList().GetItemText(i, 3));
        }
        return rows;
    }

protected:
    bool OnInitDialog() override {
        bool result = RecoverableFilesDialog::OnInitDialog();
        PostMessage(WM_APP + 9);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == diskfs::kFoundRecordMessage && stopAt) {
            LRESULT result = RecoverableFilesDialog::WindowProc(msg, wp, lp);
            if (FoundList().GetItemCount() == stopAt) Press(IDC_SEARCH);
            return result;
        }
        if (msg == WM_APP + 9) {
            if (script) script(*this);
            EndDialog(IDCANCEL);
            return 0;
        }
        return RecoverableFilesDialog::WindowProc(msg, wp, lp);
    }
};

// The scanner's lines as rows: the size in KiB, 1 to 1023 bytes counting as 1.
std::vector<std::string> ExpectedRows(const std::string& scannerOutput) {
    std::vector<std::string> rows;
    size_t start = 0;
    while (start < scannerOutput.size()) {
        size_t end = scannerOutput.find('\n', start);
        const std::string line = scannerOutput.substr(start, end - start);
        start = end == std::string::npos ? scannerOutput.size() : end + 1;
        size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1), tab3 = line.find('\t', tab2 + 1);
        const uint32_t size = static_cast<uint32_t>(std::stoul(line.substr(tab2 + 1, tab3 - tab2 - 1)));
        rows.push_back(line.substr(0, tab2) + "\t" + SizeText(SizeInKb(size)));
    }
    return rows;
}

}  // namespace

TEST(RecoverableFiles, ListsWhatTheImageScannerFindsInSizesOfKiB) {
    for (const char* name : {"fat32", "ntfs"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(::CopyFileA(WinePath(std::string(DISK_FIXTURE_DIR) + "/" + name + ".img").c_str(), "X:\\volume.img", FALSE));
        ASSERT_TRUE(DefineHostDrive('X', DRIVE_X_FOLDER, DRIVE_X_FOLDER "/volume.img"));
        g_searchFilters = SearchFilters();
        DrivenCheck check;
        std::vector<std::string> rows;
        std::string information, state, count, button;
        check.script = [&](DrivenCheck& c) {
            ASSERT_TRUE(c.ChooseDisk('X')) << "X: is offered";
            information = c.GetDlgItemText(IDC_DISK_INFO);
            ASSERT_TRUE(c.Search());
            rows = c.Rows();
            state = c.GetDlgItemText(IDC_SEARCH_STATE);
            count = c.GetDlgItemText(IDC_FOUND_COUNT);
            button = c.GetDlgItemText(IDC_SEARCH);
        };
        check.DoModal();
        EXPECT_EQ(rows, ExpectedRows(FileBytes(WinePath(std::string(DISK_FIXTURE_DIR) + "/" + name + ".expected"))));
        EXPECT_EQ(information.find(std::string("当前盘 (X:) 文件系统:") + (name[0] == 'f' ? "FAT32" : "NTFS") + " 未使用空间:"), 0u)
            << information;
        EXPECT_EQ(state, "已完成");
        EXPECT_EQ(count, std::to_string(rows.size()));
        EXPECT_EQ(button, "搜索");
    }
}

TEST(RecoverableFiles, FiltersByTypeAndDateAndPreviewsTheFirstSector) {
    ASSERT_TRUE(::CopyFileA(WinePath(std::string(DISK_FIXTURE_DIR) + "/ntfs.img").c_str(), "X:\\volume.img", FALSE));
    ASSERT_TRUE(DefineHostDrive('X', DRIVE_X_FOLDER, DRIVE_X_FOLDER "/volume.img"));
    const long fixtureDay = LocalDayNumber(2010, 1, 1);
    struct Case {
        const char* what;
        const char* typed;
        int typeIndex;
        const char* typeText;
        int dateMode;
        long today;
        size_t rows;
    } cases[] = {
        {"typed extension TXT matches .txt whatever its case", "TXT", 0, "*.*", 2, 0, 7},
        {"typed * passes everything", "*", 5, "*.doc", 2, 0, 9},
        {"the type list's *.bin with nothing typed", "", 3, "*.bin", 2, 0, 1},
        {"the type list's *.doc: none", "", 3, "*.doc", 2, 0, 0},
        {"deleted the day before yesterday", "", 0, "*.*", 0, fixtureDay + 2, 9},
        {"deleted three days ago: too old", "", 0, "*.*", 0, fixtureDay + 3, 0},
        {"a range given backwards includes its ends", "", 0, "*.*", 1, 0, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_searchFilters = SearchFilters();
        g_searchFilters.typedExtension = c.typed;
        g_searchFilters.typeIndex = c.typeIndex;
        g_searchFilters.typeText = c.typeText;
        g_searchFilters.dateMode = c.dateMode;
        g_searchFilters.firstDay = fixtureDay;
        g_searchFilters.lastDay = fixtureDay - 5;
        DrivenCheck check;
        if (c.today) check.today = c.today;
        size_t rows = 0;
        check.script = [&](DrivenCheck& d) {
            ASSERT_TRUE(d.ChooseDisk('X'));
            ASSERT_TRUE(d.Search());
            rows = d.Rows().size();
        };
        check.DoModal();
        EXPECT_EQ(rows, c.rows);
    }

    // The preview of 1500.bin (data in cluster 2561) and of small.txt (resident), both forms.
    g_searchFilters = SearchFilters();
    std::vector<std::string> shown;
    std::string path;
    DrivenCheck check;
    check.script = [&](DrivenCheck& d) {
        ASSERT_TRUE(d.ChooseDisk('X'));
        ASSERT_TRUE(d.Search());
        for (const char* name : {"1500.bin", "small.txt"}) {
            for (int i = 0; i < d.FoundList().GetItemCount(); ++i) {
                if (d.FoundList().GetItemText(i, 0) == name) d.PreviewRow(i);
            }
            path = d.GetDlgItemText(IDC_PREVIEW_PATH);
            shown.push_back(d.GetDlgItemText(IDC_PREVIEW));
            d.CheckRadioButton(IDC_PREVIEW_HEX, IDC_PREVIEW_TEXT, IDC_PREVIEW_TEXT);
            d.Press(IDC_PREVIEW_TEXT);
            shown.push_back(d.GetDlgItemText(IDC_PREVIEW));
            d.CheckRadioButton(IDC_PREVIEW_HEX, IDC_PREVIEW_TEXT, IDC_PREVIEW_HEX);
        }
    };
    check.DoModal();
    const std::string image = FileBytes(WinePath(std::string(DISK_FIXTURE_DIR) + "/ntfs.img"));
    ASSERT_GT(image.size(), 2561u * 4096 + 512);
    uint8_t sector[512];
    std::memcpy(sector, image.data() + 2561u * 4096, sizeof sector);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], HexPreview(sector));
    EXPECT_EQ(shown[0].substr(0, 26), "23 34 3A 31  23 34 3A 32  ") << "two digits and a blank, one more after every fourth";
    EXPECT_EQ(shown[1], std::string(reinterpret_cast<const char*>(sector), 512));
    EXPECT_EQ(shown[3].substr(0, 4), "#2:1") << "resident data is shown from the record";
    EXPECT_EQ(shown[3].size(), 100u);
    EXPECT_EQ(path, "X:\\small.txt");
}

TEST(RecoverableFiles, OneHundredStopsTheScanAndStopKeepsTheRowsFound) {
    const std::string folder = MANY_VOLUME_DIR;
    ASSERT_TRUE(DefineHostDrive('U', folder + "/mnt", folder + "/volume.img"));
    g_searchFilters = SearchFilters();
    size_t all = 0, hundred = 0, hundredDat = 0, stopped = 0;
    std::string stoppedState;
    DrivenCheck check;
    check.script = [&](DrivenCheck& d) {
        ASSERT_TRUE(d.ChooseDisk('U'));
        ASSERT_TRUE(d.Search());
        all = d.Rows().size();
        d.CheckRadioButton(IDC_SHOW_100, IDC_SHOW_ALL, IDC_SHOW_100);
        d.Press(IDC_SHOW_100);
        ASSERT_TRUE(d.Search());
        hundred = d.Rows().size();
        g_searchFilters.typeIndex = 1;
        g_searchFilters.typeText = "*.dat";
        ASSERT_TRUE(d.Search());
        hundredDat = d.Rows().size();
        g_searchFilters = SearchFilters();
        d.CheckRadioButton(IDC_SHOW_100, IDC_SHOW_ALL, IDC_SHOW_ALL);
        d.Press(IDC_SHOW_ALL);
        d.stopAt = 10;
        ASSERT_TRUE(d.Search());
        stopped = d.Rows().size();
        stoppedState = d.GetDlgItemText(IDC_SEARCH_STATE);
    };
    check.DoModal();
    EXPECT_EQ(all, 154u);
    EXPECT_EQ(hundred, 100u);
    EXPECT_LT(hundredDat, 100u) << "the filter applies to the first 100 found";
    EXPECT_EQ(stopped, 10u) << "the scan ends at the stop and the rows found so far stay";
    EXPECT_EQ(stoppedState, "已完成");
}

TEST(RecoveryFilters, ABootSectorWithImpossibleSectorsGivesNoPreview) {
    // A boot sector claiming 0 (or 64 Ki) bytes per sector must not lead to a read of that size
    // into the 512-byte preview buffer.
    std::vector<uint8_t> volume(1 << 20, 0);
    volume[13] = 8;
    diskfs::MemorySectorDevice device(volume);
    uint8_t out[512];
    std::memset(out, 0x77, sizeof out);
    EXPECT_FALSE(ReadPreviewSector(device, true, 1, out));
    EXPECT_EQ(out[0], 0x77) << "a failed read leaves the preview as it was";
}

TEST(RecoverableFiles, TheAdvancedSearchKeepsItsChoicesForTheNextShowing) {
    g_searchFilters = SearchFilters();
    class Driven : public AdvancedSearchDialog {
    public:
        std::function<void(Driven&)> script;

    protected:
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
            LRESULT result = AdvancedSearchDialog::WindowProc(msg, wp, lp);
            if (msg == WM_INITDIALOG) PostMessage(WM_APP + 3);
            if (msg == WM_APP + 3 && script) script(*this);
            return result;
        }
    };
    bool listWhileTyped = true, listWhenEmpty = false, pickersBefore = true, pickersAfter = false;
    std::string firstType;
    Driven first;
    first.script = [&](Driven& d) {
        firstType = CComboBox(::GetDlgItem(d.m_hWnd, IDC_TYPE_COMBO)).GetLBText(0);
        d.SetDlgItemText(IDC_TYPED_EXTENSION, " ");
        listWhenEmpty = d.GetDlgItemText(IDC_TYPED_EXTENSION).empty() && d.GetDlgItem(IDC_TYPE_COMBO).IsWindowEnabled();
        d.SetDlgItemText(IDC_TYPED_EXTENSION, "doc");
        listWhileTyped = d.GetDlgItem(IDC_TYPE_COMBO).IsWindowEnabled();
        pickersBefore = d.GetDlgItem(IDC_DATE_FROM).IsWindowEnabled();
        CButton(::GetDlgItem(d.m_hWnd, IDC_SEARCH_DATES)).Click();
        pickersAfter = d.GetDlgItem(IDC_DATE_FROM).IsWindowEnabled();
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    ASSERT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(firstType, "*.*") << "the sorted list starts with *.*";
    EXPECT_TRUE(listWhenEmpty) << "a lone blank is emptied and the list stays usable";
    EXPECT_FALSE(listWhileTyped);
    EXPECT_FALSE(pickersBefore);
    EXPECT_TRUE(pickersAfter);
    EXPECT_EQ(g_searchFilters.typedExtension, "doc");
    EXPECT_EQ(g_searchFilters.dateMode, SearchFilters::kDateRange);
    EXPECT_GT(g_searchFilters.firstDay, 0);
    std::string kept;
    Driven second;
    second.script = [&](Driven& d) {
        kept = d.GetDlgItemText(IDC_TYPED_EXTENSION);
        pickersAfter = d.GetDlgItem(IDC_DATE_FROM).IsWindowEnabled();
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    second.DoModal();
    EXPECT_EQ(kept, "doc") << "the next showing starts from the stored choices";
    EXPECT_TRUE(pickersAfter);

}
