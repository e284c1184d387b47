#pragma once
// Real files for the main.ini tests: a fresh temp folder per test and byte-exact file access that
// does not go through the code under test.
#include <windows.h>

#include <string>

#include "TempFolder.h"

namespace initest {

using ::ReadBytes;
using ::TempFolder;
using ::WriteBytes;

inline bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A main.ini in the installed layout with values of the test's own choosing, CR LF ended.
inline std::string SampleIni() {
    return "[advance]\r\n"
           "radio=3\r\n"
           "SaveList=1\r\n"
           "BufferSize=1\r\n"
           "EraserTimes=4\r\n"
           "wipe1=0\r\n"
           "wipe2=1\r\n"
           "wipe3=0\r\n"
           "wipe4=1\r\n"
           "wipe5=0\r\n"
           "wipe6=0\r\n"
           "log=1\r\n"
           "skip1=1\r\n"
           "skip2=0\r\n"
           "skip3=1\r\n"
           "skip4=0\r\n"
           "skip5=1\r\n"
           "skip6=0\r\n";
}

// `text` with its first "\r\n" + from + "\r\n" (or `from` at the very start) replaced.
inline std::string WithLine(std::string text, const std::string& from, const std::string& to) {
    if (text.compare(0, from.size() + 2, from + "\r\n") == 0) return text.replace(0, from.size(), to);
    size_t at = text.find("\r\n" + from + "\r\n");
    if (at == std::string::npos) return "<no line " + from + ">";
    return text.replace(at + 2, from.size(), to);
}

}  // namespace initest
