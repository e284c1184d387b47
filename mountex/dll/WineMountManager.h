#pragma once
// Drive letters under Wine. Only Wine's mount manager can give a running system a new letter
// (DefineDosDevice answers TRUE but the letter does not work); it maps a letter to a Unix folder and,
// optionally, the letter's raw device (\\.\X:) to a Unix file. Letters are 'A' to 'Z', either case.
#include <string>

namespace mountex {

// Makes `letter` a fixed disk whose files are the Unix folder `unixFolder` (and whose raw device is
// the Unix file `unixDevice`, when not empty). Replaces what the letter was. False on failure.
bool DefineUnixDrive(char letter, const std::string& unixFolder, const std::string& unixDevice = std::string());

// Takes the letter away. False when the mount manager refuses.
bool RemoveUnixDrive(char letter);

// The Unix folder `letter` stands for; false when the letter is not defined.
bool QueryUnixDrive(char letter, std::string& unixFolder);

}  // namespace mountex
