#pragma once
// Lead-byte aware handling of ANSI paths in code page 936 (GBK).
//
// GBK is a double-byte code page: a lead byte 0x81..0xFE is followed by a trail byte 0x40..0xFE,
// and trail bytes include 0x5C ('\'), so a plain byte search for '\' can land inside a character
// such as 禱 (B5 5C). Every split of a path into folder and name goes through these helpers.
#include <string>

namespace gbk {

inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The offset of the last '\' that is a character of its own, or std::string::npos.
size_t FindLastBackslash(const std::string& path);

// True when the last character of `path` is a '\' of its own.
bool EndsWithBackslash(const std::string& path);

// `path` with one '\' appended unless it already ends with one.
std::string WithBackslash(const std::string& path);

// The part before the last '\' ("C:\a\b.txt" gives "C:\a"); empty when there is none.
std::string FolderOf(const std::string& path);

// The part after the last '\' ("C:\a\b.txt" gives "b.txt"); the whole path when there is none.
std::string NameOf(const std::string& path);

}  // namespace gbk
