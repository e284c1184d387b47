#pragma once
// "清空日志" of the settings sheet: empties the erase log in place. A read-only log is emptied
// too and keeps its attributes; there is no confirmation.
#include <string>

// Truncates `logPath` to nothing (creating it empty when missing) and gives it back the attributes
// it had. When it cannot be opened the framework's file-error box is shown and false returned.
bool EmptyLog(const std::string& logPath);
