#include <set>

#include "EngineFixture.h"
#include "GbkText.h"

using namespace engine_test;

namespace {

const char kNotRemoved[] = "删除文件夹失败!";

// Makes the files and folders of `tree` ("name" a file of `name`'s bytes, "name\" a folder) under `root`.
void MakeTree(const std::string& root, const std::vector<std::string>& tree) {
    MakeFolder(root);
    for (const std::string& entry : tree) {
        if (gbk::EndsWithBackslash(entry)) {
            MakeFolder(root + "\\" + entry.substr(0, entry.size() - 1));
        } else {
            WriteBytes(root + "\\" + entry, gbk::NameOf(entry) == "empty.txt" ? std::string() : entry);
        }
    }
}

}  // namespace

TEST_F(EngineTest, AFolderIsWipedAndRemovedExceptRecyclerAndSystemVolumeInformationAtAnyDepth) {
    struct Case {
        const char* what;
        std::vector<std::string> tree;
        std::vector<std::string> kept;    // files that must stay with their bytes
        std::set<std::string> overwritten;  // the files whose passes were seen
        bool removed;
    } cases[] = {
        {"a plain tree", {"x.txt", "deep\\", "deep\\y.txt", "empty.txt"}, {}, {"x.txt", "deep\\y.txt"}, true},
        {"RECYCLER at the top",
         {"a.txt", "empty.txt", "sub\\", "sub\\c.txt", "RECYCLER\\", "RECYCLER\\r.txt"},
         {"RECYCLER\\r.txt"}, {"a.txt", "sub\\c.txt"}, false},
        {"System Volume Information one level down",
         {"sub\\", "sub\\d.txt", "sub\\System Volume Information\\", "sub\\System Volume Information\\s.txt"},
         {"sub\\System Volume Information\\s.txt"}, {"sub\\d.txt"}, false},
        {"names differing in case are wiped", {"recycler\\", "recycler\\q.txt"}, {}, {"recycler\\q.txt"}, true},
    };
    view.options.wipeNames = true;  // never applies inside a folder
    view.settings.pattern = kPattern1111;
    for (const Case& c : cases) {
        ui.Clear();
        recorder.records.clear();
        std::string top = Path("top");
        MakeTree(top, c.tree);
        EXPECT_EQ(view.WipeFolder(top), c.removed) << c.what;
        EXPECT_EQ(ui.MessageTexts(), c.removed ? std::vector<std::string>() : std::vector<std::string>{kNotRemoved}) << c.what;
        EXPECT_EQ(Exists(top), !c.removed) << c.what;
        for (const std::string& kept : c.kept) EXPECT_EQ(ReadBytes(top + "\\" + kept), kept) << c.what;
        std::set<std::string> seen;
        for (const PassRecord& r : recorder.records) seen.insert(r.path.substr(top.size() + 1));
        EXPECT_EQ(seen, c.overwritten) << c.what;
        RemoveTree(top);
    }
    EXPECT_NE(g_progressDlg, nullptr) << "a folder that stays must not stop the run";
}

TEST_F(EngineTest, FilesInsideAWipedFolderKeepTheirNames) {
    view.options.wipeNames = true;
    MakeTree(Path("top"), {"keep.txt"});
    // Read-only after its pass: its deletion fails and shows under which name the file was left.
    recorder.then = [](const std::string& path, int) { ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); };
    EXPECT_FALSE(view.WipeFolder(Path("top")));
    EXPECT_EQ(ReadBytes(Path("top\\keep.txt")), std::string(8, '\0'));
    EXPECT_FALSE(Exists(Path("top\\00000000")));
}

TEST_F(EngineTest, ADriveIsEmptiedExceptItsRecyclerAndItsRootIsNeverReported) {
    MakeTree("D:", {"purgix-drive\\", "purgix-drive\\f.txt", "purgix-drive\\sub\\", "purgix-drive\\sub\\g.txt", "top.txt",
                    "RECYCLER\\", "RECYCLER\\r.txt", "System Volume Information\\", "System Volume Information\\s.txt"});
    view.options.nsa = true;
    EXPECT_TRUE(view.WipeDrive("D:"));
    EXPECT_TRUE(ui.MessageTexts().empty());
    EXPECT_FALSE(Exists("D:\\purgix-drive"));
    EXPECT_FALSE(Exists("D:\\top.txt"));
    EXPECT_EQ(ReadBytes("D:\\RECYCLER\\r.txt"), "RECYCLER\\r.txt");
    EXPECT_EQ(ReadBytes("D:\\System Volume Information\\s.txt"), "System Volume Information\\s.txt");
    EXPECT_EQ(recorder.records.size(), 3u * 12);
    RemoveTree("D:\\RECYCLER");
    RemoveTree("D:\\System Volume Information");
}

TEST_F(EngineTest, ALinkMetWhileWipingIsNeverEnteredAndItsTargetStays) {
    MakeTree(Path("target"), {"keep.txt"});
    MakeFolder(Path("empty target"));
    MakeTree(Path("top"), {"a.txt"});
    // Removed first: a link whose target is gone no longer shows under Wine and would keep its folder.
    struct Unlink {
        std::string dir;
        ~Unlink() {
            for (const char* link : {"\\top\\link", "\\top\\empty link", "\\item link"}) RemoveDirLink(dir + link);
        }
    } unlink{dir};
    if (!MakeDirLink(Path("target"), Path("top\\link")) || !MakeDirLink(Path("empty target"), Path("top\\empty link")) ||
        !MakeDirLink(Path("target"), Path("item link"))) {
        GTEST_SKIP() << "this system cannot make directory links here";
    }
    ASSERT_TRUE(IsLink(::GetFileAttributesA(Path("top\\link").c_str()))) << "the system does not show links as such";

    bool topRemoved = view.WipeFolder(Path("top"));
    bool itemRemoved = view.WipeFolder(Path("item link"));
    EXPECT_EQ(ReadBytes(Path("target\\keep.txt")), "keep.txt");
    EXPECT_TRUE(Exists(Path("empty target")));
    EXPECT_FALSE(Exists(Path("top\\a.txt")));
    EXPECT_EQ(recorder.records.size(), 1u) << "only a.txt is overwritten";
    // Where links can be removed as themselves they go; where they cannot (Wine), the folder stays
    // and says so.
    std::vector<std::string> expected;
    if (!topRemoved) expected.push_back(kNotRemoved);
    if (!itemRemoved) expected.push_back(kNotRemoved);
    EXPECT_EQ(ui.MessageTexts(), expected);
    EXPECT_EQ(Exists(Path("top\\link")), !topRemoved);
    EXPECT_EQ(Exists(Path("item link")), !itemRemoved);
}

TEST_F(EngineTest, AFileInUseInsideAFolderIsReportedOnceAndStopsTheWipe) {
    // Another program reads it and lets nobody write: the size query says so, the overwrite that
    // follows adds why it stops, and nothing of the file or its folder goes.
    for (bool nsa : {false, true}) {
        ui.Clear();
        std::string top = Path("busy");
        MakeTree(top, {"held.txt"});
        view.options.nsa = nsa;
        HANDLE holder = ::CreateFileA((top + "\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(view.WipeFolder(top)) << nsa;
        ::CloseHandle(holder);
        EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{top + "\\held.txt\n对该文件操作失败或它正在使用中!",
                                                               top + "\\held.txt\n文件正在使用中,请先关闭后再试!"}))
            << nsa;
        EXPECT_EQ(ReadBytes(top + "\\held.txt"), "held.txt") << nsa;
        RemoveTree(top);
        EnsureProgressDialog();
    }
}
