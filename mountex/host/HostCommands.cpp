#include "HostCommands.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "VlrImage.h"
#include "VolumeView.h"

// Running as root is what this helper expects here. A non-root user needs access to /dev/fuse and a
// setuid fusermount3 (for the view), and an ntfs-3g allowed to mount for users (Debian's is not
// setuid; it needs to be, or the user needs CAP_SYS_ADMIN); the mount point must be the user's.

namespace mountex {

namespace {

// How long a mount may take to appear, and how long unmounting may take to write everything back.
constexpr int kMountWaitMs = 30000;
constexpr int kUnmountWaitMs = 120000;
constexpr int kPollMs = 50;

struct Outcome {
    int exitCode;
    const char* result;
};

Outcome FromImageResult(vlr::VlrResult r) {
    switch (r) {
    case vlr::VlrResult::Ok:
    case vlr::VlrResult::OpenedFromBackup: return {kExitOk, "ok"};
    case vlr::VlrResult::WrongPassword: return {kExitWrongPassword, "wrong-password"};
    case vlr::VlrResult::NotFound: return {kExitNotFound, "not-found"};
    case vlr::VlrResult::Truncated: return {kExitDamaged, "truncated"};
    case vlr::VlrResult::Damaged: return {kExitDamaged, "damaged"};
    case vlr::VlrResult::BadPassword: return {kExitBadArgument, "bad-password"};
    case vlr::VlrResult::BadSize: return {kExitBadArgument, "bad-size"};
    case vlr::VlrResult::KdfFailed:
    case vlr::VlrResult::IoError: break;
    }
    return {kExitFailed, "failed"};
}

int Fail(const CStatusFile& status, Outcome outcome, const std::string& message) {
    std::fprintf(stderr, "mountex-host: %s\n", message.c_str());
    status.Report("error", outcome.result);
    return outcome.exitCode;
}

void SleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// Mount points of this process's namespace, unescaped (/proc encodes space, tab, newline and
// backslash as octal escapes).
bool IsMountPoint(const std::string& path) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // Fields: id parent major:minor root mount-point ...
        size_t pos = 0;
        for (int field = 0; field < 4 && pos != std::string::npos; ++field) pos = line.find(' ', pos + 1);
        if (pos == std::string::npos) continue;
        const size_t end = line.find(' ', pos + 1);
        const std::string raw = line.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
        std::string point;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 3 < raw.size()) {
                point += static_cast<char>(std::strtol(raw.substr(i + 1, 3).c_str(), nullptr, 8));
                i += 3;
            } else {
                point += raw[i];
            }
        }
        if (point == path) return true;
    }
    return false;
}

// Starts a program with stdin and stdout on /dev/null (stderr too when `quiet`) and every signal
// unblocked. Returns its pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, bool quiet) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    if (quiet) dup2(devnull, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

