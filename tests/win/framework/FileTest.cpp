#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "File.h"
#include "FileException.h"
#include "ScriptedUi.h"
#include "StdioFile.h"
#include "TempFolder.h"

namespace {

std::string Hex(const std::string& bytes) {
    std::string text;
    char digits[4];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", c);
        text += digits;
    }
    return text;
}

// Runs `body` once with the runtime's default file mode set to text and once set to binary, so a
// stream that leans on the default shows up under one of them.
void UnderEachDefaultMode(const std::function<void(const char*)>& body) {
    int saved = _fmode;
    _fmode = _O_TEXT;
    body("default mode text");
    _fmode = _O_BINARY;
    body("default mode binary");
    _fmode = saved;
}

std::unique_ptr<CFile> MakeFile(bool stdio) {
    if (stdio) return std::unique_ptr<CFile>(new CStdioFile);
    return std::unique_ptr<CFile>(new CFile);
}

}  // namespace

TEST(FileOpen, EachFailureIsReportedWithItsOwnCauseAndTheFileName) {
    TempFolder folder;
    WriteBytes(folder / "locked.ini", "wipe1=1\r\n");
    ::CreateDirectoryA((folder / "子目录").c_str(), nullptr);
    // Another program holds the file without sharing it.
    HANDLE lock = ::CreateFileA((folder / "locked.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    struct Case {
        const char* situation;
        std::string path;
        UINT flags;
        int cause;
        LONG osError;
        const char* userSees;  // a phrase of the message that tells the user what happened
    };
    const Case cases[] = {
        {"missing file", folder / "禱告.txt", CFile::modeRead, CFileException::fileNotFound, ERROR_FILE_NOT_FOUND,
         "找不到"},
        {"missing folder", folder / "无此目录\\main.ini", CFile::modeReadWrite, CFileException::badPath,
         ERROR_PATH_NOT_FOUND, "路径"},
        {"file held by another program", folder / "locked.ini", CFile::modeRead | CFile::shareDenyNone,
         CFileException::sharingViolation, ERROR_SHARING_VIOLATION, "另一个程序"},
        {"folder opened as a file", folder / "子目录", CFile::modeRead, CFileException::accessDenied,
         ERROR_ACCESS_DENIED, "拒绝访问"},
        {"file on a write-protected disk", "F:\\readme.txt", CFile::modeReadWrite, CFileException::accessDenied,
         ERROR_ACCESS_DENIED, "拒绝访问"},
    };

    for (bool stdio : {false, true}) {
        ScriptedUi ui;
        // The text of each cause, with the file name taken out.
        std::map<int, std::set<std::string>> shapes;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(stdio ? "CStdioFile, " : "CFile, ") + c.situation);
            std::unique_ptr<CFile> file = MakeFile(stdio);
            CFileException error;
            ASSERT_FALSE(file->Open(c.path, c.flags, &error));
            EXPECT_EQ(file->m_hFile, CFile::hFileNull) << "a failed open leaves the object closed";
            EXPECT_EQ(error.m_cause, c.cause);
            EXPECT_EQ(error.m_lOsError, c.osError);
            EXPECT_EQ(error.m_strFileName, c.path);

            ui.Clear();
            error.ReportError();
            ASSERT_EQ(ui.MessageTexts().size(), 1u) << "one file-error box";
            const ScriptedUi::Call& box = ui.Calls().back();
            EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
            EXPECT_NE(box.text.find(c.userSees), std::string::npos) << box.text;
            size_t name = box.text.find(c.path);
            ASSERT_NE(name, std::string::npos) << "the box names the file: " << box.text;
            shapes[c.cause].insert(std::string(box.text).replace(name, c.path.size(), "<file>"));
        }
        std::set<std::string> distinct;
        for (const auto& entry : shapes) {
            EXPECT_EQ(entry.second.size(), 1u) << "one text for cause " << entry.first;
            distinct.insert(entry.second.begin(), entry.second.end());
        }
        EXPECT_EQ(distinct.size(), 4u) << "missing file, missing folder, sharing and access read differently";
    }
    ::CloseHandle(lock);
}

