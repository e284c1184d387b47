#include "FileTree.h"

#include <windows.h>

namespace {

uint64_t Sum(const std::string& folder, bool (*keepGoing)(void*), void* context) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    uint64_t total = 0;
    do {
        if (keepGoing && !keepGoing(context)) break;
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            total += Sum(folder + "\\" + name, keepGoing, context);
        } else {
            total += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return total;
}

}  // namespace

uint64_t SumFileSizes(const std::string& folder, bool (*keepGoing)(void*), void* context) {
    return Sum(folder, keepGoing, context);
}
