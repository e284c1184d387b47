#include <cstring>
#include <regex>

#include "EngineFixture.h"
#include "EraseProgressDlg.h"
#include "IniTestFiles.h"
#include "ListFixture.h"

namespace {

using list_test::ListTest;

// main.ini as installed, with these lines in place of the lines of the same keys.
std::string IniWith(std::initializer_list<const char*> lines) {
    std::string ini = list_test::MainIni(true);
    for (const char* line : lines) {
        std::string key = std::string(line).substr(0, std::string(line).find('='));
        for (const char* value : {"=0", "=1"}) {
            if (ini.find("\r\n" + key + value + "\r\n") != std::string::npos) ini = initest::WithLine(ini, key + value, line);
        }
    }
    return ini;
}

// Counts the passes the engine writes.
class PassCounter : public PassObserver {
public:
    void PassWritten(const std::string&, int) override { ++passes; }
    int passes = 0;
};

class EraseRunTest : public ListTest {
protected:
    void OpenWith(const std::string& ini) {
        ASSERT_TRUE(WriteBytes(folder / "main.ini", ini));
        Open();
        view->logPath = folder / "log.txt";
        view->passObserver = &counter;
    }
    // The log's lines after its header, each with its time stamp checked and cut off.
    std::vector<std::string> LogLines() {
        std::string log = ReadBytes(folder / "log.txt");
        std::vector<std::string> lines;
        const std::string header = "[日志操作]";
        EXPECT_EQ(log.compare(0, header.size(), header), 0) << log;
        EXPECT_FALSE(log.size() >= 2 && log.compare(log.size() - 2, 2, "\r\n") == 0) << "the log never ends with a line end";
        static const std::regex stamped("([A-Z][a-z]+ \\d\\d, \\d{4} \\d\\d:\\d\\d:\\d\\d)    (.*)");
        for (size_t at = log.find("\r\n"); at != std::string::npos;) {
            size_t next = log.find("\r\n", at + 2);
            std::string line = log.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
            std::smatch match;
            if (std::regex_match(line, match, stamped)) {
                lines.push_back(match[2]);
            } else {
                ADD_FAILURE() << "not a log line: " << line;
            }
            at = next;
        }
        return lines;
    }
    bool MainWindowAskedToClose() {
        MSG msg;
        return ::PeekMessageA(&msg, frame->m_hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }

    PassCounter counter;
};

}  // namespace

TEST_F(EraseRunTest, EraseAllOnAnEmptyListDoesNothingNotEvenReadMainIni) {
    Open();
    view->iniPath = folder / "没有这个文件.ini";
    Command(ID_ERASE_ALL);
    EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(EraseRunTest, AllOptionsAtOnceConfirmUseNsaAndEndTheProgram) {
    OpenWith(IniWith({"wipe1=0", "wipe2=0", "wipe4=0", "wipe5=1", "log=0"}));
    std::string file = MakeFile("报告.doc", 5);
    view->AddFileItem(file);
    ui.Clear();
    Command(ID_ERASE_ALL);
    ASSERT_EQ(ui.MessageTexts(), std::vector<std::string>{"确认要永久删除这些文件吗?"});
    EXPECT_EQ(ui.Calls()[0].caption, "Purgix");
    EXPECT_EQ(ui.Calls()[0].flags, static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(counter.passes, 12) << "the NSA scheme: six passes of 0x00 and six of 0x01";
    EXPECT_FALSE(engine_test::Exists(file));
    EXPECT_FALSE(engine_test::Exists(folder / std::string(std::strlen("报告.doc"), '0'))) << "nor under its zero name";
    EXPECT_EQ(view->GetItemCount(), 0);
    EXPECT_EQ(g_progressDlg, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(frame->m_hWnd));
    EXPECT_TRUE(MainWindowAskedToClose());
}

TEST_F(EraseRunTest, ConfirmationCancelledErasesNothingAndOpensNoProgressDialog) {
    OpenWith(IniWith({"wipe4=1", "wipe5=0"}));
    std::string file = MakeFile("a.txt", 100);
    view->AddFileItem(file);
    for (UINT command : {ID_ERASE_ALL, ID_ERASE_SELECTED}) {
        Select({0});
        ui.Clear();
        ui.AnswerMessageBox(IDCANCEL);
        Command(command);
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"确认要永久删除这些文件吗?"});
        EXPECT_EQ(counter.passes, 0);
        EXPECT_EQ(ReadBytes(file), std::string(100, 'x'));
        EXPECT_EQ(view->GetItemCount(), 1);
        EXPECT_EQ(::FindWindowA(nullptr, "擦除中..."), nullptr);
    }
}

TEST_F(EraseRunTest, ALockedItemStopsTheRunAndEveryRemainingItemIsLoggedNotErased) {
    OpenWith(IniWith({"wipe1=0", "wipe2=0", "wipe4=0", "wipe5=0", "wipe6=0", "log=1"}));
    std::string first = MakeFile("first.txt", 10), locked = MakeFile("locked.txt", 10);
    view->AddFileItem(first);
    view->AddFileItem(locked);  // the last row: erased first
    // Readable by others, not writable: the read probe passes and the overwrite cannot open it.
    HANDLE holder = ::CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ui.Clear();
    Command(ID_ERASE_ALL);
    ::CloseHandle(holder);

    std::vector<std::string> texts = ui.MessageTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), locked + "\n文件正在使用中,请先关闭后再试!");
    EXPECT_EQ(ReadBytes(first), std::string(10, 'x')) << "the run stopped before the other item";
    EXPECT_EQ(view->GetItemCount(), 2);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{locked + " 未被删除", first + " 未被删除"}));
    EXPECT_TRUE(::IsWindowEnabled(frame->m_hWnd));
    EXPECT_FALSE(MainWindowAskedToClose());
}