TEST(FileException, EveryCauseHasItsOwnTextWithTheFileNameInIt) {
    const std::string name = "C:\\t\\禱告.txt";
    std::set<std::string> texts;
    for (int cause = CFileException::none; cause <= CFileException::endOfFile; ++cause) {
        CFileException error(cause, -1, name);
        std::string text = error.GetErrorMessage();
        EXPECT_NE(text.find(name), std::string::npos) << "cause " << cause << ": " << text;
        EXPECT_EQ(text.find("%s"), std::string::npos) << "cause " << cause << ": " << text;
        EXPECT_STREQ(error.what(), text.c_str()) << "what() tells the same as the box";
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), static_cast<size_t>(CFileException::endOfFile + 1)) << "no two causes share a text";
    EXPECT_EQ(CFileException(CFileException::diskFull).GetErrorMessage().find("%s"), std::string::npos)
        << "an exception without a file name still reads as a sentence";
}

// The system errors that tests cannot provoke on the test drives but that callers act on: the
// free-space wipe tells a full disk from other write failures.
TEST(FileException, SystemErrorsWithoutAFixtureStillMapToTheirCause) {
    const struct {
        DWORD osError;
        int cause;
    } cases[] = {
        {ERROR_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
        {ERROR_WRITE_PROTECT, CFileException::accessDenied},
        {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
        {ERROR_CRC, CFileException::hardIO},
        {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
        {ERROR_NOT_ENOUGH_MEMORY, CFileException::genericException},
    };
    for (const auto& c : cases) EXPECT_EQ(CFileException::OsErrorToCause(c.osError), c.cause) << "error " << c.osError;
}

TEST(File, BytesWrittenReadBackWithLengthAndPositionKept) {
    TempFolder folder;
    const std::string path = folder / "淺.dat";
    CFile file;
    char saved[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ::SetCurrentDirectoryA(folder.Path().c_str());
    bool opened = file.Open("淺.dat", CFile::modeCreate | CFile::modeReadWrite);
    ::SetCurrentDirectoryA(saved);
    ASSERT_TRUE(opened);
    EXPECT_EQ(file.GetFilePath(), path) << "the full path, whatever the current folder becomes";
    EXPECT_EQ(file.GetFileName(), "淺.dat");

    file.Write("0123456789", 10);
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.GetPosition(), 10u);
    file.SeekToBegin();
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(file.Seek(-2, CFile::end), 8u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 2u) << "a read stops at the end of the file";
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Seek(3, CFile::begin), 3u);
    EXPECT_EQ(file.Seek(2, CFile::current), 5u);
    file.SetLength(3);
    EXPECT_EQ(file.GetLength(), 3u);
    EXPECT_EQ(file.SeekToEnd(), 3u);
    file.Flush();
    file.Close();
    EXPECT_EQ(file.m_hFile, CFile::hFileNull);
    EXPECT_EQ(ReadBytes(path), "012");
}

TEST(File, CreateAndTruncateFlagsDecideWhatIsLeftOfAnOldFile) {
    const struct {
        const char* what;
        bool existsBefore;
        UINT flags;
        bool opens;
        const char* contentAfterWritingXY;
    } cases[] = {
        {"open existing", true, CFile::modeWrite, true, "XYcdef"},
        {"create over existing truncates", true, CFile::modeCreate | CFile::modeWrite, true, "XY"},
        {"create without truncation keeps", true, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite, true,
         "XYcdef"},
        {"open missing fails", false, CFile::modeWrite, false, ""},
        {"create missing", false, CFile::modeCreate | CFile::modeWrite, true, "XY"},
        {"create without truncation, missing", false, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite,
         true, "XY"},
    };
    for (bool stdio : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(stdio ? "CStdioFile, " : "CFile, ") + c.what);
            TempFolder folder;
            const std::string path = folder / "main.ini";
            if (c.existsBefore) WriteBytes(path, "abcdef");
            std::unique_ptr<CFile> file = MakeFile(stdio);
            CFileException error;
            ASSERT_EQ(file->Open(path, c.flags | CFile::typeBinary, &error), c.opens);
            if (!c.opens) {
                EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
                EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was created";
                continue;
            }
            file->Write("XY", 2);
            file->Close();
            EXPECT_EQ(ReadBytes(path), c.contentAfterWritingXY);
        }
    }
}

