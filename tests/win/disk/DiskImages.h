#pragma once
// The FAT32 and NTFS fixture volumes (built on the host by tests/fixtures/scan-images.sh) and what
// the native image scanner found on them, reached from Wine through Z:.
#include <cstdio>
#include <string>

#include "DeletedFileRecord.h"
#include "TempFolder.h"
#include "WineDrives.h"

inline std::string FixturePath(const std::string& name) { return WinePath(std::string(DISK_FIXTURE_DIR) + "/" + name); }

// The image file behind \\.\X: (the harness serves X:\volume.img as the drive's raw device).
constexpr const char* kDriveXImage = "X:\\volume.img";

// Puts a fixture image behind X: and has Wine read its file system again.
inline bool ServeOnDriveX(const std::string& image) {
    if (!::CopyFileA(FixturePath(image).c_str(), kDriveXImage, FALSE)) return false;
    return DefineHostDrive('X', DRIVE_X_FOLDER, DRIVE_X_FOLDER "/volume.img");
}

// The records as the image scanner prints them: path, time, size, attributes, first cluster.
inline std::string ScanText(const diskfs::DeletedFileList& list) {
    std::string text;
    char numbers[64];
    for (const auto& r : list) {
        std::snprintf(numbers, sizeof numbers, "\t%u\t%u\t%u\n", static_cast<unsigned>(r->size),
                      static_cast<unsigned>(r->attributes), static_cast<unsigned>(r->firstCluster));
        text += r->path + "\t" + r->timeText + numbers;
    }
    return text;
}
