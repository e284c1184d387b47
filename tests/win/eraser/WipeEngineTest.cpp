#include "EngineFixture.h"

#include "FileException.h"
#include "GbkText.h"

using namespace engine_test;

namespace {

const char kInUse[] = "\n文件正在使用中,请先关闭后再试!";
const char kSizeQueryFailed[] = "\n对该文件操作失败或它正在使用中!";
const char kTooLong[] = "\n路径太长, 无法处理!";

unsigned char FillOf(int32_t pattern) {
    const unsigned char fills[] = {0, 0x00, 0xFF, 0x55, 0xAA, 0x00};
    return fills[pattern];
}

void CALLBACK CancelTheRun(HWND, UINT, UINT_PTR, DWORD) {
    if (g_progressDlg) g_progressDlg->cancelFlag = 1;
}

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TEST_F(EngineTest, EveryPassCoversEveryByteWithItsPatternAndReachesTheDiskBeforeTheNext) {
    struct Case {
        const char* what;
        bool nsa;
        int32_t pattern, passes;
        size_t size;
        int32_t small1024, small256;
    } cases[] = {
        {"写0000, 2 passes, one 5-byte write each", false, kPattern0000, 2, 5, 0, 0},
        {"写1111, 3 passes of 1 KiB blocks and a rest", false, kPattern1111, 3, 3 * 1024 + 17, 1, 0},
        {"写0101 in 256-byte blocks", false, kPattern0101, 1, 700, 0, 1},
        {"写1010, 2 passes", false, kPattern1010, 2, 4096, 0, 0},
        {"采用 NSA without the NSA option writes 0x00", false, kPatternNsa, 1, 300, 0, 0},
        {"EraserTimes missing: 0 passes write nothing", false, kPattern1111, 0, 10, 0, 0},
        {"NSA on a 5-byte file", true, kPattern1111, 0, 5, 0, 0},
        {"NSA in 1 KiB blocks and a rest", true, kPattern1111, 3, 5000, 1, 0},
        {"NSA on an empty file: no pass, no tail", true, kPattern1111, 3, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::string path = Path(std::string("pass-") + c.what);
        WriteBytes(path, Original(c.size));
        recorder.records.clear();
        view.settings.pattern = c.pattern;
        view.settings.passes = c.passes;
        view.small1024 = c.small1024;
        view.small256 = c.small256;
        EXPECT_TRUE(c.nsa ? view.NsaOverwrite(path, FILE_ATTRIBUTE_NORMAL) : view.CustomOverwrite(path, FILE_ATTRIBUTE_NORMAL, true))
            << c.what;
        size_t passes = c.size == 0 ? 0 : c.nsa ? 12 : c.passes;
        ASSERT_EQ(recorder.records.size(), passes) << c.what;
        for (const PassRecord& r : recorder.records) {
            unsigned char fill = c.nsa ? (r.pass <= 6 ? 0x00 : 0x01) : FillOf(c.pattern);
            EXPECT_TRUE(r.bytes == std::string(c.size, static_cast<char>(fill)))
                << c.what << ": pass " << r.pass << " left bytes that are not " << int(fill);
            EXPECT_GE(r.flushes, 1) << c.what << ": pass " << r.pass << " was not flushed before the next began";
        }
        std::string last = passes == 0 ? Original(c.size)
                           : c.nsa     ? std::string(c.size, '\x01') + "11110110"
                                       : std::string(c.size, static_cast<char>(FillOf(c.pattern)));
        EXPECT_TRUE(ReadBytes(path) == last) << c.what << ": the file does not end as the scheme says";
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST_F(EngineTest, AnErasedFileIsGoneUnderBothItsNames) {
    struct Case {
        const char* what;
        size_t size;
        bool nsa, wipeNames;
        int32_t passes;
    } cases[] = {
        {"an empty file", 0, false, false, 3},
        {"an empty file under NSA", 0, true, true, 0},
        {"0 passes, wipe names on", 10, false, true, 0},
        {"a 5-byte file under NSA", 5, true, false, 0},
        {"3 passes, wipe names on", 100, false, true, 3},
    };
    for (const Case& c : cases) {
        view.options = {c.nsa, c.wipeNames};
        view.settings.passes = c.passes;
        WriteBytes(Path("item.txt"), Original(c.size));
        EXPECT_TRUE(view.EraseFileItem(Path("item.txt"))) << c.what;
        EXPECT_FALSE(Exists(Path("item.txt"))) << c.what;
        EXPECT_FALSE(Exists(Path("00000000"))) << c.what << ": the zero-named file stayed";
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST_F(EngineTest, ANameIsReplacedByAsManyZerosInItsOwnFolder) {
    struct Case {
        const char* name;
        const char* zeroName;
        bool zeroNameTaken;
    } cases[] = {
        {"report.doc", "0000000000", false},
        {"禱告.txt", "00000000", false},  // 禱 ends in the byte 0x5C
        {"淺\\俓.c", "0000", false},      // both end in 0x5C; the folder is 淺
        {"report.doc", "0000000000", true},
    };
    for (const Case& c : cases) {
        RemoveTree(dir);
        MakeFolder(dir);
        MakeFolder(Path("淺"));
        std::string path = Path(c.name), zero = gbk::FolderOf(path) + "\\" + c.zeroName;
        WriteBytes(path, "secret");
        if (c.zeroNameTaken) WriteBytes(zero, "precious");
        // Read-only: the rename goes through, the deletion after it does not, so the new name shows.
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        view.WipeFileName(path);
        if (c.zeroNameTaken) {
            EXPECT_EQ(ReadBytes(path), "secret") << c.name;
            EXPECT_EQ(ReadBytes(zero), "precious") << c.name << ": a file already bearing the zero name was touched";
        } else {
            EXPECT_FALSE(Exists(path)) << c.name;
            EXPECT_EQ(ReadBytes(zero), "secret") << c.name << " was not renamed to " << zero;
        }
    }
}

TEST_F(EngineTest, AFileInUseIsLeftWholeAndOnlyAWriteRefusalStopsTheRun) {
    enum Call { kErase, kProbeFirst, kNoProbe, kNsa };
    struct Case {
        const char* what;
        DWORD share;
        Call call;
        std::vector<std::string> messages;  // after the path
        bool runStops;
    } cases[] = {
        {"held without sharing: the read probe reports it", 0, kErase, {"<sharing>"}, false},
        {"read by a program that shares reading only", FILE_SHARE_READ, kErase, {kSizeQueryFailed, kInUse}, true},
        {"held without sharing, custom overwrite with the probe", 0, kProbeFirst, {kSizeQueryFailed, kInUse}, true},
        {"held without sharing, NSA overwrite", 0, kNsa, {kSizeQueryFailed, kInUse}, true},
        {"open for us but its size cannot be read", FILE_SHARE_READ | FILE_SHARE_WRITE, kNoProbe, {kSizeQueryFailed}, true},
    };
    for (const Case& c : cases) {
        EnsureProgressDialog();
        ui.Clear();
        std::string path = Path("in use.doc");
        WriteBytes(path, Original(100));
        // The item's own attributes are normalised by EraseFileItem and put back on failure.
        if (c.call == kErase) ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        HANDLE holder = ::CreateFileA(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        // Should the engine write anyway, a cancel a moment later keeps it from filling the disk.
        UINT_PTR stop = ::SetTimer(nullptr, 0, 300, CancelTheRun);
        bool erased = c.call == kErase       ? view.EraseFileItem(path)
                      : c.call == kNsa       ? view.NsaOverwrite(path, FILE_ATTRIBUTE_READONLY)
                                             : view.CustomOverwrite(path, FILE_ATTRIBUTE_READONLY, c.call == kProbeFirst);
        ::KillTimer(nullptr, stop);
        ::CloseHandle(holder);
        EXPECT_FALSE(erased) << c.what;
        std::vector<std::string> expected;
        for (const std::string& m : c.messages) {
            expected.push_back(m == "<sharing>" ? CFileException(CFileException::sharingViolation, -1, path).GetErrorMessage()
                                                : path + m);
        }
        EXPECT_EQ(ui.MessageTexts(), expected) << c.what;
        EXPECT_EQ(g_progressDlg == nullptr, c.runStops) << c.what;
        EXPECT_TRUE(FileSize(path) == 100 && ReadBytes(path) == Original(100)) << c.what << ": the file was written";
        EXPECT_TRUE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) << c.what << ": attributes not restored";
    }
}

TEST_F(EngineTest, AConfirmedCancelStopsAtTheNextBlockAndLeavesTheFileUnderItsName) {
    struct Case {
        const char* what;
        bool nsa;
        int cancelAfter;
        char left;
    } cases[] = {
        {"NSA cancelled after pass 3", true, 3, '\x00'},
        {"NSA cancelled after pass 8", true, 8, '\x01'},
        {"写1111 cancelled after pass 1 of 3", false, 1, '\xFF'},
    };
    for (const Case& c : cases) {
        EnsureProgressDialog();
        recorder.records.clear();
        view.options = {c.nsa, true};
        view.settings.pattern = kPattern1111;
        view.settings.passes = 3;
        recorder.then = [&](const std::string&, int pass) {
            if (pass != c.cancelAfter) return;
            g_progressDlg->cancelFlag = 1;
            ::PostMessageA(g_progressDlg->m_hWnd, WM_NULL, 0, 0);
        };
        WriteBytes(Path("big.bin"), Original(5000));
        EXPECT_FALSE(view.EraseFileItem(Path("big.bin"))) << c.what;
        EXPECT_EQ(recorder.records.size(), static_cast<size_t>(c.cancelAfter)) << c.what;
        EXPECT_EQ(g_progressDlg, nullptr) << c.what << ": the run goes on";
        EXPECT_TRUE(ReadBytes(Path("big.bin")) == std::string(5000, c.left)) << c.what;
        EXPECT_FALSE(Exists(Path("0000000"))) << c.what << ": renamed";
    }
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST_F(EngineTest, TheBarsAndThePassTextFollowTheStages) {
    struct Step {
        int totalBar, currentBar;
        const char* passText;
    };
    struct Case {
        const char* what;
        bool nsa;
        uint64_t total, doneBefore;
        int passes, totalRange;
        std::vector<Step> steps;
    } cases[] = {
        {"3 passes over a 1000-byte file", false, 1000, 0, 3, 309, {{103, 103, "1/3"}, {203, 3, "2/3"}, {303, 103, "2/3"}}},
        {"NSA over a 1200-byte file", true, 1200, 0, 0, 103,
         {{11, 51, "1/6"}, {19, 99, "1/6"}, {28, 3, "2/6"}, {36, 51, "2/6"}, {44, 99, "2/6"}, {53, 3, "3/6"},
          {61, 51, "3/6"}, {69, 99, "3/6"}, {78, 3, "4/6"}, {86, 51, "4/6"}, {94, 99, "4/6"}, {103, 3, "5/6"}}},
        {"a run of 6 GiB with 5 GiB done", false, 6ull << 30, 5ull << 30, 1, 103, {{86, 86, "1/1"}}},
    };
    for (const Case& c : cases) {
        recorder.records.clear();
        view.StageCounter = 0;
        view.stageBase = view.delta = 0;
        view.settings.passes = c.passes;
        g_progressTotals.total = c.total;
        g_progressTotals.done = c.doneBefore;
        g_progressDlg->totalBar.SetRange32(0, c.totalRange);
        g_progressDlg->currentBar.SetRange32(0, 103);
        size_t size = c.nsa ? 1200 : 1000;
        WriteBytes(Path("bars"), Original(size));
        EXPECT_TRUE(c.nsa ? view.NsaOverwrite(Path("bars"), 0) : view.CustomOverwrite(Path("bars"), 0, false));
        ASSERT_EQ(recorder.records.size(), c.steps.size()) << c.what;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const PassRecord& r = recorder.records[i];
            EXPECT_EQ(r.totalBar, c.steps[i].totalBar) << c.what << ", pass " << r.pass;
            EXPECT_EQ(r.currentBar, c.steps[i].currentBar) << c.what << ", pass " << r.pass;
            EXPECT_EQ(r.passText, c.steps[i].passText) << c.what << ", pass " << r.pass;
        }
    }
}

TEST_F(EngineTest, SmallVolumesGetSmallBlocksForTheRestOfTheRun) {
    struct Case {
        uint64_t measured;
        int32_t small1024, small256;
        uint32_t block;
    } cases[] = {
        {0, 0, 1, 256},                    // not measured
        {1474560, 0, 1, 256},              // a 1.44 MB floppy
        {0x1FFFFF, 0, 1, 256},
        {0x200000, 0, 0, 0x300000},        // exactly 2 MiB sets nothing
        {0x200001, 1, 0, 1024},
        {0x9FFFFF, 1, 0, 1024},
        {0xA00000, 0, 0, 0x300000},
        {100ull << 30, 0, 0, 0x300000},
    };
    view.settings.bufferBytes = 0x300000;
    for (const Case& c : cases) {
        view.small1024 = view.small256 = 0;
        MarkSmallVolume(c.measured, view.small1024, view.small256);
        EXPECT_EQ(view.small1024, c.small1024) << c.measured;
        EXPECT_EQ(view.small256, c.small256) << c.measured;
        EXPECT_EQ(view.ChooseBlockSize(), c.block) << c.measured;
        // A large disk later in the same run clears nothing.
        view.UpdateSmallVolumeFlags("D:\\later\\item.txt");
        view.UpdateSmallVolumeFlags("D:");
        EXPECT_EQ(view.ChooseBlockSize(), c.block) << c.measured << " then a large disk";
    }
    view.small1024 = 1;
    view.small256 = 1;
    EXPECT_EQ(view.ChooseBlockSize(), 1024u);
}

TEST_F(EngineTest, AFileOverFourGiBIsSizedAndOverwrittenWhole) {
    const uint64_t size = (4ull << 30) + 4097;
    std::string path = Path("huge.bin");
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    ::CloseHandle(file);
    EXPECT_EQ(QueryWipeSize(path), size);

    view.passObserver = nullptr;
    view.settings = {kPattern1111, 1, 0xA00000};
    ASSERT_TRUE(view.CustomOverwrite(path, FILE_ATTRIBUTE_NORMAL, false));
    file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    for (uint64_t offset : {uint64_t(0), (4ull << 30) - 1, 4ull << 30, size - 1}) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        unsigned char byte = 0;
        DWORD read = 0;
        ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        EXPECT_TRUE(::ReadFile(file, &byte, 1, &read, nullptr) && read == 1 && byte == 0xFF) << "byte " << offset;
    }
    LARGE_INTEGER length;
    ::GetFileSizeEx(file, &length);
    ::CloseHandle(file);
    EXPECT_EQ(static_cast<uint64_t>(length.QuadPart), size);
}

TEST_F(EngineTest, APathTooLongForTheSystemIsRefusedNotCutShort) {
    // A file whose path has exactly 259 characters, and beside it one whose path has 260: cutting
    // the second short would name the first.
    std::string folder = Path(std::string(200 - dir.size(), 'p'));
    MakeFolder(folder);
    std::string fits = folder + "\\" + std::string(259 - folder.size() - 1, 'f'), tooLong = fits + "x";
    WriteBytes(fits, "fits");
    std::wstring wide = L"\\\\?\\" + std::wstring(tooLong.begin(), tooLong.end());
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);

    EXPECT_FALSE(view.EraseFileItem(tooLong));
    EXPECT_EQ(ReadBytes(fits), "fits");
    EXPECT_FALSE(view.WipeFolder(folder));
    std::vector<std::string> refused(2, tooLong + kTooLong);
    EXPECT_EQ(ui.MessageTexts(), refused);
    EXPECT_TRUE(::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) << "the long file was erased";
    ::DeleteFileW(wide.c_str());
}
