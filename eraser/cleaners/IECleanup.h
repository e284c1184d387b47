#pragma once
// The Internet Explorer clean-up (command 32785 of the view): the traces that main.ini's skip lines
// select, removed in the order of those lines. Every removal ignores its own failure.
#include <windows.h>

#include <functional>
#include <string>

// Runs the whole command: confirmation, the browser check, the progress window (its font taken from
// `frame`), then the steps main.ini dictates. `onStep`, when given, is called with the progress
// window after each step text is shown and before that step runs.
void RunIECleanup(HWND frame, const std::string& iniPath,
                  const std::function<void(HWND progress, const std::string& step)>& onStep = nullptr);

// The URL cache emptied of every entry except cookie entries.
void PurgeUrlCache();
// The URL-history object's typed addresses ("REGISTRY") and the TypedURLs key.
void RemoveTypedUrls();
// The URL-history object cleared, and the history folder emptied.
void ClearUrlHistory();
// The files of shell folder `csidl` and of every folder below it deleted; folders stay.
void EmptyShellFolder(int csidl);
// Deletes every file below `folder`, keeping the folders. Links to folders are never entered, and
// a path that would not fit 260 bytes is skipped whole.
void DeleteFolderFiles(const std::string& folder);
