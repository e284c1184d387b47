#include "FileFind.h"

#include <cstring>

#include "GbkText.h"

bool CFileFind::FindFile(const std::string& pattern) {
    Close();
    search_ = ::FindFirstFileA(pattern.c_str(), &next_);
    if (search_ == INVALID_HANDLE_VALUE) return false;
    hasNext_ = true;

    // The root is the folder of the full pattern; its names may end in a GBK trail byte 0x5C, so
    // the split goes through the lead-byte aware helpers.
    char full[MAX_PATH];
    DWORD length = ::GetFullPathNameA(pattern.c_str(), sizeof full, full, nullptr);
    std::string fullPattern = length > 0 && length < sizeof full ? std::string(full, length) : pattern;
    std::string folder = gbk::FolderOf(fullPattern);
    root_ = folder.empty() ? folder : gbk::WithBackslash(folder);
    return true;
}

bool CFileFind::FindNextFile() {
    if (!hasNext_) return false;
    found_ = next_;
    hasNext_ = ::FindNextFileA(search_, &next_) != FALSE;
    return hasNext_;
}

void CFileFind::Close() {
    if (search_ != INVALID_HANDLE_VALUE) ::FindClose(search_);
    search_ = INVALID_HANDLE_VALUE;
    hasNext_ = false;
    root_.clear();
    found_ = WIN32_FIND_DATAA();
}

bool CFileFind::IsDots() const {
    return IsDirectory() && (std::strcmp(found_.cFileName, ".") == 0 || std::strcmp(found_.cFileName, "..") == 0);
}

bool CFileFind::GetLastWriteTime(FILETIME* time) const {
    if (!time || search_ == INVALID_HANDLE_VALUE) return false;
    *time = found_.ftLastWriteTime;
    return true;
}
