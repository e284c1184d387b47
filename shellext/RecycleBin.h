#pragma once
// Where the recycle bin keeps a drive's deleted items: "RECYCLER\<user SID>" (Windows 2000/XP),
// "$Recycle.Bin\<user SID>" (later systems) and "RECYCLED" (Windows 95/98/Me) in the drive's root.
#include <string>
#include <vector>

// The recycle-bin folders of the drive `root` ("D:\") that exist for the user `sid` (the flat
// Windows 95/98/Me folder whatever the SID), each with its final backslash.
std::vector<std::string> RecycleBinFolders(const std::string& root, const std::string& sid);

// The files and folders in `folder` (with its final backslash) except the folder's own
// "desktop.ini", full paths, in the order the system lists them.
std::vector<std::string> RecycleBinItems(const std::string& folder);
