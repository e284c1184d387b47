#pragma once
// The secret disk on Windows itself: the image is opened in this process and served as a QUILFILEDISK
// disk device (DiskServer.h), the mount manager gives the disk its letter, and a new disk is formatted
// NTFS by the system's formatter (FormatEx of fmifs.dll). The disks live as long as this process.
// Every failure leaves no disk, no letter and no new image behind.
#include <windows.h>

#include "WineHost.h"

namespace mountex {

bool WindowsCreateImage(char letter, const char* imagePath, const CPassword& password, UINT sizeMB);
bool WindowsMountDisk(char letter, const char* imagePath, const CPassword& password);
// Dismounts and removes a disk this process mounted at `letter`; for a letter left behind by a process
// that ended (its disk went with it), takes the letter away.
bool WindowsDisMountDisk(char letter);

}  // namespace mountex
