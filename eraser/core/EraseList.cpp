// The rows of the erase list: adding files, folders and drives (file dialog, folder browser, drag
// and drop), ListSave.ini, and sorting.
#include <windows.h>
#include <cderr.h>
#include <shellapi.h>

#include <cstdint>
#include <vector>

#include "GbkText.h"
#include "MainIni.h"
#include "StdioFile.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const size_t kMaxPathChars = 259;
const DWORD kNameBufferBytes = 10240;
// "All Files(*.*) | *.*|" with its bars made into the separators the dialog wants.
const char kFilter[] = "All Files(*.*) \0*.*\0";

void Warn(const std::string& text) { AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

// The extension of a file name without its dot; empty when it has none.
std::string ExtensionOf(const std::string& name) {
    size_t dot = name.rfind('.');  // '.' is never the trail byte of a GBK character
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// The path as the system resolves it ("C:\a\..\b.txt" gives "C:\b.txt").
std::string FullName(const std::string& path) {
    DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::string full(needed, '\0');
    DWORD length = ::GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    return full;
}

// The files an open-file dialog chose: one full path, or a folder followed by names, each ended
// by a NUL and the whole by a second NUL.
std::vector<std::string> ChosenPaths(const std::vector<char>& buffer) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at < buffer.size() && buffer[at] != '\0') {
        size_t end = at;
        while (end < buffer.size() && buffer[end] != '\0') ++end;
        parts.emplace_back(&buffer[at], end - at);
        at = end + 1;
    }
    if (parts.size() <= 1) return parts;
    std::vector<std::string> paths;
    const std::string folder = gbk::WithBackslash(parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
    return paths;
}

uint64_t SizeOf(const WIN32_FIND_DATAA& entry) {
    return (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

bool IsDriveText(const std::string& text) {
    return text.size() == 2 && text[1] == ':' && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

struct SortContext {
    std::vector<RowTexts> rows;  // the rows' texts as they were when the sort began, by index
    int column;
    bool ascending;
};

int CALLBACK CompareByColumn(LPARAM first, LPARAM second, LPARAM data) {
    const SortContext& context = *reinterpret_cast<const SortContext*>(data);
    int order = CompareRows(context.rows[static_cast<size_t>(first)], context.rows[static_cast<size_t>(second)],
                            context.column);
    return context.ascending ? order : -order;
}

}  // namespace

int CWiperView::InsertRow(const RowTexts& texts, int image) {
    int row = list_.InsertItem(GetItemCount(), texts[0], image);
    if (row < 0) return row;
    for (int sub = 1; sub < 4; ++sub) list_.SetItemText(row, sub, texts[static_cast<size_t>(sub)]);
    return row;
}

int CWiperView::IconOf(const std::string& path) const {
    SHFILEINFOA info = {};
    const std::string target = path.size() == 2 ? path + "\\" : path;
    if (!::SHGetFileInfoA(target.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return -1;
    return info.iIcon;
}

bool CWiperView::IsListed(const std::string& path) const {
    for (int row = 0; row < GetItemCount(); ++row) {
        if (ItemPath(row) == path) return true;
    }
    return false;
}

CWiperView::AddResult CWiperView::AddFileItem(const std::string& path) {
    if (!CheckDriveAdmissible(path)) {
        const bool writeProtected = writeProtect != 0;
        writeProtect = 0;
        return writeProtected ? AddResult::writeProtected : AddResult::refused;
    }
    return AddAdmittedFile(path);
}

CWiperView::AddResult CWiperView::AddAdmittedFile(const std::string& chosen) {
    const std::string path = FullName(chosen);
    if (!CheckFileAdmissible(path)) return AddResult::refused;
    const uint64_t size = QueryWipeSize(path);
    if (size == UINT64_MAX || !CanOpenForRead(path)) return AddResult::refused;
    if (IsListed(path)) {
        Warn(path + "\n文件已存在!");
        return AddResult::refused;
    }
    const std::string name = gbk::NameOf(path);
    InsertRow({name, SizeText(size), path, ExtensionOf(name)}, IconOf(path));
    RefreshFileCount();
    return AddResult::added;
}

CWiperView::AddResult CWiperView::AddFolderItem(const std::string& chosen) {
    std::string path = chosen;
    if (path.size() > 3 && gbk::EndsWithBackslash(path)) path.pop_back();
    if (!CheckDriveAdmissible(path)) {
        const bool writeProtected = writeProtect != 0;
        writeProtect = 0;
        return writeProtected ? AddResult::writeProtected : AddResult::refused;
    }
    if (!CheckFolderAdmissible(path)) return AddResult::refused;
    const bool root = path.size() == 3;
    if (root) {
        if (::GetDriveTypeA(path.c_str()) == DRIVE_NO_ROOT_DIR) return AddResult::refused;
        const std::string drive = path.substr(0, 2);
        InsertRow({drive, std::string(), drive, "DISK"}, IconOf(path));
    } else {
        WIN32_FIND_DATAA entry;
        HANDLE search = ::FindFirstFileA(path.c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return AddResult::refused;
        ::FindClose(search);
        InsertRow({gbk::NameOf(path), std::string(), path, "DIR"}, IconOf(path));
    }
    RefreshFileCount();
    return AddResult::added;
}

void CWiperView::AddFilesCommand() {
    // One byte beyond the dialog's buffer stays a terminator whatever the dialog writes.
    std::vector<char> names(kNameBufferBytes + 1, '\0');
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ::GetAncestor(m_hWnd, GA_ROOT);
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = names.data();
    ofn.nMaxFile = kNameBufferBytes;
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS;
    if (!Ui().ChooseFiles(ofn)) {
        if (Ui().ChooseFilesError() == FNERR_BUFFERTOOSMALL) Warn(AfxLoadString(IDS_TOO_MANY_FILES));
        return;
    }
    const std::vector<std::string> paths = ChosenPaths(names);
    if (paths.empty()) return;
    // The dialog chooses within one folder, so one drive check speaks for every file. A refusal
    // has been told once; the flag it may have set is not carried into the next addition.
    if (!CheckDriveAdmissible(paths.front())) {
        writeProtect = 0;
        return;
    }
    for (const std::string& path : paths) AddAdmittedFile(path);
}

void CWiperView::AddFolderCommand() {
    std::string folder;
    if (!Ui().BrowseForFolder(::GetAncestor(m_hWnd, GA_ROOT), "选择文件夹:", folder)) return;
    AddFolderItem(folder);
}

void CWiperView::DropFiles(HDROP drop) {
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Each path is taken whole, however long; the admission checks refuse one that is too long.
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        std::string path(length + 1, '\0');
        path.resize(::DragQueryFileA(drop, i, &path[0], length + 1));
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        const bool folder =
            path.size() == 3 || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
        const AddResult result = folder ? AddFolderItem(path) : AddFileItem(path);
        // The medium is write-protected: what else the drop brings from it would be refused too.
        if (result == AddResult::writeProtected) break;
    }
    ::DragFinish(drop);
}

void CWiperView::SaveList() {
    bool save = false;
    ScanIniLines(iniPath, kIniReadOnly, [&save](const std::string& line) {
        save = line == "SaveList=1";
        return !save;
    });
    CStdioFile file;
    CFileException error;
    if (!file.Open(listSavePath, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite, &error)) {
        error.ReportError();
        return;
    }
    try {
        // Text mode turns the "\n" into CR LF: each entry ends in CR CR LF, which the reader expects.
        if (save) {
            for (int row = 0; row < GetItemCount(); ++row) file.WriteString(ItemPath(row) + "\r\n");
        }
        file.Close();
    } catch (const CFileException& failure) {
        file.Abort();
        failure.ReportError();
    }
}

void CWiperView::RestoreList() {
    CStdioFile file;
    CFileException error;
    if (!file.Open(listSavePath, CFile::modeReadWrite | CFile::shareDenyWrite, &error)) {
        error.ReportError();
        return;
    }
    const int before = GetItemCount();
    try {
        std::string entry;
        while (file.ReadString(entry)) {
            // The text stream leaves the first CR of CR CR LF at the end of the line. A line without
            // it did not come from SaveList and is taken as it stands, never cut short.
            if (!entry.empty() && entry.back() == '\r') entry.pop_back();
            if (entry.empty() || entry.size() > kMaxPathChars || entry.find_first_of("*?") != std::string::npos) continue;
            // Only a letter and a colon names a drive: a folder on a fixed disk is never taken for
            // the whole disk.
            if (IsDriveText(entry)) {
                if (::GetDriveTypeA((entry + "\\").c_str()) == DRIVE_FIXED) {
                    InsertRow({entry, std::string(), entry, "DISK"}, IconOf(entry));
                }
                continue;
            }
            WIN32_FIND_DATAA found;
            HANDLE search = ::FindFirstFileA(entry.c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            ::FindClose(search);
            const std::string name = gbk::NameOf(entry);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                InsertRow({name, std::string(), entry, "DIR"}, IconOf(entry));
            } else {
                InsertRow({name, SizeText(SizeOf(found)), entry, ExtensionOf(name)}, IconOf(entry));
            }
        }
        file.Close();
    } catch (const CFileException& failure) {
        file.Abort();
        failure.ReportError();
    }
    if (GetItemCount() != before) RefreshFileCount();
}

void CWiperView::SortByColumn(int column) {
    if (column < 0 || column > 3) return;
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    // The control moves rows while it sorts, so the comparison reads a copy of the texts taken
    // before, through each row's index at that time.
    SortContext context{{}, column, sortAscending_};
    const int count = GetItemCount();
    context.rows.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        list_.SetItemData(row, static_cast<DWORD_PTR>(row));
        context.rows.push_back(
            {list_.GetItemText(row, 0), list_.GetItemText(row, 1), list_.GetItemText(row, 2), list_.GetItemText(row, 3)});
    }
    list_.SortItems(CompareByColumn, reinterpret_cast<LPARAM>(&context));
}
