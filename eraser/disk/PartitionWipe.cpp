// The partition wipe: the warning dialog, and the part of the disk wipe dialog that empties the
// chosen partitions on the user-interface thread before the free-space worker fills them.
#include <vector>

#include "DiskWipeDialog.h"
#include "DiskWipeText.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kProbeName[] = "Purgixtesttest";
const size_t kMaxPathChars = 259;  // the system's 260-byte path buffers
const COLORREF kWarningColour = RGB(255, 0, 0);
const COLORREF kCheckColour = RGB(69, 69, 222);

// Why the probe file could not be made. Wine reports a medium mounted read-only (EROFS) as access
// denied, never as write protection, so there access denied on a removable medium is taken as the
// write protection it stands for.
DWORD ProbeError() {
    const DWORD error = ::GetLastError();
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const bool wine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    return wine && error == ERROR_ACCESS_DENIED ? ERROR_WRITE_PROTECT : error;
}

}  // namespace

PartitionWipeWarningDialog::PartitionWipeWarningDialog(HWND parent) : CDialog(IDD_PARTITION_WARNING, parent) {}

void PartitionWipeWarningDialog::OnOK() {
    IncludeHardDisks = IsDlgButtonChecked(IDC_INCLUDE_HARD_DISKS) == BST_CHECKED ? 1 : 0;
    EndDialog(IDOK);
}

LRESULT PartitionWipeWarningDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLORSTATIC) {
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        if (id == IDC_WARNING_TEXT || id == IDC_INCLUDE_HARD_DISKS) {
            HDC dc = reinterpret_cast<HDC>(wp);
            ::SetTextColor(dc, id == IDC_WARNING_TEXT ? kWarningColour : kCheckColour);
            ::SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
    }
    return CDialog::WindowProc(msg, wp, lp);
}

void DiskWipeDialog::StartPartitionWipe() {
    auto ask = [this](const char* text, const char* caption, UINT icon) {
        return MessageBox(text, caption, MB_YESNO | icon) == IDYES;
    };
    if (!ask("分区的数据将被擦除,继续吗?", "警告", MB_ICONQUESTION)) return;
    if (!ask("你确定继续吗?", "确定", MB_ICONQUESTION)) return;
    std::shared_ptr<DiskWipeRun> run = Run();
    run->idle = 0;
    DriveList().SetFocus();
    auto backToIdle = [&] {
        run->idle = 1;
        ::ReleaseCapture();
        GetDlgItem(IDOK).EnableWindow(DriveList().GetSelectedCount() > 0);
    };

    std::vector<std::string> drives;
    CListCtrl& list = DriveList();
    for (int item = list.GetNextItem(-1, LVNI_SELECTED); item >= 0; item = list.GetNextItem(item, LVNI_SELECTED)) {
        drives.push_back(DriveOfItemText(list.GetItemText(item, 0)));
    }
    // Every drive is checked before any is touched: with the system drive among them, none is.
    for (const std::string& drive : drives) {
        if (::lstrcmpiA(drive.c_str(), systemDrive.c_str()) == 0) {
            MessageBox("选择的分区含有系统目录,操作取消!!!", std::string(), MB_OK | MB_ICONSTOP);
            backToIdle();
            return;
        }
    }
    abortFlag = 0;
    someNotDeleted = 0;
    CWnd status = GetDlgItem(IDC_PARTITION_STATUS);
    for (const std::string& drive : drives) {
        status.ShowWindow(SW_SHOW);
        partitionDrive = drive;
        EmptyDrive(drive);
        if (abortFlag.exchange(0)) {
            status.ShowWindow(SW_HIDE);
            backToIdle();
            return;
        }
        status.ShowWindow(SW_HIDE);
    }
    if (someNotDeleted.load() &&
        MessageBox("分区中的一些文件未被删除,继续吗?", "警告", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        backToIdle();
        return;
    }
    StartWorker();
}

void DiskWipeDialog::EmptyDrive(const std::string& drive) {
    const std::string root = drive + "\\";
    const UINT type = ::GetDriveTypeA(root.c_str());
    if (type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK) {
        const std::string probe = root + kProbeName;
        HANDLE file = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = ProbeError();
            std::string text = error == ERROR_WRITE_PROTECT ? AfxLoadString(IDS_WRITE_PROTECTED)
                               : error == ERROR_NOT_READY   ? std::string("该设备未准备好")
                                                            : std::string("该设备出现错误");
            abortFlag = 1;
            MessageBox(text, std::string(), MB_OK);
            return;
        }
        ::CloseHandle(file);
        ::DeleteFileA(probe.c_str());
    }
    SetDlgItemText(IDC_PARTITION_STATUS, drive + "文件删除中...请等待.");
    GetDlgItem(IDC_PARTITION_STATUS).UpdateWindow();
    DeleteTree(root);
}

void DiskWipeDialog::DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + name;
        if (path.size() > kMaxPathChars) {
            // Out of reach of the system's path buffers: left alone, and the user asked about it.
            someNotDeleted = 1;
            continue;
        }
        const DWORD attributes = found.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or mount point is removed as a link; what it points to is never entered.
            if (!IsLink(attributes)) DeleteTree(path + "\\");
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::RemoveDirectoryA(path.c_str())) someNotDeleted = 1;
        } else {
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::DeleteFileA(path.c_str())) someNotDeleted = 1;
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}
