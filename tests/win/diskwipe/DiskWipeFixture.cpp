#include "DiskWipeFixture.h"

#include <commctrl.h>

#include "DiskWipeText.h"
#include "FreeSpaceFill.h"
#include "TempFolder.h"

namespace wipetest {

namespace {
const UINT kRunScript = WM_APP + 7;
}

bool DrivenDiskWipeDialog::OnInitDialog() {
    bool result = DiskWipeDialog::OnInitDialog();
    PostMessage(kRunScript);
    return result;
}

LRESULT DrivenDiskWipeDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRunScript) {
        if (script) script(*this);
        return 0;
    }
    return DiskWipeDialog::WindowProc(msg, wp, lp);
}

std::vector<std::string> DrivenDiskWipeDialog::ListedDrives() {
    std::vector<std::string> drives;
    for (int item = 0; item < DriveList().GetItemCount(); ++item) drives.push_back(DriveOfItemText(DriveList().GetItemText(item, 0)));
    return drives;
}

bool DrivenDiskWipeDialog::SelectDrives(const std::vector<std::string>& drives) {
    CListCtrl& list = DriveList();
    list.SetItemState(-1, 0, LVIS_SELECTED);
    size_t found = 0;
    for (int item = 0; item < list.GetItemCount(); ++item) {
        const std::string drive = DriveOfItemText(list.GetItemText(item, 0));
        for (const std::string& wanted : drives) {
            if (::lstrcmpiA(drive.c_str(), wanted.c_str()) == 0) {
                list.SetItemState(item, LVIS_SELECTED, LVIS_SELECTED);
                ++found;
            }
        }
    }
    NMHDR click = {list.m_hWnd, static_cast<UINT_PTR>(list.GetDlgCtrlID()), static_cast<UINT>(NM_CLICK)};
    SendMessage(WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
    return found == drives.size();
}

bool DrivenDiskWipeDialog::PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD deadline = ::GetTickCount() + ms;
    while (!done()) {
        if (static_cast<LONG>(::GetTickCount() - deadline) > 0) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

bool DrivenDiskWipeDialog::WaitForWorker(DWORD ms) {
    HANDLE worker = WorkerHandle();
    if (!worker) return false;
    return PumpUntil([worker] { return ::WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, ms);
}

std::string FileBytes(const std::string& path) { return ReadBytes(path); }

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

uint64_t FreeBytes(const std::string& root) {
    uint64_t total, free, callerFree;
    QueryDiskSpace(root, total, free, callerFree);
    return free;
}

}  // namespace wipetest
