#include <gtest/gtest.h>
#include <windows.h>

#include "EngineFixture.h"
#include "PrivacyFixture.h"
#include "ScriptedUi.h"
#include "TempFilesDlg.h"
#include "TempFolder.h"
#include "resource.h"

using namespace privacy_test;

namespace {

// Points the temporary folder (TMP) at `folder` for the life of the object.
class TempPointedAt {
public:
    explicit TempPointedAt(const std::string& folder) {
        char old[MAX_PATH] = {};
        hadOld_ = ::GetEnvironmentVariableA("TMP", old, sizeof old) != 0;
        old_ = old;
        ::SetEnvironmentVariableA("TMP", folder.c_str());
    }
    ~TempPointedAt() { ::SetEnvironmentVariableA("TMP", hadOld_ ? old_.c_str() : nullptr); }

private:
    std::string old_;
    bool hadOld_;
};

// True when `folder` lists an entry called `name` (its full path may be too long to name it directly).
bool Listed(const std::string& folder, const std::string& name) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do found = found || name == entry.cFileName;
    while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return found;
}

// Makes a file of `size` bytes at a path that may be longer than 260 bytes.
std::wstring LongForm(const std::string& path) {
    wchar_t wide[1024];
    ::MultiByteToWideChar(CP_ACP, 0, ("\\\\?\\" + path).c_str(), -1, wide, 1024);
    return wide;
}

void WriteLongFile(const std::string& path, DWORD size) {
    HANDLE file = ::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "no long path can be made here";
    std::string bytes(size, 'L');
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), size, &written, nullptr);
    ::CloseHandle(file);
}

std::string LastLogLine(const std::string& log) {
    std::string bytes = ReadBytes(log);
    return bytes.substr(bytes.rfind("\r\n") + 2);
}

}  // namespace

TEST(TempFilesText, SizesReadAsTheDialogAndSummaryShowThem) {
    const struct {
        uint64_t size;
        const char* folderText;
        const char* summaryText;
    } cases[] = {
        {0, "当前临时文件大小:(0) 字节", "0 字节"},
        {999, "当前临时文件大小:(999) 字节", "999 字节"},
        {1234, "当前临时文件大小:1.21 K(1,234) 字节", "1.21 K"},
        {123456, "当前临时文件大小:120.56 K(123,456) 字节", "120.56 K"},
        {1234567, "当前临时文件大小:1.18 M(1,234,567) 字节", "1.18 M"},
        // Past 4 GiB nothing wraps.
        {5368709120ull, "当前临时文件大小:5.00 G(5,368,709,120) 字节", "5.00 G"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TempSizeText(c.size), c.folderText) << c.size;
        EXPECT_EQ(SummarySizeText(c.size), c.summaryText) << c.size;
    }
}

