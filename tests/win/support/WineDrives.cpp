#include "WineDrives.h"

#include "WineMountManager.h"

std::string WinePath(const std::string& hostPath) {
    std::string path = "Z:" + hostPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool DefineHostDrive(char letter, const std::string& folder, const std::string& device) {
    return mountex::DefineUnixDrive(letter, folder, device);
}
