#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "MoveIn.h"
#include "TempFolder.h"
#include "WineDrives.h"
#include "WineMountManager.h"

// The move into the secret disk on real files: the disk is a host folder given the letter J: (and,
// where room matters, the 64 MB volume as K:), the originals live in the temp folder on C:.

namespace {

const char kDisk[] = "J:\\";

// Answers the questions from a script, records them, and cancels after a number of blocks.
class ScriptedObserver : public MoveObserver {
public:
    std::deque<bool> answers;
    std::vector<std::string> asked;
    int cancelAfterBlocks = -1;
    int blocks = 0;
    uint64_t lastDone = 0, lastTotal = 0;

    bool Cancelled() override { return cancelAfterBlocks >= 0 && blocks >= cancelAfterBlocks; }
    void Progress(const std::string&, uint64_t done, uint64_t total) override {
        ++blocks;
        lastDone = done;
        lastTotal = total;
    }
    bool Replace(const std::string& target, bool merge) override {
        asked.push_back(target + (merge ? " (merge)" : ""));
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The real files, with one fault put where a test wants it: a copy whose writes fail, or whose
// read-back gives one changed byte.
class FaultyFiles : public Win32MoveFiles {
public:
    std::string failWritesTo, corruptReadsOf;

    File CreateWrite(const std::string& path) override {
        File file = Win32MoveFiles::CreateWrite(path);
        if (path == failWritesTo) failing_ = file;
        return file;
    }
    bool Write(File file, const void* data, uint32_t count) override {
        return file != failing_ && Win32MoveFiles::Write(file, data, count);
    }
    File OpenRead(const std::string& path) override {
        File file = Win32MoveFiles::OpenRead(path);
        if (path == corruptReadsOf) corrupt_ = file;
        return file;
    }
    bool Read(File file, void* buffer, uint32_t count, uint32_t& got) override {
        const bool ok = Win32MoveFiles::Read(file, buffer, count, got);
        if (ok && file == corrupt_ && got > 0) static_cast<char*>(buffer)[got / 2] ^= 0x01;
        return ok;
    }
    void Close(File file) override {
        if (file == failing_) failing_ = nullptr;
        if (file == corrupt_) corrupt_ = nullptr;
        Win32MoveFiles::Close(file);
    }

private:
    File failing_ = nullptr, corrupt_ = nullptr;
};

// Bytes that differ from block to block and from file to file.
std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

// Everything below `folder`: path relative to it → content, "<folder>" for a folder.
void Collect(const std::string& folder, const std::string& relative, std::map<std::string, std::string>& out) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name, key = relative + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[key] = "<folder>";
            Collect(path, key + "\\", out);
        } else {
            out[key] = ReadBytes(path);
        }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
}

std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> tree;
    Collect(folder, "", tree);
    return tree;
}

std::string Describe(const std::map<std::string, std::string>& tree) {
    std::string text;
    for (const auto& entry : tree) text += entry.first + " (" + std::to_string(entry.second.size()) + " bytes)\n";
    return text;
}

class MoveInTest : public ::testing::Test {
protected:
    void SetUp() override {
        disk_ = WinePath(MOVE_DISK_DIR);
        TempFolder::RemoveTree(disk_);
        ASSERT_TRUE(::CreateDirectoryA(disk_.c_str(), nullptr));
        ASSERT_TRUE(mountex::DefineUnixDrive('J', MOVE_DISK_DIR)) << "the test disk cannot be given a letter";
    }
    void TearDown() override {
        mountex::RemoveUnixDrive('J');
        TempFolder::RemoveTree(disk_);
    }

    // A folder of originals: 资料 with 禱告.txt (禱 ends in byte 0x5C), a sub-folder with a file
    // of more than two blocks, and an empty folder; and a single file beside it.
    void MakeOriginals() {
        folder = source / "资料";
        file = source / "禱.bin";
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA((folder + "\\子").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA((folder + "\\空").c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(folder + "\\禱告.txt", "祈祷文"));
        ASSERT_TRUE(WriteBytes(folder + "\\子\\深.bin", Pattern(2 * MoveIn::kBlock + 3, 1)));
        ASSERT_TRUE(WriteBytes(file, Pattern(MoveIn::kBlock, 2)));
    }

    MoveOutcome Move(const std::vector<std::string>& items, MoveFiles& files, const std::string& root = kDisk,
                     const std::string& image = std::string()) {
        MoveIn move(root, image, files, observer);
        const MoveOutcome outcome = move.Run(items);
        failedPath = move.FailedPath();
        moved = move.Moved();
        leftovers = move.Leftovers();
        needed = move.Needed();
        free = move.Free();
        return outcome;
    }

    std::string disk_;
    TempFolder source{"move"};
    std::string folder, file;
    ScriptedObserver observer;
    Win32MoveFiles files;
    std::string failedPath;
    std::vector<std::string> moved, leftovers;
    uint64_t needed = 0, free = 0;
};

}  // namespace

