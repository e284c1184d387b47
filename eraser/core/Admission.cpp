// Admission to the erase list: what the engine refuses to touch (CD-ROMs, write-protected media, the
// system's own drive and folder) and what would be erased twice (duplicates, nested items).
#include <windows.h>

#include <cstring>
#include <string>

#include "File.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const size_t kMaxPathChars = 259;
const char kProbeName[] = "Purgixtesttest";

void Refuse(const std::string& text) { AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

// False when the medium refuses a new file: the probe is made (in the drive's current folder, as
// a relative name) and removed again.
bool ProbeWritable(const std::string& path) {
    std::string probe = path.substr(0, 2) + kProbeName;
    CFile file;
    if (!file.Open(probe, CFile::modeCreate | CFile::modeWrite)) return false;
    file.Abort();
    ::DeleteFileA(probe.c_str());
    return true;
}

bool IsRemovableOrRam(UINT type) { return type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK; }

std::string RootOf(const std::string& path) { return path.substr(0, 1) + ":\\"; }

// A list item's path, or the path being added, with one backslash after it (a drive root already
// has its own): "D:\a" and "D:\ab" then no longer contain each other.
std::string WithSlash(const std::string& path) { return path.size() == 3 ? path : path + "\\"; }

bool Nested(const std::string& a, const std::string& b) {
    return b.find(a) != std::string::npos || a.find(b) != std::string::npos;
}

bool PathFits(const std::string& path) {
    if (path.size() <= kMaxPathChars) return true;
    Refuse(path + "\n路径太长, 无法处理!");
    return false;
}

}  // namespace

bool CWiperView::CheckDriveAdmissible(const std::string& path) {
    if (path.size() < 2) return false;
    UINT type = ::GetDriveTypeA(RootOf(path).c_str());
    if (type == DRIVE_CDROM) {
        Refuse("光盘无法擦除");
        return false;
    }
    if (IsRemovableOrRam(type) && !ProbeWritable(path)) {
        Refuse(AfxLoadString(IDS_WRITE_PROTECTED));
        writeProtect = 1;
        return false;
    }
    if (path.size() == 3) {
        char system[MAX_PATH] = {};
        ::GetSystemDirectoryA(system, sizeof system);
        if (_strnicmp(path.c_str(), system, 2) == 0) {
            Refuse("\n磁盘包含操作系统, 不进行删除!");
            return false;
        }
        const std::string drive = path.substr(0, 2);
        for (int row = 0; row < GetItemCount(); ++row) {
            if (ItemPath(row) == drive) {
                Refuse(drive + "\n磁盘已存在!");
                return false;
            }
        }
    }
    return true;
}

bool CWiperView::CheckFolderAdmissible(const std::string& path) {
    if (!PathFits(path)) return false;
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof windows);
    if (path == windows) {
        Refuse("\n不能删除,或操作系统无法工作!");
        return false;
    }
    const std::string withSlash = WithSlash(path);
    for (int row = 0; row < GetItemCount(); ++row) {
        const std::string listed = ItemPath(row);
        if (listed == path && path.size() != 3) {
            Refuse(path + " \n文件夹已存在!");
            return false;
        }
        if (Nested(withSlash, listed + "\\")) {
            Refuse(path + " \n非法文件夹或文件!");
            return false;
        }
    }
    return true;
}

bool CWiperView::CheckFileAdmissible(const std::string& path) {
    if (!PathFits(path) || path.size() < 2) return false;
    const std::string withSlash = WithSlash(path);
    if (IsRemovableOrRam(::GetDriveTypeA(RootOf(path).c_str())) && !ProbeWritable(path)) {
        Refuse(AfxLoadString(IDS_WRITE_PROTECTED));
        return false;
    }
    for (int row = 0; row < GetItemCount(); ++row) {
        const std::string listed = ItemPath(row) + "\\";
        // An exact duplicate is the caller's to refuse.
        if (listed != withSlash && Nested(withSlash, listed)) {
            Refuse(path + " \n非法文件夹或文件!");
            return false;
        }
    }
    return true;
}
