#pragma once
// What the erase-list tests share: Purgix's frame and view made by the document template, with
// main.ini and ListSave.ini in a fresh temp folder, the scripted UI, and helpers that read the list
// the way a user sees it.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DocTemplate.h"
#include "MainFrame.h"
#include "ScriptedUi.h"
#include "TempFolder.h"
#include "WinApp.h"
#include "WiperDoc.h"
#include "WiperView.h"
#include "resource.h"

namespace list_test {

// main.ini as installed, with the given SaveList line.
std::string MainIni(bool saveList);

class ListTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the document, frame and view (which restores ListSave.ini) as the program does.
    void Open();
    // The texts of every row, each as "name|size|path|type".
    std::vector<std::string> Rows() const;
    // Column `column` of every row, top to bottom.
    std::vector<std::string> Column(int column) const;
    void Select(const std::vector<int>& rows);
    std::string StatusText() const;
    // A file of `size` bytes in the temp folder; returns its path.
    std::string MakeFile(const std::string& name, size_t size);
    std::string MakeFolder(const std::string& name);
    // Sends the command as the menu or toolbar does.
    void Command(UINT id);
    // Removes every queued message: a closed main window asks the message loop to end, and nothing
    // of that may reach the next step.
    static void Drain();

    CWinApp app{"Purgix"};
    ScriptedUi ui;
    TempFolder folder{"list"};
    std::string listSave;
    std::unique_ptr<CSingleDocTemplate> docTemplate;
    CMainFrame* frame = nullptr;
    CWiperView* view = nullptr;
};

// "name|size|path|type" of a row.
std::string Row(const std::string& name, const std::string& size, const std::string& path, const std::string& type);

}  // namespace list_test
