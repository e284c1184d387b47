#pragma once
// What automate needs from the system besides windows: text conversion, paths, processes, files
// and screenshots. Texts inside automate are UTF-8 (the script, the console); the ANSI Win32 API
// speaks GBK (code page 936), so every text crosses between the two here.
#include <windows.h>

#include <string>

constexpr UINT kGbk = 936;

// UTF-8 to GBK; throws Failure when a character has no GBK form (the program could never show it).
std::string Utf8ToGbk(const std::string& utf8);
// GBK to UTF-8, for printing what a window shows.
std::string GbkToUtf8(const std::string& gbk);
// The text with line breaks and tabs written as \n, \r, \t, in quotes: for messages.
std::string Quoted(const std::string& utf8);

// Writes one line (UTF-8) to standard output at once, so steps and failures stay in order.
void Print(const std::string& utf8);

// An environment variable in UTF-8; false when it is not set.
bool GetEnvironmentUtf8(const std::string& name, std::string& value);

// A Unix path ("/work/out/a.txt") as Windows programs under Wine see it ("Z:\work\out\a.txt").
// Anything that does not start with '/' is returned unchanged.
std::string UnixPathToWindows(const std::string& utf8Path);

// Makes every missing folder of the Windows path `folder` (GBK). Throws Failure.
void MakeFolders(const std::string& folder);

// The whole content of a file (GBK path). Throws Failure when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Builds a command line whose words the C runtime of the started program splits back exactly.
void AppendArgument(std::string& commandLine, const std::string& argument);

// Saves a PNG of the whole X display at the Unix path `unixPath` (UTF-8). Throws Failure.
void TakeScreenshot(const std::string& unixPath, DWORD timeoutMs);
