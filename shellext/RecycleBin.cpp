#include "RecycleBin.h"

#include <windows.h>

std::vector<std::string> RecycleBinFolders(const std::string& root, const std::string& sid) {
    std::vector<std::string> found;
    std::vector<std::string> candidates = {root + "RECYCLED\\"};
    if (!sid.empty()) {
        candidates.push_back(root + "RECYCLER\\" + sid + "\\");
        candidates.push_back(root + "$Recycle.Bin\\" + sid + "\\");
    }
    for (const std::string& folder : candidates) {
        DWORD attributes = ::GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            found.push_back(folder);
        }
    }
    return found;
}

std::vector<std::string> RecycleBinItems(const std::string& folder) {
    std::vector<std::string> items;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return items;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == ".." || ::lstrcmpiA(name.c_str(), "desktop.ini") == 0) continue;
        items.push_back(folder + name);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return items;
}
