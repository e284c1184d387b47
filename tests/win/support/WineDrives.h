#pragma once
// Drive letters under Wine, changed while the tests run. Wine's mount manager reads a drive's
// file-system type, label and serial from its raw device once, when it learns of the drive; a test
// that puts a different volume image behind a drive tells the mount manager again.
#include <string>

// A host path as Wine reaches it, through Z:.
std::string WinePath(const std::string& hostPath);

// Makes `letter` a fixed disk whose files are the host folder `folder` and whose raw device
// (\\.\X:) is the host file `device`, through the mount manager. False when that fails.
bool DefineHostDrive(char letter, const std::string& folder, const std::string& device);
