#pragma once
// Mountex.dll, the mount library of the secret disk. Lockvale imports these three functions by name
// (the import library maps the stdcall names to the plain names the DLL exports). Each returns
// non-zero on success and zero on failure; a failure changes nothing.
//
//   CreateImage   makes (or replaces) the image at `imagePath` holding a volume of `sizeMB` MB (100 to
//                 11264), protected by `password`, formats it NTFS and leaves it mounted at `letter`.
//   MountDisk     opens the image at `letter` when `password` unlocks it. `readOnly` is not used.
//   DisMountDisk  closes the disk this library mounted at `letter`, even one a process that has
//                 ended mounted.
//
// `letter` is an upper-case ASCII drive letter C to Z that no drive uses. `password` points to a
// zero-filled buffer of 17 bytes holding 4 to 16 characters; it is read during the call, never kept.
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

int WINAPI CreateImage(char letter, const char* imagePath, const char* password, UINT sizeMB);
int WINAPI MountDisk(char letter, const char* imagePath, const char* password, BYTE readOnly);
int WINAPI DisMountDisk(char letter);

#ifdef __cplusplus
}
#endif
