#pragma once
// The secret disk under Wine: mountex-host serves the image through FUSE and ntfs-3g on a folder of
// the Wine prefix's own, "<prefix>/mountex/<letter>", and Wine's mount manager gives that folder the
// drive letter. The arguments are checked by the caller (Mountex.cpp).
#include <windows.h>

#include "WineHost.h"

namespace mountex {

bool WineCreateImage(HMODULE module, char letter, const char* imagePath, const CPassword& password, UINT sizeMB);
bool WineMountDisk(HMODULE module, char letter, const char* imagePath, const CPassword& password);
bool WineDisMountDisk(HMODULE module, char letter);

}  // namespace mountex
