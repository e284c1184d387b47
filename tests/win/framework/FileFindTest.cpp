#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "FileFind.h"

namespace {

struct Entry {
    std::string path;
    bool directory;
    bool dots;

    bool operator==(const Entry& other) const {
        return path == other.path && directory == other.directory && dots == other.dots;
    }
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << entry.path << (entry.directory ? " <dir>" : "") << (entry.dots ? " <dots>" : "");
}

// A folder named 淺 (GBK 9C 5C: it ends in the byte of '\') under a fresh temp folder, holding
//   禱告.txt (3 bytes)  淺水.dat  普通.txt  俓\ (a folder)  俓\內.txt
// Removed at the end of the test.
class ChineseTree {
public:
    ChineseTree() {
        static int serial = 0;
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        base_ = std::string(temp) + "purgix-find-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        folder = base_ + "\\淺";
        ::CreateDirectoryA(base_.c_str(), nullptr);
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ::CreateDirectoryA((folder + "\\俓").c_str(), nullptr);
        Write(folder + "\\禱告.txt", "abc");
        for (const char* name : {"淺水.dat", "普通.txt", "俓\\內.txt"}) Write(folder + "\\" + name, "");
    }
    ~ChineseTree() {
        for (const std::string& file : files_) {
            ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(file.c_str());
        }
        ::RemoveDirectoryA((folder + "\\俓").c_str());
        ::RemoveDirectoryA(folder.c_str());
        ::RemoveDirectoryA(base_.c_str());
    }

    // Creates `path` holding `bytes`; removed with the tree.
    void Write(const std::string& path, const std::string& bytes) {
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
        if (std::find(files_.begin(), files_.end(), path) == files_.end()) files_.push_back(path);
    }

    std::string folder;

private:
    std::string base_;
    std::vector<std::string> files_;
};

// Every entry the finder reports for `pattern`, by name, checking on the way that each FindNextFile
// but the last said more would follow.
std::map<std::string, Entry> FindAll(CFileFind& finder, const std::string& pattern) {
    std::map<std::string, Entry> found;
    bool more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        found[finder.GetFileName()] = {finder.GetFilePath(), finder.IsDirectory(), finder.IsDots()};
    }
    return found;
}

}  // namespace

