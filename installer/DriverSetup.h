#pragma once
// Installation and removal of the QUILFILEDISK driver through the SetupAPI device-installation
// functions, from the INF file beside the program. Failures are told by message boxes (captioned
// with the application title); success shows nothing.
#include <windows.h>

#include <string>

#include "DriverIdentity.h"

// The INF file that Drivset installs from, in its own folder.
extern const char kDriverInfName[];  // "FileDisk.inf"

// Whether a device of the driver's interface class is present: 1 when an interface exists, 0 when
// not, -1 when the class's device list cannot be opened.
int FindDriverInterface();

// `infName` in the folder of `modulePath` (the part up to and including its last backslash, which
// is found lead-byte aware). Empty when `modulePath` is empty: no folder, no INF.
std::string InfPathOf(const std::string& modulePath, const std::string& infName);

// `infName` in the folder of this program; empty when the program's path cannot be read whole.
std::string ProgramInfPath(const std::string& infName);

// True when `service`, a 260-byte buffer holding a device's SPDRP_SERVICE value, names the driver:
// after upper-casing, its first 13 bytes are "QUILFILEDISK" and its terminating zero.
bool IsDriverService(const char (&service)[MAX_PATH]);

// Installs the driver from `infName` on a new root-enumerated device unless its interface is
// already present. True on success and when nothing needed doing.
bool InstallDriver(const std::string& infName);

// Removes every device of the INF's class whose service is the driver, if the driver's interface is
// present. True unless a removal failed.
bool RemoveDriver(const std::string& infName);
