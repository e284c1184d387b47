#include "WineDrives.h"

#include "WineMountManager.h"

bool DefineHostDrive(char letter, const std::string& folder, const std::string& device) {
    return mountex::DefineUnixDrive(letter, folder, device);
}
