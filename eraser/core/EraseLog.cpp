// The erase log: "log.txt" beside the program. The header "[日志操作]" starts the file, and every
// line is preceded (not followed) by CR LF, so the file never ends with a line end.
#include <ctime>
#include <vector>

#include "File.h"
#include "FileException.h"
#include "MainIni.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

// The local time as "%B %d, %Y %X" in the program's run-time locale.
std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    char text[128] = {};
    std::strftime(text, sizeof text, "%B %d, %Y %X", std::localtime(&now));
    return text;
}

// Appends `lines` to the log at `path`, each preceded by CR LF, after the header when the file was empty.
void AppendLogLines(const std::string& path, const std::vector<std::string>& lines) {
    // A missing log counts as empty, without any message.
    uint64_t size = ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : QueryWipeSize(path);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    CFile log;
    CFileException error;
    if (!log.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite, &error)) {
        error.ReportError();
        return;
    }
    try {
        if (size == 0) {
            std::string header = AfxLoadString(IDS_LOG_HEADER);
            log.Write(header.data(), static_cast<UINT>(header.size()));
        }
        log.SeekToEnd();
        std::string text;
        for (const std::string& line : lines) text += "\r\n" + line;
        log.Write(text.data(), static_cast<UINT>(text.size()));
    } catch (CFileException& failure) {
        failure.ReportError();
    }
}

}  // namespace

void AppendLogEntry(const std::string& logPath, const std::string& entry) {
    AppendLogLines(logPath, {TimeStamp() + "    " + entry});
}

bool CWiperView::IsLogOn() { return ReadIniSwitch(iniPath, "log"); }

void CWiperView::LogErased(const std::string& path) {
    AppendLogLines(logPath, {TimeStamp() + "    " + path + " " + AfxLoadString(IDS_LOG_ERASED)});
}

void CWiperView::LogNotErased() {
    std::string stamp = TimeStamp();
    std::string notErased = AfxLoadString(IDS_LOG_NOT_ERASED);
    std::vector<std::string> lines;
    for (int row = GetItemCount() - 1; row >= 0; --row) lines.push_back(stamp + "    " + ItemPath(row) + " " + notErased);
    AppendLogLines(logPath, lines);
}

void CWiperView::ShowLog() { Ui().WinExec("Notepad " + logPath, 5); }
