// The erase list as the user fills it: the saved list, the file dialog, the folder browser, drops,
// sorting and the enabling of the menus.
#include <shlobj.h>

#include "ListFixture.h"

namespace list_test {
namespace {

const char kCrCrLf[] = "\r\r\n";

// An HDROP as Explorer hands it over: the paths one after another, each ended by a NUL, then a NUL.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::string names;
    for (const std::string& path : paths) names += path + '\0';
    names += '\0';
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    DROPFILES* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Whether the item of command `id` in `menu` can be chosen.
bool Enabled(HMENU menu, UINT id) { return !(::GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)); }

}  // namespace

TEST_F(ListTest, TheSavedListIsRestoredAsFarAsItStillExistsAndSavedAgainWithCrCrLf) {
    const std::string file = MakeFile("a.txt", 5);
    const std::string gone = folder / "gone.txt";
    const std::string longer = MakeFolder("dir1");
    MakeFolder("dir");
    const std::string chinese = MakeFolder("禱告");
    // What SaveList writes, plus a removed file, drives that are no fixed disks, and one line that
    // another writer ended with LF alone (taken whole, never cut to the folder "dir").
    ASSERT_TRUE(WriteBytes(listSave, file + kCrCrLf + "D:" + kCrCrLf + gone + kCrCrLf + "E:" + kCrCrLf + "G:" +
                                         kCrCrLf + chinese + kCrCrLf + longer + "\n"));
    Open();

    EXPECT_EQ(Rows(), (std::vector<std::string>{Row("a.txt", "5 Byte", file, "txt"), Row("D:", "", "D:", "DISK"),
                                                Row("禱告", "", chinese, "DIR"), Row("dir1", "", longer, "DIR")}))
        << "a folder on a fixed disk stays a folder; a removed file and non-fixed drives are dropped";
    EXPECT_EQ(StatusText(), "文件数: 4个");
    EXPECT_TRUE(ui.MessageTexts().empty());

    // The four columns of the details view.
    HWND header = reinterpret_cast<HWND>(view->List().SendMessage(LVM_GETHEADER));
    ASSERT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 4);
    const char* headings[] = {"文件名", "大小", "路径", "类型"};
    const int widths[] = {160, 80, 140, 50};
    for (int column = 0; column < 4; ++column) {
        char text[32] = {};
        LVCOLUMNA info = {};
        info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        view->List().SendMessage(LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(text, headings[column]);
        EXPECT_EQ(info.cx, widths[column]) << headings[column];
        EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, column == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT) << headings[column];
    }

    // Closing writes every row's path and CR CR LF, in list order.
    Command(ID_CLOSE);
    EXPECT_FALSE(::IsWindow(frame->m_hWnd)) << "the close command closes the main window";
    EXPECT_EQ(ReadBytes(listSave), file + kCrCrLf + "D:" + kCrCrLf + chinese + kCrCrLf + longer + kCrCrLf);
}

TEST_F(ListTest, WithoutSaveListOrWithoutTheFileTheListStartsAndEndsEmpty) {
    struct Case {
        const char* what;
        bool saveList;
        bool fileThere;
        size_t messages;
    } cases[] = {
        {"SaveList=0", false, true, 0},
        {"no ListSave.ini", true, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = MakeFile("b.txt", 3);
        ASSERT_TRUE(WriteBytes(folder / "main.ini", MainIni(c.saveList)));
        ASSERT_TRUE(WriteBytes(listSave, file + kCrCrLf));
        if (!c.fileThere) ::DeleteFileA(listSave.c_str());
        ui.Clear();
        Open();
        EXPECT_EQ(view->GetItemCount(), c.fileThere ? 1 : 0);
        EXPECT_EQ(ui.MessageTexts().size(), c.messages) << "a missing file is reported with the file-error box";
        frame->SendMessage(WM_CLOSE);
        EXPECT_EQ(ReadBytes(listSave), c.saveList && c.fileThere ? file + kCrCrLf : std::string());
        Drain();
    }
}

TEST_F(ListTest, ChosenFilesBecomeRowsWithTheirSizeTextOnceEach) {
    Open();
    const std::string small = MakeFile("c", 1023), middle = MakeFile("a.doc", 1536), large = MakeFile("B.TXT", 3 << 20);
    const std::string chinese = MakeFile("禱告.txt", 0);
    ui.AnswerOpenFile({folder.Path(), "c", "a.doc", "B.TXT", "禱告.txt"});
    Command(ID_ADD_FILES);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].caption, "All Files(*.*) ") << "the filter's name";
    EXPECT_EQ(ui.Calls()[0].flags & (OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS),
              static_cast<UINT>(OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS));
    EXPECT_EQ(Rows(), (std::vector<std::string>{Row("c", "1023 Byte", small, ""), Row("a.doc", "1 KB", middle, "doc"),
                                                Row("B.TXT", "3 MB", large, "TXT"),
                                                Row("禱告.txt", "0 Byte", chinese, "txt")}));
    EXPECT_EQ(StatusText(), "文件数: 4个");

    // The same file once more: said once, not added.
    ui.Clear();
    ui.AnswerOpenFile({middle});
    Command(ID_ADD_FILES);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{middle + "\n文件已存在!"});
    EXPECT_EQ(view->GetItemCount(), 4);

    // More names than the 10,240-byte buffer holds.
    ui.Clear();
    std::vector<std::string> many{folder.Path()};
    for (int i = 0; i < 1200; ++i) many.push_back("file" + std::to_string(i) + ".dat");
    ui.AnswerOpenFile(many);
    Command(ID_ADD_FILES);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"打开的文件数目太多!"});
    EXPECT_EQ(view->GetItemCount(), 4);
}