TEST(File, ShareModesDecideWhoElseMayOpenTheFile) {
    const struct {
        const char* what;
        UINT first;
        UINT second;
        bool secondOpens;
    } cases[] = {
        {"both share everything", CFile::modeRead | CFile::shareDenyNone, CFile::modeReadWrite | CFile::shareDenyNone,
         true},
        {"compatibility mode is exclusive", CFile::modeRead, CFile::modeRead | CFile::shareDenyNone, false},
        {"exclusive", CFile::modeRead | CFile::shareExclusive, CFile::modeRead | CFile::shareDenyNone, false},
        {"deny write lets readers in", CFile::modeRead | CFile::shareDenyWrite, CFile::modeRead | CFile::shareDenyNone,
         true},
        {"deny write keeps writers out", CFile::modeRead | CFile::shareDenyWrite,
         CFile::modeWrite | CFile::shareDenyNone, false},
        {"deny read keeps readers out", CFile::modeWrite | CFile::shareDenyRead,
         CFile::modeRead | CFile::shareDenyNone, false},
        {"deny read lets writers in", CFile::modeWrite | CFile::shareDenyRead, CFile::modeWrite | CFile::shareDenyNone,
         true},
        {"a reader that denies writing cannot join a writer", CFile::modeWrite | CFile::shareDenyNone,
         CFile::modeRead | CFile::shareDenyWrite, false},
    };
    TempFolder folder;
    const std::string path = folder / "main.ini";
    WriteBytes(path, "wipe1=1\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFile first;
        ASSERT_TRUE(first.Open(path, c.first));
        CStdioFile second;
        CFileException error;
        EXPECT_EQ(second.Open(path, c.second, &error), c.secondOpens);
        if (!c.secondOpens) {
            EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
        }
    }
}

TEST(File, FailuresWhileOpenThrowAFileExceptionNamingTheFile) {
    TempFolder folder;
    const std::string path = folder / "log.txt";
    WriteBytes(path, "[日志操作]");
    const struct {
        const char* what;
        UINT flags;
        std::function<void(CFile&)> action;
        int cause;
    } cases[] = {
        {"reading a file opened for writing", CFile::modeWrite,
         [](CFile& f) {
             char buffer[4];
             f.Read(buffer, sizeof buffer);
         },
         CFileException::accessDenied},
        {"writing a file opened for reading", CFile::modeRead, [](CFile& f) { f.Write("x", 1); },
         CFileException::accessDenied},
        {"seeking before the start", CFile::modeRead, [](CFile& f) { f.Seek(-1, CFile::begin); },
         CFileException::badSeek},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFile file;
        ASSERT_TRUE(file.Open(path, c.flags));
        try {
            c.action(file);
            ADD_FAILURE() << "no exception";
        } catch (const CFileException& error) {
            EXPECT_EQ(error.m_cause, c.cause);
            EXPECT_EQ(error.m_strFileName, path);
        }
    }

    // The window dispatch stops exceptions as std::exception; the file error is one of them.
    CStdioFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeRead));
    try {
        file.Seek(-100, CFile::current);
        ADD_FAILURE() << "no exception";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
}

TEST(File, LengthsAndPositionsBeyondFourGiB) {
    TempFolder folder;
    const std::string path = folder / "big.img";
    const uint64_t fiveGiB = 5ull << 30;
    {
        CFile file;
        ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeReadWrite));
        file.SetLength(fiveGiB);  // sparse: the bytes read as zeros and take no room
        EXPECT_EQ(file.GetLength(), fiveGiB);
        EXPECT_EQ(file.Seek(fiveGiB - 1, CFile::begin), fiveGiB - 1);
        file.Write("Z", 1);
        EXPECT_EQ(file.GetPosition(), fiveGiB);
        EXPECT_EQ(file.GetLength(), fiveGiB);
    }
    CStdioFile stream;
    ASSERT_TRUE(stream.Open(path, CFile::modeRead | CFile::typeBinary));
    EXPECT_EQ(stream.GetLength(), fiveGiB);
    EXPECT_EQ(stream.Seek(-1, CFile::end), fiveGiB - 1);
    char last = 0;
    EXPECT_EQ(stream.Read(&last, 1), 1u);
    EXPECT_EQ(last, 'Z');
    EXPECT_EQ(stream.Seek(-static_cast<int64_t>(fiveGiB) + 4, CFile::current), 4u);
    stream.Close();
}