int WaitExit(pid_t pid) {
    int st = 0;
    while (waitpid(pid, &st, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

bool Alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// Root keeps its records in /run; anyone else in their runtime folder (or /tmp as a last resort).
std::string RuntimeBase() {
    if (geteuid() == 0) return "/run/mountex";
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg) return std::string(xdg) + "/mountex";
    return "/tmp/mountex-" + std::to_string(geteuid());
}

// One record folder per mount point, named after a hash of its real path (fixed length whatever the
// path). It holds "pid" (the serving process) and "view" (where the decrypted volume is exposed).
std::string RecordFolder(const std::string& realMountPoint) {
    uint8_t sum[32];
    vlr::Sha256(reinterpret_cast<const uint8_t*>(realMountPoint.data()), realMountPoint.size(), sum);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", sum[i]);
    return RuntimeBase() + "/" + hex;
}

pid_t ReadPid(const std::string& record) {
    std::ifstream in(record + "/pid");
    long pid = 0;
    return (in >> pid) && pid > 0 ? static_cast<pid_t>(pid) : -1;
}

void RemoveRecord(const std::string& record) {
    if (IsMountPoint(record + "/view")) umount2((record + "/view").c_str(), MNT_DETACH);
    unlink((record + "/pid").c_str());
    rmdir((record + "/view").c_str());
    rmdir(record.c_str());
}

bool RealPath(const std::string& path, std::string& real) {
    char buf[PATH_MAX];
    if (!realpath(path.c_str(), buf)) return false;
    real = buf;
    return true;
}

// A mounted image carries an exclusive lock on its file for as long as its serving process lives
// (the lock belongs to the open file, which the server inherits), so a second mount of it, or a
// creation over it, is refused instead of writing under a live file system.
enum class ImageLock { Held, Busy, NoFile };

ImageLock LockImage(const std::string& path, int& fd) {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ImageLock::NoFile;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return ImageLock::Held;
    close(fd);
    fd = -1;
    return ImageLock::Busy;
}

void Unlock(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

volatile sig_atomic_t gStopRequested = 0;
void OnStopSignal(int) { gStopRequested = 1; }

// The serving process of a mount: exposes the view, runs ntfs-3g on it until the NTFS volume is
// unmounted (by `unmount`, by umount, or by a stop signal here), then writes everything back and
// removes its traces. `ready` is the pipe on which the starting process waits for "ok" or an error.
[[noreturn]] void Serve(vlr::CVlrImage& image, const std::string& mountPoint, const std::string& record,
                        int ready, const CStatusFile& status) {
    setsid();
    auto report = [&](const char* result) {
        std::string line = std::string(result) + "\n";
        if (write(ready, line.data(), line.size()) < 0) {}
        close(ready);
    };
    auto giveUp = [&](CVolumeView* view, const char* message) {
        std::fprintf(stderr, "mountex-host: %s\n", message);
        if (view) view->Stop();
        image.Close();
        RemoveRecord(record);
        status.Report("error", "failed");
        report("failed");
        _exit(kExitFailed);
    };

    // Stop signals are taken by this thread only: block them before the view's thread starts.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    CVolumeView view(image);
    std::string error;
    if (!view.Start(record + "/view", error)) giveUp(nullptr, error.c_str());
    struct sigaction sa = {};
    sa.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
    {
        std::ofstream pidFile(record + "/pid");
        pidFile << getpid() << "\n";
    }

    // no_detach keeps ntfs-3g our child, so we know when it has written its last byte into the view.
    const pid_t ntfs = Spawn({"ntfs-3g", "-o", "no_detach", view.VolumePath(), mountPoint}, true);
    if (ntfs < 0) giveUp(&view, "could not start ntfs-3g");
    int waited = 0;
    while (!IsMountPoint(mountPoint)) {
        int st;
        if (waitpid(ntfs, &st, WNOHANG) == ntfs) giveUp(&view, "ntfs-3g refused the volume");
        if (waited >= kMountWaitMs) {
            kill(ntfs, SIGTERM);
            WaitExit(ntfs);
            giveUp(&view, "ntfs-3g did not mount the volume in time");
        }
        SleepMs(kPollMs);
        waited += kPollMs;
    }
    status.Report("ready", "ok");
    report("ok");
    // From here on nothing holds the starter's output open: a caller waiting for it to close goes on.
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    close(devnull);

    int st = 0;
    for (;;) {
        if (waitpid(ntfs, &st, 0) == ntfs) break;
        if (errno != EINTR) break;
        if (gStopRequested) {
            gStopRequested = 0;
            umount2(mountPoint.c_str(), 0);
        }
    }
    bool ok = view.Sync();
    view.Stop();
    ok = image.Flush() && ok;
    image.Close();
    RemoveRecord(record);
    status.Report("unmounted", ok ? "ok" : "failed");
    _exit(ok ? kExitOk : kExitFailed);
}

// Refuses a mount point that is not a folder, has something mounted on it, or is being served;
// otherwise clears the traces of a server that died there and gives its real path.
Outcome CheckMountPoint(const std::string& mountPoint, std::string& real) {
    struct stat st;
    if (!RealPath(mountPoint, real) || stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {kExitNotFound, "no-mount-point"};
    if (IsMountPoint(real)) return {kExitBusy, "busy"};
    const std::string record = RecordFolder(real);
    if (Alive(ReadPid(record))) return {kExitBusy, "busy"};
    RemoveRecord(record);
    return {kExitOk, nullptr};
}

// Serves the open `image` at the checked mount point `real` from a process of its own, which takes
// over the image's lock, and waits until the volume is mounted or has failed.
int MountOpenImage(vlr::CVlrImage& image, int& imageLock, const std::string& real, const CStatusFile& status) {
    const std::string record = RecordFolder(real);
    mkdir(RuntimeBase().c_str(), 0700);
    if (mkdir(record.c_str(), 0700) != 0 || mkdir((record + "/view").c_str(), 0700) != 0) {
        Unlock(imageLock);
        RemoveRecord(record);
        return Fail(status, {kExitFailed, "failed"}, "cannot make the record folder " + record);
    }

    int pipeFds[2];
    const pid_t server = pipe(pipeFds) == 0 ? fork() : -1;
    if (server < 0) {
        Unlock(imageLock);
        RemoveRecord(record);
        return Fail(status, {kExitFailed, "failed"}, "cannot start the serving process");
    }
    if (server == 0) {
        close(pipeFds[0]);
        Serve(image, real, record, pipeFds[1], status);  // keeps the image's lock until it ends
    }
    // The server holds its own copy of the key and of the lock; this process drops its copies now.
    image.Close();
    Unlock(imageLock);
    close(pipeFds[1]);
    std::string answer;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') answer += c;
    close(pipeFds[0]);
    if (answer != "ok") {
        WaitExit(server);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

void CStatusFile::Report(const char* state, const char* result) const {
    if (path_.empty()) return;
    const std::string temp = path_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "state=" << state << "\nresult=" << result << "\npid=" << getpid() << "\n";
        if (!out) return;
    }
    std::rename(temp.c_str(), path_.c_str());
}

int CreateCommand(const std::string& imagePath, uint32_t sizeMB, const std::string& mountPoint,
                  vlr::CSecretBuffer& password, const CStatusFile& status) {
    status.Report("working", "ok");
    if (sizeMB < vlr::kMinSizeMB || sizeMB > vlr::kMaxSizeMB)
        return Fail(status, {kExitBadArgument, "bad-size"}, "the size must be 100 to 11264 MB");
    std::string realMountPoint;
    if (!mountPoint.empty()) {
        const Outcome refused = CheckMountPoint(mountPoint, realMountPoint);
        if (refused.result) return Fail(status, refused, "cannot mount at " + mountPoint);
    }
    int oldImage = -1;
    if (LockImage(imagePath, oldImage) == ImageLock::Busy)
        return Fail(status, {kExitBusy, "busy"}, "the image is mounted: " + imagePath);
    // The image is written in full (no sparse file), so a volume without room for it fails now
    // rather than after minutes of writing.
    const std::string folder = FolderOf(imagePath);
    struct statvfs fs;
    const uint64_t needed = vlr::ImageFileSize(uint64_t{sizeMB} * vlr::kSectorsPerMB);
    if (statvfs(folder.c_str(), &fs) == 0 && uint64_t{fs.f_bavail} * fs.f_frsize < needed) {
        Unlock(oldImage);
        return Fail(status, {kExitFailed, "no-space"}, "not enough free space for the image in " + folder);
    }

    // The new image is made beside the old one and takes its name only once it is complete, so a
    // failed creation leaves the old image (or nothing) behind, never a half-made one.
    std::string temp = imagePath + ".XXXXXX";
    const int tempFd = mkstemp(&temp[0]);
    if (tempFd < 0) {
        Unlock(oldImage);
        return Fail(status, {kExitFailed, "failed"}, "cannot create a file beside " + imagePath);
    }
    close(tempFd);
    auto giveUp = [&](Outcome outcome, const std::string& message) {
        std::remove(temp.c_str());
        Unlock(oldImage);
        return Fail(status, outcome, message);
    };

    vlr::CVlrImage image;
    const vlr::VlrResult r = image.CreateOpen(temp, sizeMB, password.data(), password.size());
    password.Wipe();
    if (!vlr::Succeeded(r)) return giveUp(FromImageResult(r), std::string("cannot create the image: ") + vlr::ResultName(r));

    const std::string base = RuntimeBase();
    mkdir(base.c_str(), 0700);
    std::string viewFolder = base + "/create-XXXXXX";
    if (!mkdtemp(&viewFolder[0])) {
        image.Close();
        return giveUp({kExitFailed, "failed"}, "cannot make a folder for the volume view");
    }
    CVolumeView view(image);
    std::string error;
    int formatted = -1;
    if (view.Start(viewFolder, error)) {
        // A file has no disk geometry to ask for; these are the values of a partitionless disk, and
        // giving them keeps mkntfs from guessing (and from warning about it).
        formatted = WaitExit(Spawn({"mkntfs", "-Q", "-F", "-q", "-s", "512", "-p", "0", "-H", "255", "-S", "63", view.VolumePath()}, false));
        if (!view.Sync()) formatted = -1;
        view.Stop();
    }
    const bool flushed = image.Flush();
    rmdir(viewFolder.c_str());
    int newImage = -1;
    if (formatted != 0 || !flushed || LockImage(temp, newImage) != ImageLock::Held) {
        image.Close();
        return giveUp({kExitFailed, "failed"}, error.empty() ? "mkntfs could not format the volume" : error);
    }
    if (std::rename(temp.c_str(), imagePath.c_str()) != 0) {
        image.Close();
        Unlock(newImage);
        return giveUp({kExitFailed, "failed"}, "cannot put the new image in place: " + imagePath);
    }
    Unlock(oldImage);
    if (!realMountPoint.empty()) {
        // Mounted straight from the open image: no second key derivation, no second start.
        const int result = MountOpenImage(image, newImage, realMountPoint, status);
        if (result != kExitOk) std::remove(imagePath.c_str());
        return result;
    }
    image.Close();
    Unlock(newImage);
    status.Report("ready", "ok");
    return kExitOk;
}

int MountCommand(const std::string& imagePath, const std::string& mountPoint, vlr::CSecretBuffer& password,
                 const CStatusFile& status) {
    std::string real;
    const Outcome refused = CheckMountPoint(mountPoint, real);
    if (refused.result) {
        password.Wipe();
        return Fail(status, refused, "cannot mount at " + mountPoint);
    }
    status.Report("working", "ok");

    int imageLock = -1;
    if (LockImage(imagePath, imageLock) == ImageLock::Busy) {
        password.Wipe();
        return Fail(status, {kExitBusy, "busy"}, "the image is already mounted: " + imagePath);
    }
    vlr::CVlrImage image;
    const vlr::VlrResult r = image.Open(imagePath, password.data(), password.size());
    password.Wipe();
    if (!vlr::Succeeded(r)) {
        Unlock(imageLock);
        return Fail(status, FromImageResult(r), std::string("cannot open the image: ") + vlr::ResultName(r));
    }
    return MountOpenImage(image, imageLock, real, status);
}

int UnmountCommand(const std::string& mountPoint, const CStatusFile& status) {
    std::string real;
    if (!RealPath(mountPoint, real)) return Fail(status, {kExitBusy, "not-mounted"}, "no such folder: " + mountPoint);
    const std::string record = RecordFolder(real);
    const pid_t server = ReadPid(record);
    if (!Alive(server)) {
        RemoveRecord(record);
        return Fail(status, {kExitBusy, "not-mounted"}, "no disk is mounted at " + real);
    }
    status.Report("working", "ok");
    if (IsMountPoint(real) && umount2(real.c_str(), 0) != 0) {
        if (errno == EBUSY) return Fail(status, {kExitBusy, "busy"}, "files on the disk are still in use");
        if (WaitExit(Spawn({"fusermount3", "-u", real}, false)) != 0)
            return Fail(status, {kExitFailed, "failed"}, "cannot unmount " + real);
    }
    // The server writes the volume back and exits; only then is the image complete on disk.
    for (int waited = 0; Alive(server); waited += kPollMs) {
        if (waited >= kUnmountWaitMs) return Fail(status, {kExitFailed, "failed"}, "the disk did not close in time");
        SleepMs(kPollMs);
    }
    status.Report("unmounted", "ok");
    return kExitOk;
}

}  // namespace mountex