TEST_F(ListTest, AWriteProtectedDiskIsSaidOnceAndNothingMoreComesFromTheSameAddition) {
    Open();
    const std::string first = MakeFile("first.txt", 10), second = MakeFile("second.txt", 20);
    const std::string sub = MakeFolder("sub");
    struct Case {
        const char* what;
        std::vector<std::string> dropped;
        std::vector<std::string> added;  // paths, in order
    } cases[] = {
        {"the floppy's root, then its file, then a good file", {"F:\\", "F:\\readme.txt", first}, {}},
        {"a good file, the floppy's file, another good file", {first, "F:\\readme.txt", second}, {first}},
        {"a folder and a file from a writable disk", {sub, first}, {sub, first}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view->List().DeleteAllItems();
        ui.Clear();
        view->SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(c.dropped)));
        EXPECT_EQ(Column(2), c.added);
        const bool protectedDisk = c.dropped[1].compare(0, 3, "F:\\") == 0;
        EXPECT_EQ(ui.MessageTexts(), protectedDisk ? std::vector<std::string>{"该设备写保护"} : std::vector<std::string>{});
    }

    // The file dialog: one message for all files of the floppy, and the next addition is not held
    // back by what happened before.
    view->List().DeleteAllItems();
    ui.Clear();
    ui.AnswerOpenFile({"F:\\", "readme.txt", "readme.txt"});
    Command(ID_ADD_FILES);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"该设备写保护"});
    ui.AnswerOpenFile({second});
    Command(ID_ADD_FILES);
    EXPECT_EQ(Column(2), std::vector<std::string>{second});
}

TEST_F(ListTest, AChosenFolderOrDriveBecomesItsRow) {
    Open();
    const std::string chinese = MakeFolder("禱告");
    struct Case {
        std::string answer;
        std::string row;  // empty: nothing added
    } cases[] = {
        {chinese, Row("禱告", "", chinese, "DIR")},
        {"D:\\", Row("D:", "", "D:", "DISK")},
        {folder / "missing", ""},
        {"G:\\", ""},  // a CD-ROM, refused by the drive check
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        view->List().DeleteAllItems();
        ui.Clear();
        ui.AnswerFolder(c.answer);
        Command(ID_ADD_FOLDER);
        ASSERT_FALSE(ui.Calls().empty());
        EXPECT_EQ(ui.Calls()[0].text, "选择文件夹:");
        EXPECT_EQ(Rows(), c.row.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.row});
    }
}

