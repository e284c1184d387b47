#pragma once
// Listing a folder with FindFirstFileA/FindNextFileA. FindFile starts a search; each FindNextFile
// then makes the next entry current, so the first entry is readable only after the first
// FindNextFile:
//
//     CFileFind finder;
//     bool more = finder.FindFile(folder + "\\*.*");
//     while (more) {
//         more = finder.FindNextFile();  // false for the last entry, which is still current
//         ... finder.GetFilePath() ...
//     }
#include <windows.h>

#include <cstdint>
#include <string>

class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }

    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search for `pattern` (a path whose last part may hold wildcards), ending any search
    // before it. False when nothing matches; GetLastError then tells why.
    bool FindFile(const std::string& pattern = "*.*");
    // Makes the next entry current. Returns false when that entry is the last one.
    bool FindNextFile();
    // Ends the search. Harmless when none is running.
    void Close();

    // The current entry's name.
    std::string GetFileName() const { return found_.cFileName; }
    // The folder searched followed by the current entry's name.
    std::string GetFilePath() const { return root_ + found_.cFileName; }
    // The folder searched, as a full path ending in '\'.
    const std::string& GetRoot() const { return root_; }
    uint64_t GetLength() const {
        return (static_cast<uint64_t>(found_.nFileSizeHigh) << 32) | found_.nFileSizeLow;
    }
    DWORD GetAttributes() const { return found_.dwFileAttributes; }
    // True when the current entry has any of the attributes in `mask`.
    bool MatchesMask(DWORD mask) const { return (found_.dwFileAttributes & mask) != 0; }
    bool IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    bool IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
    bool IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
    bool IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
    bool IsArchived() const { return MatchesMask(FILE_ATTRIBUTE_ARCHIVE); }
    // True for the entries "." and "..", which stand for the folder and its parent.
    bool IsDots() const;
    bool GetLastWriteTime(FILETIME* time) const;

private:
    HANDLE search_ = INVALID_HANDLE_VALUE;
    std::string root_;
    WIN32_FIND_DATAA found_ = {};  // the current entry
    WIN32_FIND_DATAA next_ = {};   // the entry the next FindNextFile makes current
    bool hasNext_ = false;
};