// A nested tree with a read-only file, a file another program holds open, a file whose path is too
// long and a link to a folder outside: everything else zeroed, flushed and deleted bottom-up, the
// held and the long one counted as not erased, the link's target untouched, the summary and the log
// line shown and written.
TEST(TempFilesDialog, WipesTheTreeButNeverWhatALinkPointsTo) {
    ScriptedUi ui;
    TempFolder scratch("tempwipe");
    const std::string temp = scratch / "Temp", outside = scratch / "outside";
    ASSERT_TRUE(::CreateDirectoryA(temp.c_str(), nullptr) && ::CreateDirectoryA(outside.c_str(), nullptr));
    ::CreateDirectoryA((temp + "\\top").c_str(), nullptr);
    ::CreateDirectoryA((temp + "\\top\\sub").c_str(), nullptr);
    ::CreateDirectoryA((temp + "\\top\\sub\\深").c_str(), nullptr);
    WriteBytes(temp + "\\a.txt", std::string(100, 'a'));
    WriteBytes(temp + "\\top\\只读.txt", std::string(2000, 'r'));
    ::SetFileAttributesA((temp + "\\top\\只读.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(temp + "\\top\\sub\\深\\b.bin", std::string(700, 'b'));
    WriteBytes(temp + "\\top\\held.tmp", std::string(300, 'h'));
    WriteBytes(outside + "\\keep.txt", "outside the temporary folder");
    // Taken away before the folders are: a link whose target is gone no longer shows under Wine.
    bool linked = engine_test::MakeDirLink(outside, temp + "\\top\\link");
    struct Unlink {
        std::string link;
        ~Unlink() { engine_test::RemoveDirLink(link); }
    } unlink{temp + "\\top\\link"};
    // A name that makes the path longer than 260 bytes, made through the system's long-path form.
    const std::string longName = std::string(240, 'L') + ".tmp";
    WriteLongFile(temp + "\\top\\" + longName, 50);
    HANDLE held = ::CreateFileA((temp + "\\top\\held.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TempPointedAt pointed(temp);

    Driven<CTempFilesDlg> dialog;
    dialog.logPath = scratch / "log.txt";
    std::string sizeText;
    std::vector<std::string> summary;
    dialog.script = [&](CTempFilesDlg& d) {
        sizeText = d.GetDlgItemText(IDC_TEMP_SIZE);
        Screenshot(d.m_hWnd, "purgix-temp-files");
        // The summary is modal inside the wipe: read and closed from a timer of this thread.
        static std::vector<std::string>* seen;
        seen = &summary;
        UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
            HWND box = ::FindWindowA(nullptr, "擦除信息");
            if (!box || !seen->empty()) return;
            CWnd window(box);
            for (int id : {IDC_SUMMARY_TITLE, IDC_SUMMARY_ERASED_COUNT, IDC_SUMMARY_ERASED_SIZE, IDC_SUMMARY_KEPT_COUNT,
                           IDC_SUMMARY_KEPT_SIZE}) {
                seen->push_back(window.GetDlgItemText(id));
            }
            HWND owner = ::GetWindow(box, GW_OWNER);
            seen->push_back(CWnd(owner).GetDlgItemText(IDC_TEMP_PERCENT));
            Screenshot(box, "purgix-temp-summary");
            Press(window, IDOK);
        });
        DeletionWatch watch;
        Press(d, IDOK);
        ::KillTimer(nullptr, timer);
        long flushed = 0;
        for (const Deletion& deletion : watch.Deletions()) {
            EXPECT_EQ(deletion.bytes, std::string(deletion.bytes.size(), '\0')) << deletion.path << " was not zeroed";
            EXPECT_GT(deletion.flushesBefore, flushed) << deletion.path << " was deleted without a flush of its own";
            flushed = deletion.flushesBefore;
        }
        EXPECT_EQ(watch.Deletions().size(), 3u);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ::CloseHandle(held);

    // 100 + 2000 + 700 + 300 + 50 bytes; the link is not counted, the long path is but stays whole.
    EXPECT_EQ(sizeText, "当前临时文件大小:3.08 K(3,150) 字节");
    EXPECT_EQ(summary, (std::vector<std::string>{"临时文件擦除成功!", "3", "2.73 K", "2", "350 字节", "100%"}));
    EXPECT_TRUE(Listed(temp + "\\top", longName)) << "a path too long for its buffer was touched";
    ::DeleteFileW(LongForm(temp + "\\top\\" + longName).c_str());
    EXPECT_FALSE(Exists(temp + "\\a.txt"));
    EXPECT_FALSE(Exists(temp + "\\top\\只读.txt"));
    EXPECT_FALSE(Exists(temp + "\\top\\sub")) << "emptied folders are removed";
    EXPECT_EQ(ReadBytes(temp + "\\top\\held.tmp"), std::string(300, 'h'));
    EXPECT_EQ(ReadBytes(outside + "\\keep.txt"), "outside the temporary folder");
    if (!linked) std::printf("(no host link could be made: the link case was not exercised)\n");
    EXPECT_NE(LastLogLine(dialog.logPath).find("    临时目录擦除成功!"), std::string::npos);
}
