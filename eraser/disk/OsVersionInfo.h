#pragma once
// The operating-system family flags that choose between the NT-family and the Windows 95/98/Me
// code paths of the disk features.
#include <windows.h>

struct OsVersionInfo {
    unsigned char win9598 = 0;  // platform 1, major 4, minor 0 or 10
    unsigned char nt4 = 0;      // platform 2, major 4 or older
    unsigned char winMe = 0;    // platform 1, major 4, minor 90
    unsigned char win2000 = 0;  // platform 2, major 5, minor 0
    unsigned char winXP = 0;    // platform 2, major 5, minor 1

    // Fills the flags from GetVersionExA (extended structure first, then the basic one); false, with
    // every flag 0, when both fail.
    bool Detect();
    // Sets the flags for one reported version (the part of Detect that does not ask the system).
    void Classify(DWORD platform, DWORD major, DWORD minor);
    bool IsNtFamily() const { return !win9598 && !winMe; }
};

// The process-wide record, filled at start-up.
extern OsVersionInfo g_osVersionInfo;
