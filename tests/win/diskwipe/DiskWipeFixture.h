#pragma once
// The disk wipe dialog under test: shown modally from a real template, driven from inside its own
// message loop by a script, with the UI seam scripted. The NTFS volumes the fixture scripts mount
// (tests/fixtures/ntfs-wipe-mount.sh) are reached through drive letters defined here.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DiskWipeDialog.h"
#include "HostShell.h"
#include "WineDrives.h"

namespace wipetest {

// The dialog with a script that runs once it is up.
class DrivenDiskWipeDialog : public DiskWipeDialog {
public:
    std::function<void(DrivenDiskWipeDialog&)> script;

    // Selects the items of `drives` (such as "W:") and clicks the list, as the user does.
    bool SelectDrives(const std::vector<std::string>& drives);
    // The drives the list offers, in order.
    std::vector<std::string> ListedDrives();
    void Press(int id) { SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    // Serves messages (the worker's too) until `done` holds or `ms` pass; false on the timeout.
    static bool PumpUntil(const std::function<bool()>& done, DWORD ms);
    // Waits until the worker of the last start has ended, serving messages meanwhile.
    bool WaitForWorker(DWORD ms);

protected:
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// The file's bytes, or a text that names the failure.
std::string FileBytes(const std::string& path);
// The names in `folder` (such as "W:\"), "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder);
uint64_t FreeBytes(const std::string& root);

}  // namespace wipetest