TEST(FileFind, ListsChineseNamesWithTheirFullPathsAndSkipsNothing) {
    ChineseTree tree;
    const std::string& dir = tree.folder;
    const struct {
        const char* what;
        std::string pattern;
        std::string root;
        std::map<std::string, Entry> expected;
    } cases[] = {
        {"everything",
         dir + "\\*.*",
         dir + "\\",
         {{".", {dir + "\\.", true, true}},
          {"..", {dir + "\\..", true, true}},
          {"禱告.txt", {dir + "\\禱告.txt", false, false}},
          {"淺水.dat", {dir + "\\淺水.dat", false, false}},
          {"普通.txt", {dir + "\\普通.txt", false, false}},
          {"俓", {dir + "\\俓", true, false}}}},
        {"wildcard right after a name ending in 0x5C", dir + "\\禱*", dir + "\\",
         {{"禱告.txt", {dir + "\\禱告.txt", false, false}}}},
        {"one file by its name", dir + "\\禱告.txt", dir + "\\",
         {{"禱告.txt", {dir + "\\禱告.txt", false, false}}}},
        {"a folder by its name", dir + "\\俓", dir + "\\", {{"俓", {dir + "\\俓", true, false}}}},
        {"by extension",
         dir + "\\*.txt",
         dir + "\\",
         {{"禱告.txt", {dir + "\\禱告.txt", false, false}}, {"普通.txt", {dir + "\\普通.txt", false, false}}}},
        {"inside a subfolder",
         dir + "\\俓\\*.*",
         dir + "\\俓\\",
         {{".", {dir + "\\俓\\.", true, true}},
          {"..", {dir + "\\俓\\..", true, true}},
          {"內.txt", {dir + "\\俓\\內.txt", false, false}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + c.pattern);
        CFileFind finder;
        EXPECT_EQ(FindAll(finder, c.pattern), c.expected);
        EXPECT_EQ(finder.GetRoot(), c.root);
    }
}

TEST(FileFind, ARelativePatternIsRootedAtTheCurrentFolder) {
    ChineseTree tree;
    char saved[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(::SetCurrentDirectoryA((tree.folder + "\\俓").c_str()));
    CFileFind finder;
    std::map<std::string, Entry> found = FindAll(finder, "*.*");
    EXPECT_EQ(finder.GetRoot(), tree.folder + "\\俓\\");
    ::SetCurrentDirectoryA(saved);
    ASSERT_EQ(found.count("內.txt"), 1u);
    EXPECT_EQ(found["內.txt"].path, tree.folder + "\\俓\\內.txt");
}

TEST(FileFind, NothingFoundLeavesTheReasonInGetLastError) {
    ChineseTree tree;
    const struct {
        std::string pattern;
        DWORD error;
    } cases[] = {
        {tree.folder + "\\无此文件*", ERROR_FILE_NOT_FOUND},
        {tree.folder + "\\无此目录\\*.*", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        CFileFind finder;
        EXPECT_FALSE(finder.FindFile(c.pattern)) << c.pattern;
        EXPECT_EQ(::GetLastError(), c.error) << c.pattern;
        EXPECT_FALSE(finder.FindNextFile()) << "no entry after a failed search";
    }
}

TEST(FileFind, ReportsAttributesSizeAndTimeOfTheCurrentEntry) {
    ChineseTree tree;
    const struct {
        const char* name;
        DWORD attributes;
        bool readOnly, hidden, system;
    } cases[] = {
        {"只读.txt", FILE_ATTRIBUTE_READONLY, true, false, false},
        {"隐藏.txt", FILE_ATTRIBUTE_HIDDEN, false, true, false},
        {"系统.txt", FILE_ATTRIBUTE_SYSTEM, false, false, true},
        {"全部.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true, true, true},
        {"普通.txt", FILE_ATTRIBUTE_NORMAL, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = tree.folder + "\\" + c.name;
        tree.Write(path, "");
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), c.attributes));
        CFileFind finder;
        ASSERT_TRUE(finder.FindFile(path));
        EXPECT_FALSE(finder.FindNextFile());
        EXPECT_EQ(finder.IsReadOnly(), c.readOnly);
        EXPECT_EQ(finder.IsHidden(), c.hidden);
        EXPECT_EQ(finder.IsSystem(), c.system);
        EXPECT_FALSE(finder.IsDirectory());
        EXPECT_EQ(finder.MatchesMask(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), c.hidden || c.system);
    }

    // A sparse file of 5 GiB, its time set to 2026-12-06 23:25:14 UTC.
    const std::string big = tree.folder + "\\大文件.img";
    tree.Write(big, "");
    HANDLE file = ::CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER fiveGiB;
    fiveGiB.QuadPart = 5ll << 30;
    SYSTEMTIME when = {2026, 12, 0, 6, 23, 25, 14, 0};
    FILETIME written;
    ::SystemTimeToFileTime(&when, &written);
    ASSERT_TRUE(::SetFilePointerEx(file, fiveGiB, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &written));
    ::CloseHandle(file);

    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(big));
    finder.FindNextFile();
    EXPECT_EQ(finder.GetLength(), 5ull << 30);
    FILETIME reported = {};
    ASSERT_TRUE(finder.GetLastWriteTime(&reported));
    EXPECT_EQ(::CompareFileTime(&reported, &written), 0);
    EXPECT_FALSE(finder.IsReadOnly());

    ASSERT_TRUE(finder.FindFile(tree.folder + "\\禱告.txt"));
    finder.FindNextFile();
    EXPECT_EQ(finder.GetLength(), 3u) << "a new search starts afresh";
}
