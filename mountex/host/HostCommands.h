#pragma once
// The three verbs of mountex-host. Each returns the process exit code (see kExit* below) and keeps
// the caller's status file, when it named one, up to date.
//
// Why a status file: Mountex.dll starts this helper from inside Wine with CreateProcessA, which for a
// Linux program gives no process handle to wait on and no exit code. So the caller names a file
// (--status FILE, a Unix path it can also reach as Z:\...) and polls it: the helper replaces it
// atomically (write, then rename) with lines "state=STATE", "result=RESULT" and "pid=PID", where STATE
// is working, ready (mounted or created), error or unmounted, and RESULT names the outcome (ok,
// wrong-password, not-found, truncated, damaged, bad-password, bad-size, busy, not-empty, not-mounted,
// no-space, failed).
// A native caller can use the exit code instead, which says the same.
#include <cstdint>
#include <string>

#include "SecretBuffer.h"

namespace mountex {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,         // I/O, FUSE, ntfs-3g or mkntfs failure
    kExitUsage = 2,
    kExitWrongPassword = 3,
    kExitNotFound = 4,
    kExitDamaged = 5,        // truncated or both headers damaged
    kExitBadArgument = 6,    // password not 4..16 bytes, size not 100..11264 MB
    kExitBusy = 7,           // mount point in use or not empty, image in use, or nothing mounted there
                             // (unmount, check)
};

class CStatusFile {
public:
    explicit CStatusFile(std::string path) : path_(std::move(path)) {}
    // Replaces the file's contents in one step; a reader sees the old or the new state, never half.
    void Report(const char* state, const char* result) const;

private:
    std::string path_;
};

// Both take the password and wipe it as soon as the image is open. Given a mount point, creation
// goes on to mount the new image there. The new image replaces an old one at the path only once it
// is complete and mounted; a creation that fails leaves the old image untouched.
int CreateCommand(const std::string& imagePath, uint32_t sizeMB, const std::string& mountPoint,
                  vlr::CSecretBuffer& password, const CStatusFile& status);
int MountCommand(const std::string& imagePath, const std::string& mountPoint, vlr::CSecretBuffer& password,
                 const CStatusFile& status);
int UnmountCommand(const std::string& mountPoint, const CStatusFile& status);
// Whether a live server serves a disk at the mount point: "ready"/"ok" and kExitOk if so, otherwise
// "unmounted"/"not-mounted" and kExitBusy. It changes nothing.
int CheckCommand(const std::string& mountPoint, const CStatusFile& status);

}  // namespace mountex
