#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IniTestFiles.h"
#include "MainIni.h"
#include "ScriptedUi.h"
#include "WiperView.h"
#include "WinApp.h"

using initest::ReadBytes;
using initest::SampleIni;
using initest::TempFolder;
using initest::WithLine;
using initest::WriteBytes;

namespace {

// The installed default file in the source tree, as Wine sees it (the Unix root is drive Z:).
std::string InstalledMainIni() {
    std::string path = "Z:" + std::string(PURGIX_DEFAULT_MAIN_INI);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::vector<std::string> SplitCrLf(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0, end;
    while ((end = bytes.find("\r\n", start)) != std::string::npos) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

}  // namespace

TEST(InstalledMainIni, HoldsEveryLineOnceInTheRequiredOrderEndedByCrLf) {
    const std::string bytes = ReadBytes(InstalledMainIni());
    ASSERT_GE(bytes.size(), 2u) << bytes;
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "the last line is ended too";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF without CR at byte " << i;
        }
        if (bytes[i] == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "CR without LF at byte " << i;
        }
    }

    // The radio line before EraserTimes and wipe1..wipe5 before wipe6: two readers stop early.
    const struct {
        const char* key;
        const char* values;  // nullptr: a label line without a value
    } expected[] = {
        {"[advance]", nullptr}, {"radio", "12345"}, {"SaveList", "01"}, {"BufferSize", "0123456789"},
        {"EraserTimes", "123456"}, {"wipe1", "01"}, {"wipe2", "01"}, {"wipe3", "01"}, {"wipe4", "01"},
        {"wipe5", "01"}, {"wipe6", "01"}, {"log", "01"}, {"skip1", "01"}, {"skip2", "01"}, {"skip3", "01"},
        {"skip4", "01"}, {"skip5", "01"}, {"skip6", "01"},
    };
    const std::vector<std::string> lines = SplitCrLf(bytes);
    ASSERT_EQ(lines.size(), sizeof expected / sizeof expected[0]) << bytes;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!expected[i].values) {
            EXPECT_EQ(line, expected[i].key);
            continue;
        }
        const std::string prefix = std::string(expected[i].key) + "=";
        ASSERT_EQ(line.size(), prefix.size() + 1) << "line " << i + 1 << " '" << line << "' is not " << prefix << "N";
        EXPECT_EQ(line.substr(0, prefix.size()), prefix) << "line " << i + 1;
        EXPECT_NE(std::string(expected[i].values).find(line.back()), std::string::npos)
            << "line " << i + 1 << " '" << line << "' has a value out of range";
    }

    // What the program makes of it: each switch reads as its line says, and a run finds a method.
    ScriptedUi ui;
    for (const std::string& line : lines) {
        if (line.compare(0, 4, "wipe") == 0 || line.compare(0, 4, "skip") == 0 || line.compare(0, 3, "log") == 0) {
            const std::string key = line.substr(0, line.size() - 2);
            EXPECT_EQ(ReadIniSwitch(InstalledMainIni(), key), line.back() == '1') << line;
        }
    }
    CWiperView view;
    view.iniPath = InstalledMainIni();
    EXPECT_TRUE(view.LoadEraseSettings());
    EXPECT_GE(view.settings.passes, 1) << "the installed file gives the custom overwrite at least one pass";
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(WriteIniLine, RewritesOnlyTheKeysLineInPlaceForEveryKey) {
    struct Case {
        std::string oldLine, newLine;
        size_t bytesWritten;  // the line without its CR LF; the write starts that many + 2 bytes back
    };
    std::vector<Case> cases = {
        {"[advance]", "[advance]", 9},      {"radio=3", "radio=5", 7},         {"radio=3", "radio=1", 7},
        {"SaveList=1", "SaveList=0", 10},   {"BufferSize=1", "BufferSize=0", 12},
        {"BufferSize=1", "BufferSize=9", 12}, {"EraserTimes=4", "EraserTimes=6", 13}, {"log=1", "log=0", 5},
    };
    const std::string sample = SampleIni();
    for (const char* prefix : {"wipe", "skip"}) {
        for (char k = '1'; k <= '6'; ++k) {
            const std::string key = prefix + std::string(1, k) + "=";
            const std::string old = sample.find("\r\n" + key + "1\r\n") != std::string::npos ? key + "1" : key + "0";
            cases.push_back({old, key + (old.back() == '1' ? "0" : "1"), 7});
        }
    }

    ScriptedUi ui;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oldLine + " -> " + c.newLine);
        TempFolder folder;
        const std::string path = folder / "main.ini";
        ASSERT_TRUE(WriteBytes(path, sample));
        ASSERT_EQ(WriteIniLine(path, c.newLine), IniWrite::written);

        const std::string after = ReadBytes(path);
        ASSERT_EQ(after.size(), sample.size()) << "a rewrite never changes the file's length";
        EXPECT_EQ(after, WithLine(sample, c.oldLine, c.newLine));
        // Exactly the line's own bytes, right where the line starts.
        const size_t start = c.oldLine == "[advance]" ? 0 : sample.find("\r\n" + c.oldLine + "\r\n") + 2;
        EXPECT_EQ(after.substr(start, c.bytesWritten), c.newLine);
        EXPECT_EQ(after.substr(0, start), sample.substr(0, start)) << "the lines before are untouched";
        EXPECT_EQ(after.substr(start + c.bytesWritten), sample.substr(start + c.bytesWritten))
            << "the line end and the lines after are untouched";
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

