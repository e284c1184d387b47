#pragma once
// Lockvale's session: the one SecretDiskState record, the settings file beside the program, and the
// small helpers every window of Lockvale shares.
#include <windows.h>

#include <string>
#include <vector>

// The state of this session's secret disk. Never saved; only imagePath comes back at the next start
// (from Setting.ini).
struct SecretDiskState {
    char imagePath[MAX_PATH] = {};  // at most 259 characters; empty when no image is known
    char driveLetter = 0;           // upper-case letter of the last create or mount; 0 when none
    char password[17] = {};         // the last password entered, zero-filled; wiped once used
    UINT sizeMB = 0;
    bool mounted = false;

    // Clears the password once the mount library has read it: nothing reads it later.
    void WipePassword() { ::SecureZeroMemory(password, sizeof password); }
    // Puts `text` (at most 16 characters) into the password buffer, the rest zero.
    void SetPassword(const std::string& text);
};

SecretDiskState& DiskState();

// Setting.ini in the folder of the program's own module. Reads give "" when the file, the section
// or the key is missing.
std::string ReadSetting(const std::string& section, const std::string& key);
bool WriteSetting(const std::string& section, const std::string& key, const std::string& value);

// The program directory: the program's path from the first command-line argument, cut at its last
// backslash (help, Purgix, the icon and the sample file are found there).
std::string ProgramDirectory();

// "C:\" to "Z:\" for every letter no drive uses, in order: the lists of free letters that the
// creation wizard and the password prompt offer.
std::vector<std::string> FreeDriveRoots();
// Fills a drop-down list with FreeDriveRoots() and selects the first.
void FillDriveList(HWND combo);
// The letter of the selected entry of such a list, or 0 when the list is empty.
char SelectedDriveLetter(HWND combo);

// The bold 宋体 of Lockvale's emphasised texts, `pixelHeight` pixels high. The caller deletes it.
HFONT CreateBoldSongFont(int pixelHeight);

// Opens Lockvale.chm from the program directory (no owner window).
void ShowLockvaleHelp();
