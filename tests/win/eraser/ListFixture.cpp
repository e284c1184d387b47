#include "ListFixture.h"

#include "Controls.h"
#include "IniTestFiles.h"

namespace list_test {

std::string MainIni(bool saveList) {
    return initest::WithLine(initest::SampleIni(), "SaveList=1", saveList ? "SaveList=1" : "SaveList=0");
}

std::string Row(const std::string& name, const std::string& size, const std::string& path, const std::string& type) {
    return name + "|" + size + "|" + path + "|" + type;
}

void ListTest::SetUp() {
    listSave = folder / "ListSave.ini";
    ASSERT_TRUE(WriteBytes(folder / "main.ini", MainIni(true)));
    ASSERT_TRUE(WriteBytes(listSave, ""));
    const std::string iniPath = folder / "main.ini", listPath = listSave;
    docTemplate = std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, [] { return std::make_unique<CWiperDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
        [iniPath, listPath] {
            auto made = std::make_unique<CWiperView>();
            made->iniPath = iniPath;
            made->listSavePath = listPath;
            return made;
        });
}

void ListTest::TearDown() {
    app.m_pMainWnd = nullptr;
    if (frame && frame->m_hWnd) frame->DestroyWindow();
    docTemplate.reset();
    Drain();
}

void ListTest::Drain() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void ListTest::Open() {
    ASSERT_NE(docTemplate->OpenDocumentFile(std::string()), nullptr);
    frame = static_cast<CMainFrame*>(docTemplate->GetFrame());
    view = static_cast<CWiperView*>(docTemplate->GetView());
}

std::vector<std::string> ListTest::Rows() const {
    std::vector<std::string> rows;
    for (int row = 0; row < view->GetItemCount(); ++row) {
        CListCtrl& list = view->List();
        rows.push_back(Row(list.GetItemText(row, 0), list.GetItemText(row, 1), list.GetItemText(row, 2),
                           list.GetItemText(row, 3)));
    }
    return rows;
}

std::vector<std::string> ListTest::Column(int column) const {
    std::vector<std::string> texts;
    for (int row = 0; row < view->GetItemCount(); ++row) texts.push_back(view->List().GetItemText(row, column));
    return texts;
}

void ListTest::Select(const std::vector<int>& rows) {
    view->List().SetItemState(-1, 0, LVIS_SELECTED);
    for (int row : rows) view->List().SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
}

std::string ListTest::StatusText() const { return frame->StatusBar().GetText(0); }

std::string ListTest::MakeFile(const std::string& name, size_t size) {
    const std::string path = folder / name;
    EXPECT_TRUE(WriteBytes(path, std::string(size, 'x'))) << path;
    return path;
}

std::string ListTest::MakeFolder(const std::string& name) {
    const std::string path = folder / name;
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void ListTest::Command(UINT id) { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }

}  // namespace list_test