TEST(StdioFile, TextModeWritesEachLineFeedAsCrLf) {
    const struct {
        const char* written;
        UINT type;
        std::string bytes;
    } cases[] = {
        {"x\r\n", CFile::typeText, "x\r\r\n"},
        {"x\r\n", 0, "x\r\r\n"},  // text is the default
        {"a\nb\n", CFile::typeText, "a\r\nb\r\n"},
        {"禱告\n", CFile::typeText, "禱告\r\n"},  // the trail byte 0x5C is left alone
        {"x\r\n", CFile::typeBinary, "x\r\n"},
        {"a\nb", CFile::typeBinary, "a\nb"},
    };
    UnderEachDefaultMode([&](const char* mode) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(mode) + ", writing " + Hex(c.written) +
                         (c.type == CFile::typeBinary ? "in binary" : "in text"));
            TempFolder folder;
            const std::string path = folder / "ListSave.ini";
            CStdioFile file;
            ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite | c.type));
            file.WriteString(c.written);
            file.Close();
            EXPECT_EQ(Hex(ReadBytes(path)), Hex(c.bytes));
        }
    });
}

TEST(StdioFile, ReadStringReturnsEachLineWithoutItsLineFeed) {
    const struct {
        std::string bytes;
        UINT type;
        std::vector<std::string> lines;
    } cases[] = {
        {"x\r\r\n", CFile::typeText, {"x\r"}},  // how a saved list reads back
        {"a\r\nb\r\n", CFile::typeText, {"a", "b"}},
        {"a\r\nlast", CFile::typeText, {"a", "last"}},
        {"a\n\nb\n", CFile::typeText, {"a", "", "b"}},
        {"", CFile::typeText, {}},
        {"\r\n", 0, {""}},
        {"禱告\r\n淺", 0, {"禱告", "淺"}},
        {"a\r\nb", CFile::typeBinary, {"a\r", "b"}},
    };
    UnderEachDefaultMode([&](const char* mode) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(mode) + ", reading " + Hex(c.bytes) +
                         (c.type == CFile::typeBinary ? "in binary" : "in text"));
            TempFolder folder;
            const std::string path = folder / "ListSave.ini";
            WriteBytes(path, c.bytes);
            CStdioFile file;
            ASSERT_TRUE(file.Open(path, CFile::modeRead | c.type));
            std::vector<std::string> lines;
            std::string line;
            while (file.ReadString(line)) lines.push_back(line);
            EXPECT_EQ(lines, c.lines);
            EXPECT_FALSE(file.ReadString(line)) << "the end stays the end";
            EXPECT_EQ(line, "");
        }
    });
}

TEST(StdioFile, ALineFoundByReadingIsOverwrittenInPlaceAfterSeekingBack) {
    TempFolder folder;
    const std::string path = folder / "main.ini";
    WriteBytes(path, "wipe1=1\r\nlog=0\r\nSaveList=1\r\n");
    CStdioFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite | CFile::shareDenyNone | CFile::typeText));
    std::string line;
    while (file.ReadString(line) && line != "log=0") {
    }
    ASSERT_EQ(line, "log=0");
    EXPECT_EQ(file.GetPosition(), 16u) << "positions count the CR LF as two bytes";
    // Back over the five characters and their CR LF.
    EXPECT_EQ(file.Seek(-7, CFile::current), 9u);
    file.WriteString("log=1");
    file.Close();
    EXPECT_EQ(ReadBytes(path), "wipe1=1\r\nlog=1\r\nSaveList=1\r\n");
}

TEST(StdioFile, LengthAndPositionIncludeWhatIsStillBuffered) {
    TempFolder folder;
    const std::string path = folder / "log.txt";
    CStdioFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
    EXPECT_EQ(file.GetLength(), 0u);
    file.WriteString("[日志操作]\nabc");
    EXPECT_EQ(file.GetPosition(), 15u);
    file.SeekToBegin();
    EXPECT_EQ(file.GetLength(), 15u) << "ten bytes of text, a CR LF and three more";
    std::string line;
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "[日志操作]") << "finding the length leaves the position alone";
    file.Close();

    // Cutting the file while written bytes still wait in the stream.
    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite));
    file.SeekToEnd();
    file.WriteString("\nmore");
    file.SetLength(5);
    EXPECT_EQ(file.GetLength(), 5u);
    file.WriteString("x");
    file.Close();
    EXPECT_EQ(ReadBytes(path), "[日志x");
}
