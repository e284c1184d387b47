#include "GbkText.h"

namespace gbk {

size_t FindLastBackslash(const std::string& path) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c) && i + 1 < path.size()) {
            ++i;  // skip the trail byte, whatever it is
        } else if (c == '\\') {
            found = i;
        }
    }
    return found;
}

bool EndsWithBackslash(const std::string& path) {
    size_t last = FindLastBackslash(path);
    return last != std::string::npos && last + 1 == path.size();
}

std::string WithBackslash(const std::string& path) {
    return EndsWithBackslash(path) ? path : path + '\\';
}

std::string FolderOf(const std::string& path) {
    size_t last = FindLastBackslash(path);
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string NameOf(const std::string& path) {
    size_t last = FindLastBackslash(path);
    return last == std::string::npos ? path : path.substr(last + 1);
}

}  // namespace gbk
