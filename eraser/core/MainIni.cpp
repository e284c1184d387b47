#include "MainIni.h"

#include <cstdint>

#include "FileException.h"
#include "StdioFile.h"
#include "WiperView.h"

namespace {

const char kSectionLabel[] = "[advance]";

// Every key of the file and the characters its value may be.
struct IniKey {
    const char* key;
    const char* values;
};
const IniKey kIniKeys[] = {
    {"radio", "12345"},       {"SaveList", "01"}, {"BufferSize", "0123456789"}, {"EraserTimes", "123456"},
    {"wipe1", "01"},          {"wipe2", "01"},    {"wipe3", "01"},              {"wipe4", "01"},
    {"wipe5", "01"},          {"wipe6", "01"},    {"log", "01"},                {"skip1", "01"},
    {"skip2", "01"},          {"skip3", "01"},    {"skip4", "01"},              {"skip5", "01"},
    {"skip6", "01"},
};

// The key of `line` when it is a valid line of that key, else nullptr.
const IniKey* KeyOf(const std::string& line) {
    size_t equals = line.find('=');
    if (equals == std::string::npos || equals + 2 != line.size()) return nullptr;
    for (const IniKey& entry : kIniKeys) {
        if (line.compare(0, equals, entry.key) != 0) continue;
        for (const char* value = entry.values; *value; ++value) {
            if (line[equals + 1] == *value) return &entry;
        }
        return nullptr;
    }
    return nullptr;
}

// True when `fileLine` holds the same key as `line`, with any valid value.
bool HoldsSameKey(const std::string& fileLine, const std::string& line) {
    if (line == kSectionLabel) return fileLine == kSectionLabel;
    const IniKey* key = KeyOf(fileLine);
    return key && key == KeyOf(line);
}

// The line as the readers compare it: without the CR of its CR LF end.
void DropCarriageReturn(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

std::string MainIniPath() { return ProgramDirectory() + "main.ini"; }

bool IsValidIniLine(const std::string& line) { return line == kSectionLabel || KeyOf(line) != nullptr; }

bool ScanIniLines(const std::string& iniPath, UINT openFlags, const std::function<bool(const std::string&)>& visit) {
    // Binary: each line is split at its LF here and its CR dropped, which reads CR LF and LF-only
    // files alike and keeps every position a true byte offset.
    CStdioFile file;
    CFileException error;
    if (!file.Open(iniPath, openFlags | CFile::typeBinary, &error)) {
        error.ReportError();
        return false;
    }
    try {
        std::string line;
        while (file.ReadString(line)) {
            DropCarriageReturn(line);
            if (!visit(line)) break;
        }
        file.Close();
    } catch (const CFileException& failure) {
        file.Abort();
        failure.ReportError();
        return false;
    }
    return true;
}

bool ReadIniSwitch(const std::string& iniPath, const std::string& key) {
    const std::string on = key + "=1";
    bool found = false;
    ScanIniLines(iniPath, kIniReadOnly, [&](const std::string& line) {
        found = line == on;
        return !found;
    });
    return found;
}

IniWrite WriteIniLine(const std::string& iniPath, const std::string& line, UINT openFlags) {
    if (!IsValidIniLine(line)) return IniWrite::noLine;

    CStdioFile file;
    CFileException error;
    if (!file.Open(iniPath, openFlags | CFile::typeBinary, &error)) {
        error.ReportError();
        return IniWrite::failed;
    }
    try {
        std::string fileLine;
        for (;;) {
            uint64_t lineStart = file.GetPosition();
            if (!file.ReadString(fileLine)) break;
            DropCarriageReturn(fileLine);
            if (!HoldsSameKey(fileLine, line)) continue;
            // The new line goes where the old one starts. After a line ended by CR LF that is the
            // position less the line's length and 2; a line ended by LF alone, or the last line
            // without any end, is shorter than that, and stepping back by the CR LF arithmetic
            // would overwrite the end of the line before it (or fail before the file's start).
            file.Seek(static_cast<int64_t>(lineStart), CFile::begin);
            file.Write(line.data(), static_cast<UINT>(line.size()));
            file.Close();
            return IniWrite::written;
        }
        file.Close();
    } catch (const CFileException& failure) {
        file.Abort();
        failure.ReportError();
        return IniWrite::failed;
    }
    return IniWrite::noLine;
}