// Lines ended by LF alone, or a last line without an end, are rewritten where they stand: stepping
// back over a CR LF that is not there would eat the end of the line before.
TEST(WriteIniLine, ChangesOnlyTheFirstLineHoldingTheKeyWithAValidValue) {
    const std::string noLog = "[advance]\r\nradio=1\r\nwipe1=0\r\n";
    const struct {
        const char* situation;
        const char* before;  // nullptr: no file
        const char* line;
        const char* after;
        IniWrite result;
    } cases[] = {
        {"other spellings, spaces and values are passed over",
         "BufferSize=A\r\nBufferSize =1\r\nbuffersize=1\r\n BufferSize=1\r\nBufferSize=10\r\nBufferSize=1 \r\n"
         "BufferSize=7\r\nBufferSize=3\r\n",
         "BufferSize=0",
         "BufferSize=A\r\nBufferSize =1\r\nbuffersize=1\r\n BufferSize=1\r\nBufferSize=10\r\nBufferSize=1 \r\n"
         "BufferSize=0\r\nBufferSize=3\r\n",
         IniWrite::written},
        {"of two radio lines only the first", "radio=2\r\nwipe1=1\r\nradio=4\r\n", "radio=3",
         "radio=3\r\nwipe1=1\r\nradio=4\r\n", IniWrite::written},
        {"a value outside the key's range is another spelling", "radio=0\r\nradio=6\r\nradio=2\r\n", "radio=5",
         "radio=0\r\nradio=6\r\nradio=5\r\n", IniWrite::written},
        {"a label in other case is not the label", "[ADVANCE]\r\n[advance]\r\n", "[advance]",
         "[ADVANCE]\r\n[advance]\r\n", IniWrite::written},
        {"LF-only file, a middle line", "[advance]\nradio=3\nSaveList=1\nBufferSize=1\nEraserTimes=4\n",
         "BufferSize=0", "[advance]\nradio=3\nSaveList=1\nBufferSize=0\nEraserTimes=4\n", IniWrite::written},
        {"LF-only file, the first line", "radio=3\nlog=1\n", "radio=2", "radio=2\nlog=1\n", IniWrite::written},
        {"last line without an end", "[advance]\r\nlog=1", "log=0", "[advance]\r\nlog=0", IniWrite::written},
        {"mixed ends", "wipe1=0\nwipe2=0\r\nwipe3=0\n", "wipe2=1", "wipe1=0\nwipe2=1\r\nwipe3=0\n",
         IniWrite::written},
        {"a stray CR before CR LF is another spelling", "radio=3\r\r\nlog=1\r\n", "radio=1",
         "radio=3\r\r\nlog=1\r\n", IniWrite::noLine},
        {"the key has no line", noLog.c_str(), "log=0", noLog.c_str(), IniWrite::noLine},
        {"an empty file", "", "radio=2", "", IniWrite::noLine},
        {"a missing file is created empty", nullptr, "EraserTimes=3", "", IniWrite::noLine},
        {"a value the key cannot take would change the line's length", noLog.c_str(), "radio=12", noLog.c_str(),
         IniWrite::noLine},
        {"a value the key cannot take", noLog.c_str(), "radio=6", noLog.c_str(), IniWrite::noLine},
        {"an unknown key", "colour=1\r\n", "colour=2", "colour=1\r\n", IniWrite::noLine},
        {"a line with its own terminator", noLog.c_str(), "radio=2\r\n", noLog.c_str(), IniWrite::noLine},
    };
    ScriptedUi ui;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        TempFolder folder;
        const std::string path = folder / "main.ini";
        const std::string neighbour = folder / "ListSave.ini";
        ASSERT_TRUE(WriteBytes(neighbour, "C:\\t\\禱告.txt\r\n"));
        if (c.before) {
            ASSERT_TRUE(WriteBytes(path, c.before));
        }
        EXPECT_EQ(WriteIniLine(path, c.line), c.result);
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(ReadBytes(neighbour), "C:\\t\\禱告.txt\r\n");
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(WriteIniLine, AFileThatCannotBeOpenedIsReportedOnceAndLeftAlone) {
    CWinApp app("Purgix");
    TempFolder folder;
    const std::string held = folder / "held.ini";
    ASSERT_TRUE(WriteBytes(held, SampleIni()));
    HANDLE other = ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const std::string onProtectedDisk = "F:\\readme.txt";  // the harness's write-protected drive
    const std::string protectedBytes = ReadBytes(onProtectedDisk);

    const struct {
        const char* situation;
        std::string path;
        const char* userSees;
    } cases[] = {
        {"missing folder", folder / "无此目录\\main.ini", "路径"},
        {"write-protected disk", onProtectedDisk, "拒绝访问"},
        {"file held by another program", held, "另一个程序"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        ScriptedUi ui;
        EXPECT_EQ(WriteIniLine(c.path, "radio=2"), IniWrite::failed);
        const std::vector<std::string> texts = ui.MessageTexts();
        ASSERT_EQ(texts.size(), 1u) << "one file-error box";
        EXPECT_NE(texts[0].find(c.path), std::string::npos) << texts[0];
        EXPECT_NE(texts[0].find(c.userSees), std::string::npos) << texts[0];
        EXPECT_EQ(ui.Calls()[0].caption, "Purgix");
    }
    ::CloseHandle(other);
    EXPECT_EQ(ReadBytes(held), SampleIni());
    EXPECT_EQ(ReadBytes(onProtectedDisk), protectedBytes);
    EXPECT_FALSE(initest::Exists(folder / "无此目录"));
}

TEST(ReadIniSwitch, IsOnOnlyForTheExactWholeLineOfTheKeyAndOne) {
    const struct {
        const char* situation;
        std::string content;
        const char* key;
        bool on;
    } cases[] = {
        {"=1 line", SampleIni(), "wipe2", true},
        {"=0 line", SampleIni(), "wipe1", false},
        {"log on", SampleIni(), "log", true},
        {"last skip off", SampleIni(), "skip6", false},
        {"missing line", "[advance]\r\nwipe1=1\r\n", "wipe4", false},
        {"trailing space", "wipe1=1 \r\n", "wipe1", false},
        {"leading space", " wipe1=1\r\n", "wipe1", false},
        {"space before =", "wipe1 =1\r\n", "wipe1", false},
        {"other case", "Wipe1=1\r\n", "wipe1", false},
        {"longer value", "wipe1=11\r\n", "wipe1", false},
        {"longer key", "wipe11=1\r\n", "wipe1", false},
        {"LF-only line", "wipe3=0\nwipe1=1\n", "wipe1", true},
        {"last line without an end", "wipe3=0\r\nwipe1=1", "wipe1", true},
        {"a later =1 line of the same key", "wipe1=0\r\nwipe1=1\r\n", "wipe1", true},
    };
    ScriptedUi ui;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        TempFolder folder;
        ASSERT_TRUE(WriteBytes(folder / "main.ini", c.content));
        EXPECT_EQ(ReadIniSwitch(folder / "main.ini", c.key), c.on);
    }
    EXPECT_TRUE(ui.MessageTexts().empty());

    // Reading needs no write access: a file on a write-protected disk reads without a complaint.
    EXPECT_FALSE(ReadIniSwitch("F:\\readme.txt", "log"));
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(ReadIniSwitch, AMissingFileIsReportedAndEverySwitchIsOff) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    const std::string path = folder / "main.ini";
    EXPECT_FALSE(ReadIniSwitch(path, "wipe1"));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"找不到文件 " + path + "。"});
    EXPECT_FALSE(initest::Exists(path)) << "a reader never creates the file";
}