TEST_F(EraseRunTest, TheFirstLineOfANewLogFollowsTheHeaderAndEachLineIsPrecededByALineEnd) {
    OpenWith(IniWith({"wipe1=0", "wipe2=0", "wipe4=0", "wipe5=0", "log=1"}));
    std::string a = MakeFile("禱告.txt", 3000), b = MakeFile("b.txt", 0);
    view->AddFileItem(a);
    view->AddFileItem(b);
    Command(ID_ERASE_ALL);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{b + " 被删除", a + " 被删除"}));
    EXPECT_EQ(counter.passes, 4) << "EraserTimes=4 over the 3000-byte file; the empty one is not written";
    EXPECT_EQ(view->GetItemCount(), 0);
    EXPECT_EQ(StatusText(), "文件数: 0个");
}

TEST_F(EraseRunTest, EraseSelectedWithTwoOfFiveSelectedLeavesThreeAndLogsThem) {
    OpenWith(IniWith({"wipe1=1", "wipe2=0", "wipe4=0", "wipe5=0", "log=1"}));
    std::vector<std::string> files;
    for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) {
        files.push_back(MakeFile(name, 20));
        view->AddFileItem(files.back());
    }
    Select({1, 3});
    Command(ID_ERASE_SELECTED);
    EXPECT_EQ(counter.passes, 24) << "two files under the NSA scheme";
    EXPECT_EQ(Column(2), (std::vector<std::string>{files[0], files[2], files[4]}));
    EXPECT_FALSE(engine_test::Exists(files[1]));
    EXPECT_FALSE(engine_test::Exists(files[3]));
    std::vector<std::string> expected = {files[1] + " 被删除", files[3] + " 被删除", files[4] + " 未被删除",
                                         files[2] + " 未被删除", files[0] + " 未被删除"};
    EXPECT_EQ(LogLines(), expected);
    EXPECT_EQ(g_progressDlg, nullptr);
}

TEST_F(EraseRunTest, ShowLogOpensTheLogInNotepad) {
    Open();
    view->logPath = folder / "log.txt";
    Command(ID_SHOW_LOG);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, "WinExec");
    EXPECT_EQ(ui.Calls()[0].text, "Notepad " + folder / "log.txt");
    EXPECT_EQ(ui.Calls()[0].flags, 5u);
}