// Folders with their trees, GBK names whose trail byte is a backslash, files of several blocks:
// every copy on the disk equals its original, the originals are still there, and an item given
// twice or lying inside a given folder is moved once, with its folder.
TEST_F(MoveInTest, VerifiedCopiesOfTreesAndGbkNames) {
    MakeOriginals();
    const auto originals = Tree(source.Path());
    const std::vector<std::string> items = {folder, folder + "\\禱告.txt", file, folder + "\\"};
    ASSERT_EQ(Move(items, files), MoveOutcome::moved) << failedPath;
    EXPECT_EQ(moved, (std::vector<std::string>{folder, file}));
    EXPECT_EQ(Tree("J:"), originals) << Describe(Tree("J:"));
    EXPECT_EQ(Tree(source.Path()), originals) << "the originals are left for Purgix";
    EXPECT_TRUE(observer.asked.empty());
    const uint64_t bytes = 3 * MoveIn::kBlock + 3 + std::string("祈祷文").size();
    EXPECT_EQ(observer.lastTotal, 2 * bytes) << "every byte is copied and then compared";
    EXPECT_EQ(observer.lastDone, observer.lastTotal);
}

// A failure anywhere, or a cancel, leaves the disk as it was before the run: the copies made are
// removed, a file it replaced comes back, and nothing is reported as moved. The failing file is named.
TEST_F(MoveInTest, AFailureOrCancelLeavesTheDiskAsItWas) {
    MakeOriginals();
    struct Case {
        const char* what;
        std::string failWritesTo, corruptReadsOf;
        bool holdOpen;  // 深.bin held open by another program, without read sharing
        int cancelAfterBlocks;
        MoveOutcome outcome;
        std::string failedPath;
    };
    const std::string deep = "\\资料\\子\\深.bin";
    const Case cases[] = {
        {"an original held open without read sharing", "", "", true, -1, MoveOutcome::readFailed, source.Path() + deep},
        {"a copy that cannot be written", "J:" + deep, "", false, -1, MoveOutcome::writeFailed, "J:" + deep},
        {"a copy that reads back changed", "", "J:" + deep, false, -1, MoveOutcome::compareFailed, "J:" + deep},
        {"cancelled in the middle of a file", "", "", false, 5, MoveOutcome::cancelled, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The disk holds a file the run replaces and a file of its own.
        TempFolder::RemoveTree("J:\\禱.bin");
        ASSERT_TRUE(WriteBytes("J:\\禱.bin", "older copy"));
        ASSERT_TRUE(WriteBytes("J:\\mine.txt", "kept"));
        const auto before = Tree("J:");
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.holdOpen) {
            held = ::CreateFileA((folder + "\\子\\深.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }
        FaultyFiles faulty;
        faulty.failWritesTo = c.failWritesTo;
        faulty.corruptReadsOf = c.corruptReadsOf;
        observer = ScriptedObserver();
        observer.answers = {true};
        observer.cancelAfterBlocks = c.cancelAfterBlocks;
        // The file first, so that its replacement is made before the failure in the folder.
        EXPECT_EQ(Move({file, folder}, faulty), c.outcome);
        if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
        EXPECT_EQ(failedPath, c.failedPath);
        EXPECT_TRUE(moved.empty()) << "nothing may go to Purgix";
        EXPECT_TRUE(leftovers.empty());
        EXPECT_EQ(Tree("J:"), before) << Describe(Tree("J:"));
        EXPECT_EQ(observer.asked, std::vector<std::string>{"J:\\禱.bin"});
    }
}

// Whatever cannot be moved is refused by name before the first byte is copied and before any
// question: the disk stays untouched.
TEST_F(MoveInTest, RefusalsComeBeforeAnythingIsCopied) {
    MakeOriginals();
    ASSERT_TRUE(mountex::DefineUnixDrive('K', SMALL_VOLUME)) << "the 64 MB test volume cannot be given a letter";
    // 100 MB that takes no room on C: until it is written: more than the 64 MB volume has free.
    const std::string large = source / "大.bin";
    {
        HANDLE handle = ::CreateFileA(large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        LONG high = 0;
        ::SetFilePointer(handle, 100 << 20, &high, FILE_BEGIN);
        ASSERT_TRUE(::SetEndOfFile(handle));
        ::CloseHandle(handle);
    }
    ASSERT_TRUE(::CreateDirectoryA((source / "另").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(source / "另\\禱.bin", "same name"));
    ASSERT_TRUE(WriteBytes("J:\\disk.txt", "on the disk"));
    const std::string image = folder + "\\子\\深.bin";
    const std::string longPath = source.Path() + "\\" + std::string(259 - source.Path().size(), 'a');
    struct Case {
        const char* what;
        std::vector<std::string> items;
        std::string root;
        MoveOutcome outcome;
        std::string failedPath;
    };
    const Case cases[] = {
        {"a path of 260 characters", {file, longPath}, kDisk, MoveOutcome::pathTooLong, longPath},
        {"an item on the disk itself", {file, "j:\\disk.txt"}, kDisk, MoveOutcome::onSecretDisk, "j:\\disk.txt"},
        {"the disk's image", {file, image}, kDisk, MoveOutcome::isDiskImage, image},
        {"a folder holding the image", {file, folder}, kDisk, MoveOutcome::isDiskImage, folder},
        {"a whole drive", {"D:\\"}, kDisk, MoveOutcome::driveRoot, "D:\\"},
        {"two items of one name", {file, source / "另\\禱.bin"}, kDisk, MoveOutcome::sameName, source / "另\\禱.bin"},
        {"an item that is not there", {file, source / "无.txt"}, kDisk, MoveOutcome::missing, source / "无.txt"},
        {"more than the disk's free room", {file, large}, "K:\\", MoveOutcome::noRoom, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        observer = ScriptedObserver();
        EXPECT_EQ(Move(c.items, files, c.root, image), c.outcome);
        EXPECT_EQ(failedPath, c.failedPath);
        EXPECT_TRUE(moved.empty());
        EXPECT_EQ(observer.blocks, 0) << "nothing may be copied";
        EXPECT_TRUE(observer.asked.empty());
        EXPECT_EQ(Tree("J:"), (std::map<std::string, std::string>{{"disk.txt", "on the disk"}}));
        EXPECT_EQ(::GetFileAttributesA("K:\\大.bin"), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(::GetFileAttributesA("K:\\禱.bin"), INVALID_FILE_ATTRIBUTES);
    }
    // The room asked for: every file rounded up to whole 4 KiB units, against what K: has free.
    EXPECT_EQ(needed, MoveIn::kBlock + (100u << 20));
    EXPECT_GT(free, 0u);
    EXPECT_LE(free, 64u << 20);
    mountex::RemoveUnixDrive('K');
}

// A name already on the disk is asked about: a file is replaced or skipped, a folder takes the
// moved files (replacing same-named ones, keeping the others) or is skipped. A skipped item is not
// reported as moved, so its original is not handed over.
TEST_F(MoveInTest, ANameOnTheDiskIsReplacedMergedOrSkipped) {
    MakeOriginals();
    struct Case {
        const char* what;
        bool answer;
        std::map<std::string, std::string> after;  // the disk's files that the case looks at
        std::vector<std::string> moved;
    };
    const std::string prayer = "祈祷文", deep = Pattern(2 * MoveIn::kBlock + 3, 1), single = Pattern(MoveIn::kBlock, 2);
    const Case cases[] = {
        {"replaced and merged",
         true,
         {{"禱.bin", single}, {"资料\\禱告.txt", prayer}, {"资料\\旧.txt", "old only"}, {"资料\\子\\深.bin", deep}},
         {file, folder}},
        {"skipped",
         false,
         {{"禱.bin", "older copy"}, {"资料\\禱告.txt", "older prayer"}, {"资料\\旧.txt", "old only"}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder::RemoveTree("J:\\禱.bin");
        TempFolder::RemoveTree("J:\\资料");
        ASSERT_TRUE(WriteBytes("J:\\禱.bin", "older copy"));
        ASSERT_TRUE(::CreateDirectoryA("J:\\资料", nullptr));
        ASSERT_TRUE(WriteBytes("J:\\资料\\禱告.txt", "older prayer"));
        ASSERT_TRUE(WriteBytes("J:\\资料\\旧.txt", "old only"));
        observer = ScriptedObserver();
        observer.answers = {c.answer, c.answer};
        EXPECT_EQ(Move({file, folder}, files), MoveOutcome::moved) << failedPath;
        EXPECT_EQ(observer.asked, (std::vector<std::string>{"J:\\禱.bin", "J:\\资料 (merge)"}));
        EXPECT_EQ(moved, c.moved);
        std::map<std::string, std::string> seen;
        for (const auto& entry : Tree("J:"))
            if (entry.second != "<folder>") seen.insert(entry);
        EXPECT_EQ(seen, c.after) << Describe(seen) << "(nothing set aside may stay behind)";
    }
}
