#pragma once
// What the privacy-cleaner tests share beyond the engine tests' helpers (EngineFixture.h): dialogs
// driven from their own message loop, a look at each file as it is deleted, and screenshots of the
// dialogs for a person to look at.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Dialog.h"
#include "DrivenDialog.h"
#include "TempFolder.h"

namespace privacy_test {

inline void Press(CWnd& dialog, int id) { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// A file as it was at the moment the program deleted it.
struct Deletion {
    std::string path;
    std::string bytes;
    long flushesBefore;  // FlushFileBuffers calls made by the program before this deletion
};
// Every DeleteFileA of this program from now until the object goes, with the file's bytes then.
class DeletionWatch {
public:
    DeletionWatch();
    ~DeletionWatch();
    const std::vector<Deletion>& Deletions() const;
};

bool Exists(const std::string& path);

// Saves the screen as out/screenshots/NAME.png when the harness names the out folder, after the
// window has been painted. The harness's Xvfb screen shows the windows without a window manager.
void Screenshot(HWND window, const std::string& name);

}  // namespace privacy_test
