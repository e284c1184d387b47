#pragma once
// main.ini: the eraser's settings beside the program. One "key=value" entry per line, lines ended by
// CR LF, every value one character, so a line keeps its length when it is rewritten. The program
// never adds or removes lines; the installed file holds them all, headed by the label "[advance]".
//
// Every open goes through the framework's file classes; a file that cannot be opened (or read)
// is reported with the framework's file-error box before these functions return.
#include <windows.h>

#include <functional>
#include <string>

#include "File.h"

// The directory of the program's own path followed by "main.ini".
std::string MainIniPath();

// How the readers open main.ini. None of them creates the file.
const UINT kIniReadOnly = CFile::modeRead | CFile::shareDenyWrite;
const UINT kIniReadWrite = CFile::modeReadWrite | CFile::shareDenyWrite;
// How the settings dialogs open it: created empty when missing, never truncated.
const UINT kIniCreate = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite | CFile::shareDenyWrite;

// Hands every line of `iniPath` to `visit`, from the first, each without its line end (CR LF, or
// LF alone), until `visit` returns false or the file ends. `openFlags` is one of the kIni... modes.
// Returns false, after the file-error box, when the file cannot be opened or read.
bool ScanIniLines(const std::string& iniPath, UINT openFlags, const std::function<bool(const std::string&)>& visit);

// An option switch (wipe1..wipe6, log, skip1..skip6): on only when the file holds the exact whole
// line `key` "=1". A "=0" line, any other spelling or a missing line means off; so does a file that
// cannot be opened read-only, after the file-error box.
bool ReadIniSwitch(const std::string& iniPath, const std::string& key);

// True when `line` is a line the format knows: "[advance]", or a known key, "=" and one of that
// key's values (radio 1..5, SaveList 0/1, BufferSize 0..9, EraserTimes 1..6, wipe1..6, log and
// skip1..6 0/1).
bool IsValidIniLine(const std::string& line);

enum class IniWrite {
    written,  // the first line holding the key now reads `line`
    noLine,   // no line holds the key (or `line` is not a valid line): nothing was written
    failed,   // the file could not be opened, read or written; the file-error box has been shown
};

// Rewrites in place the first line of `iniPath` that holds `line`'s key with any of its valid values
// (for "[advance]": the line itself) so that it reads `line`. Opens the file for reading and writing,
// by default creating it empty when missing (kIniReadWrite never creates it) and never truncating
// it; only the bytes of that one line change.
IniWrite WriteIniLine(const std::string& iniPath, const std::string& line, UINT openFlags = kIniCreate);
