#pragma once
// What the engine tests share: a view with its progress dialog, the scripted UI, a temp folder, byte
// helpers, a count of FlushFileBuffers calls and a recorder of the passes.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "EraseProgressDlg.h"
#include "ScriptedUi.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace engine_test {

void WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes, read through a handle of its own while others may be writing; "<missing>" when
// it cannot be opened.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);
// Removes a tree; links in it are removed as links.
void RemoveTree(const std::string& path);
// `size` bytes that no pass writes (never 0x00, 0x01, 0x55, 0xAA or 0xFF).
std::string Original(size_t size);

// Makes `link` a directory symbolic link to `target`: through the host under Wine (which shows a
// host link as a reparse point), with CreateSymbolicLinkA elsewhere. False when neither works.
bool MakeDirLink(const std::string& target, const std::string& link);
// Removes a link made by MakeDirLink, never its target.
void RemoveDirLink(const std::string& link);

// FlushFileBuffers calls made by this program since it started, counted through its import table.
long FlushCount();

// What the progress dialog and the file showed after each pass.
struct PassRecord {
    std::string path;
    int pass;
    std::string bytes;
    long flushes;  // FlushFileBuffers calls since the previous pass
    int totalBar, currentBar;
    std::string passText;
};

class PassRecorder : public PassObserver {
public:
    void PassWritten(const std::string& path, int pass) override;
    std::vector<PassRecord> records;
    // Runs after each record, for tests that act between passes.
    std::function<void(const std::string& path, int pass)> then;

private:
    long flushes_ = FlushCount();
};

// A view created as the child of a hidden popup, its progress dialog, the scripted UI and a fresh
// folder under the temp folder.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& name) const { return dir + "\\" + name; }
    // A progress dialog for the next step, as a run would have it.
    void EnsureProgressDialog();

    CWinApp app{"Purgix"};
    ScriptedUi ui;
    CWiperView view;
    PassRecorder recorder;
    HWND parent = nullptr;
    std::string dir;
};

}  // namespace engine_test
