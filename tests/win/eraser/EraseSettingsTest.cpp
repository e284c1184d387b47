#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IniTestFiles.h"
#include "ScriptedUi.h"
#include "WinApp.h"
#include "WiperView.h"

using initest::SampleIni;
using initest::TempFolder;
using initest::WriteBytes;

namespace {

// Values no line of main.ini produces, so a field the file did not set is recognisable.
const int32_t kUnsetPattern = -7;
const int32_t kUnsetPasses = -8;
const int32_t kUnsetBuffer = -9;

struct Loaded {
    bool ok;
    EraseSettings settings;
};

// Runs LoadEraseSettings on a main.ini holding `content`, over a view whose fields hold the unset values.
Loaded LoadFrom(const std::string& content) {
    TempFolder folder;
    CWiperView view;
    view.iniPath = folder / "main.ini";
    WriteBytes(view.iniPath, content);
    view.settings.pattern = kUnsetPattern;
    view.settings.passes = kUnsetPasses;
    view.settings.bufferBytes = kUnsetBuffer;
    bool ok = view.LoadEraseSettings();
    return {ok, view.settings};
}

}  // namespace

TEST(LoadEraseSettings, EveryLineOfTheMappingSetsItsField) {
    const struct {
        const char* line;
        int32_t pattern, passes, bufferBytes;  // passes starts at 0 for every run
    } cases[] = {
        {"radio=1", 1, 0, kUnsetBuffer},
        {"radio=2", 2, 0, kUnsetBuffer},
        {"radio=3", 3, 0, kUnsetBuffer},
        {"radio=4", 4, 0, kUnsetBuffer},
        {"radio=5", 5, 0, kUnsetBuffer},
        {"EraserTimes=1", kUnsetPattern, 1, kUnsetBuffer},
        {"EraserTimes=2", kUnsetPattern, 2, kUnsetBuffer},
        {"EraserTimes=3", kUnsetPattern, 3, kUnsetBuffer},
        {"EraserTimes=4", kUnsetPattern, 4, kUnsetBuffer},
        {"EraserTimes=5", kUnsetPattern, 5, kUnsetBuffer},
        {"EraserTimes=6", kUnsetPattern, 6, kUnsetBuffer},
        {"BufferSize=1", kUnsetPattern, 0, 1048576},
        {"BufferSize=2", kUnsetPattern, 0, 2097152},
        {"BufferSize=3", kUnsetPattern, 0, 3145728},
        {"BufferSize=4", kUnsetPattern, 0, 4194304},
        {"BufferSize=5", kUnsetPattern, 0, 5242880},
        {"BufferSize=6", kUnsetPattern, 0, 6291456},
        {"BufferSize=7", kUnsetPattern, 0, 7340032},
        {"BufferSize=8", kUnsetPattern, 0, 8388608},
        {"BufferSize=9", kUnsetPattern, 0, 9437184},
        {"BufferSize=0", kUnsetPattern, 0, 10485760},
    };
    ScriptedUi ui;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Loaded loaded = LoadFrom(std::string("[advance]\r\n") + c.line + "\r\nwipe1=1\r\n");
        EXPECT_TRUE(loaded.ok);
        EXPECT_EQ(loaded.settings.pattern, c.pattern);
        EXPECT_EQ(loaded.settings.passes, c.passes);
        EXPECT_EQ(loaded.settings.bufferBytes, c.bufferBytes);
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(LoadEraseSettings, TheLastMatchingLineWinsAndOtherSpellingsAreIgnored) {
    const std::string crlf = SampleIni();
    std::string lfOnly;
    for (char c : crlf) {
        if (c != '\r') lfOnly.push_back(c);
    }
    const struct {
        const char* situation;
        std::string content;
        int32_t pattern, passes, bufferBytes;
    } cases[] = {
        {"a whole file", crlf, 3, 4, 0x100000},
        {"the same file with LF-only ends", lfOnly, 3, 4, 0x100000},
        {"radio=2 and later radio=4", "radio=2\r\nEraserTimes=1\r\nradio=4\r\n", 4, 1, kUnsetBuffer},
        {"two pass counts", "EraserTimes=2\r\nEraserTimes=5\r\n", kUnsetPattern, 5, kUnsetBuffer},
        {"two block sizes", "BufferSize=0\r\nBufferSize=3\r\n", kUnsetPattern, 0, 0x300000},
        {"no EraserTimes line gives no passes", "[advance]\r\nradio=2\r\nBufferSize=2\r\n", 2, 0, 0x200000},
        {"other spellings",
         "radio =3\r\nradio=3 \r\n radio=3\r\n\tradio=3\r\nRadio=3\r\nRADIO=3\r\nradio=0\r\nradio=6\r\nradio=33\r\n"
         "EraserTimes=0\r\nEraserTimes=7\r\neraserTimes=2\r\nEraserTimes= 2\r\nBufferSize=10\r\nBufferSize=A\r\n"
         "buffersize=5\r\nradio=3\r\r\n",
         kUnsetPattern, 0, kUnsetBuffer},
        {"an empty file", "", kUnsetPattern, 0, kUnsetBuffer},
    };
    ScriptedUi ui;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        Loaded loaded = LoadFrom(c.content);
        EXPECT_TRUE(loaded.ok);
        EXPECT_EQ(loaded.settings.pattern, c.pattern);
        EXPECT_EQ(loaded.settings.passes, c.passes);
        EXPECT_EQ(loaded.settings.bufferBytes, c.bufferBytes);
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(LoadEraseSettings, AMissingFileIsReportedAndTheRunDoesNotTakePlace) {
    CWinApp app("Purgix");
    ScriptedUi ui;
    TempFolder folder;
    CWiperView view;
    view.iniPath = folder / "main.ini";
    view.settings = {kUnsetPattern, kUnsetPasses, kUnsetBuffer};

    EXPECT_FALSE(view.LoadEraseSettings());
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"找不到文件 " + view.iniPath + "。"});
    EXPECT_EQ(ui.Calls()[0].caption, "Purgix");
    EXPECT_EQ(view.settings.passes, 0);
    EXPECT_EQ(view.settings.pattern, kUnsetPattern);
    EXPECT_EQ(view.settings.bufferBytes, kUnsetBuffer);
    EXPECT_FALSE(initest::Exists(view.iniPath)) << "a run never creates main.ini";
}