TEST_F(ListTest, AHeaderClickSortsItsColumnAndASecondClickTurnsTheOrderRound) {
    const std::string small = MakeFile("c", 1023), middle = MakeFile("a.doc", 1536), large = MakeFile("B.TXT", 3 << 20);
    const std::string sub = MakeFolder("zeta");
    ASSERT_TRUE(WriteBytes(listSave, large + kCrCrLf + sub + kCrCrLf + small + kCrCrLf + "D:" + kCrCrLf + middle + kCrCrLf));
    Open();
    auto click = [&](int column) {
        NMLISTVIEW notice = {};
        notice.hdr.hwndFrom = view->List().m_hWnd;
        notice.hdr.idFrom = IDC_ERASE_LIST;
        notice.hdr.code = LVN_COLUMNCLICK;
        notice.iItem = -1;
        notice.iSubItem = column;
        view->SendMessage(WM_NOTIFY, IDC_ERASE_LIST, reinterpret_cast<LPARAM>(&notice));
        return Column(column == 1 ? 2 : column);
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(click(0), (Texts{"D:", "zeta", "a.doc", "B.TXT", "c"})) << "folders and drives first, names without case";
    EXPECT_EQ(click(0), (Texts{"c", "B.TXT", "a.doc", "zeta", "D:"}));
    Texts bySize = click(1);
    EXPECT_EQ(Texts(bySize.begin() + 2, bySize.end()), (Texts{small, middle, large})) << "Byte, then KB, then MB";
    bySize = click(1);
    EXPECT_EQ(Texts(bySize.begin(), bySize.begin() + 3), (Texts{large, middle, small}));
    EXPECT_EQ(click(2), (Texts{middle, large, small, sub, "D:"})) << "full paths without case";
    EXPECT_EQ(click(3), (Texts{"", "DISK", "doc", "TXT", "DIR"})) << "DIR after all others";
    EXPECT_EQ(click(3), (Texts{"DIR", "TXT", "doc", "DISK", ""}));
    EXPECT_EQ(click(0), (Texts{"D:", "zeta", "a.doc", "B.TXT", "c"})) << "another column starts ascending";
}

TEST_F(ListTest, MenusOfferOnlyWhatFitsTheSelection) {
    ASSERT_TRUE(WriteBytes(listSave, "D:" + std::string(kCrCrLf) + MakeFile("x.txt", 1) + kCrCrLf + MakeFile("y.txt", 2) +
                                         kCrCrLf));
    Open();
    HMENU context = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_LIST_CONTEXT));
    HMENU popup = ::GetSubMenu(context, 0);
    HMENU operations = ::GetSubMenu(frame->GetMenu(), 0), erase = ::GetSubMenu(frame->GetMenu(), 2);
    struct Case {
        const char* what;
        std::vector<int> selected;  // -1: the select-all command
        bool remove, open, eraseAll, selectAll, properties;
    } cases[] = {
        {"nothing selected", {}, false, false, true, true, false},
        {"one row", {1}, true, true, true, true, true},
        {"two rows", {0, 2}, true, false, true, true, true},
        {"select all", {-1}, true, false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.selected == std::vector<int>{-1}) {
            Select({});
            Command(ID_SELECT_ALL);
            EXPECT_EQ(view->List().GetSelectedCount(), 3);
            EXPECT_EQ(view->List().GetSelectionMark(), 0);
        } else {
            Select(c.selected);
        }
        view->PrepareContextMenu(popup);
        EXPECT_EQ(Enabled(popup, ID_REMOVE_SELECTED), c.remove);
        EXPECT_EQ(Enabled(popup, ID_OPEN_ITEM), c.open);
        EXPECT_EQ(Enabled(popup, ID_ERASE_ALL), c.eraseAll);
        EXPECT_EQ(Enabled(popup, ID_SELECT_ALL), c.selectAll);
        EXPECT_EQ(Enabled(popup, ID_PROPERTIES), c.properties);
        // The main menu's entries as it opens.
        frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(operations), 0);
        frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(erase), 2);
        EXPECT_EQ(Enabled(operations, ID_REMOVE_SELECTED), c.remove);
        EXPECT_EQ(Enabled(operations, ID_SELECT_ALL), c.selectAll);
        EXPECT_EQ(Enabled(erase, ID_ERASE_SELECTED), c.remove);
    }
    // Removing the selection leaves an empty list: nothing to erase or select.
    Command(ID_REMOVE_SELECTED);
    EXPECT_EQ(view->GetItemCount(), 0);
    EXPECT_EQ(StatusText(), "文件数: 0个");
    view->PrepareContextMenu(popup);
    EXPECT_FALSE(Enabled(popup, ID_ERASE_ALL));
    EXPECT_FALSE(Enabled(popup, ID_SELECT_ALL));
    ::DestroyMenu(context);
}

}  // namespace list_test
