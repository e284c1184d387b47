#pragma once
// The secret disk on Windows itself: the image is opened in this process and served as a QUILFILEDISK
// disk device (DiskServer.h), the mount manager gives the disk its letter, and a new disk is formatted
// NTFS by the system's formatter (FormatEx of fmifs.dll). The disks live as long as this process.
// Every failure leaves no disk, no letter and no new image behind, and an image that a creation was to
// replace stays as it was. A served image is open for this process alone to write.
#include <windows.h>

#include <string>

#include "WineHost.h"

namespace mountex {

// Gives the folder `root` (a new volume's root, "X:\") a protected access list that its children
// inherit: full control for the user of this process, SYSTEM and the Administrators, nobody else.
bool ProtectRoot(const std::string& root);

// Creates the image at `imagePath` (replacing a file of that name only once the new disk is mounted,
// formatted and protected), mounts it at `letter` and formats it NTFS.
bool WindowsCreateImage(char letter, const char* imagePath, const CPassword& password, UINT sizeMB);
bool WindowsMountDisk(char letter, const char* imagePath, const CPassword& password);
// Dismounts and removes a disk this process mounted at `letter`; for a letter left behind by a process
// that ended (its disk went with it), takes the letter away. False, with the disk still served, when
// its volume cannot be locked (a file is open on it).
bool WindowsDisMountDisk(char letter);

}  // namespace mountex
