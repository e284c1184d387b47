#include "HostCommands.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
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

// A field of /proc/self/mountinfo unescaped (it encodes space, tab, newline and backslash as octal
// escapes).
std::string Unescape(const std::string& raw) {
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 3 < raw.size()) {
            text += static_cast<char>(std::strtol(raw.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            text += raw[i];
        }
    }
    return text;
}

// Whether something is mounted at `path` in this process's namespace, and (when `source` is given)
// the source of the topmost mount there.
bool FindMount(const std::string& path, std::string* source = nullptr) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        // Fields: id parent major:minor root mount-point options [optional...] - type source options
        std::vector<std::string> fields;
        for (size_t pos = 0; pos <= line.size();) {
            const size_t end = std::min(line.find(' ', pos), line.size());
            fields.push_back(line.substr(pos, end - pos));
            pos = end + 1;
        }
        if (fields.size() < 5 || Unescape(fields[4]) != path) continue;
        found = true;
        if (source) {
            source->clear();
            for (size_t i = 6; i + 2 < fields.size(); ++i)
                if (fields[i] == "-") *source = Unescape(fields[i + 2]);
        }
    }
    return found;
}

bool IsMountPoint(const std::string& path) { return FindMount(path); }

// Starts a program with stdin and stdout on /dev/null (stderr too when `quiet`) and every signal
// unblocked. A program `bound` to this process is killed when this process dies. Returns its pid,
// or -1.
pid_t Spawn(const std::vector<std::string>& args, bool quiet, bool bound = false) {
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (bound && (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0 || getppid() != parent)) _exit(127);
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

// A process that has ended but was not reaped yet (its parent may never do so) counts as gone.
bool Alive(pid_t pid) {
    if (pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) return false;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t name = stat.rfind(')');  // the name in parentheses may hold anything
    return name == std::string::npos || name + 2 >= stat.size() || (stat[name + 2] != 'Z' && stat[name + 2] != 'X');
}

// Root keeps its records in /run; anyone else in their runtime folder (or /tmp as a last resort).
// The folder is made private when missing; one that exists must be this user's own folder that no
// one else may enter (in /tmp another user could have made it first, to plant or read records).
bool RuntimeBase(std::string& base) {
    if (geteuid() == 0) {
        base = "/run/mountex";
    } else {
        const char* xdg = std::getenv("XDG_RUNTIME_DIR");
        base = xdg && *xdg ? std::string(xdg) + "/mountex" : "/tmp/mountex-" + std::to_string(geteuid());
    }
    if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    return lstat(base.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

// One record folder per mount point, named after a hash of its real path (fixed length whatever the
// path). It holds "pid" (the serving process) and "view" (where the decrypted volume is exposed).
std::string RecordFolder(const std::string& base, const std::string& realMountPoint) {
    uint8_t sum[32];
    vlr::Sha256(reinterpret_cast<const uint8_t*>(realMountPoint.data()), realMountPoint.size(), sum);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", sum[i]);
    return base + "/" + hex;
}

std::string ViewVolume(const std::string& record) { return record + "/view/volume"; }

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

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The real path of `path`. A folder whose disk died cannot be looked at (its dead mount answers
// every question with ENOTCONN), so then its parent's real path and its own name stand for it.
bool RealPath(const std::string& path, std::string& real) {
    char buf[PATH_MAX];
    if (realpath(path.c_str(), buf)) {
        real = buf;
        return true;
    }
    if (errno != ENOTCONN) return false;
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const size_t slash = folder.rfind('/');
    const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || !realpath(FolderOf(folder).c_str(), buf)) return false;
    real = std::string(buf) + (std::strcmp(buf, "/") == 0 ? "" : "/") + name;
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

bool EmptyFolder(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return false;
    bool empty = true;
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) empty = false;
    closedir(dir);
    return empty;
}

// The serving process holds the volume key for as long as the disk is mounted: its memory is kept
// out of swap and out of core dumps (which also keeps other processes of the user from reading it
// through ptrace or /proc). Locking all future memory too is only safe where no lock limit applies:
// under a limit, an allocation that outgrows it would fail and take the disk down. Either lock may be
// refused; the disk is served all the same.
bool MayLockAllMemory() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY) return true;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 7, "CapEff:") == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> 14 & 1) != 0;  // CAP_IPC_LOCK
    return false;
}

void ProtectKeyMemory() {
    if (mlockall(MayLockAllMemory() ? MCL_CURRENT | MCL_FUTURE : MCL_CURRENT) != 0) {}
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

volatile sig_atomic_t gStopRequested = 0;
void OnStopSignal(int) { gStopRequested = 1; }

// The serving process of a mount: exposes the view, runs ntfs-3g on it until the NTFS volume is
// unmounted (by `unmount`, by umount, or by a stop signal here), then writes everything back and
// removes its traces. `ready` is the pipe on which the starting process waits for "ok" or an error;
// saying so on the status file is the starter's part.
// A server that is killed takes ntfs-3g with it, at once and without letting it unmount: its mount
// stays behind, dead, and fails every access. So nothing is taken in that can no longer reach the
// image, and nothing can be written into the bare folder beneath while a drive letter may still lead
// there. The next mount at that folder clears it (CheckMountPoint).
[[noreturn]] void Serve(vlr::CVlrImage& image, const std::string& mountPoint, const std::string& record,
                        int ready, const CStatusFile& status) {
    setsid();
    ProtectKeyMemory();
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
    // The disk is this user's alone: no_def_opts drops ntfs-3g's defaults allow_other (run as root it
    // would let every user in) and nonempty (a mount would hide what lies in the folder), the files
    // belong to this user with no rights for anyone else, and silent keeps chmod and chown, which
    // NTFS cannot store, from failing.
    const std::string options = "no_detach,no_def_opts,silent,uid=" + std::to_string(getuid()) +
                                ",gid=" + std::to_string(getgid()) + ",umask=077";
    const pid_t ntfs = Spawn({"ntfs-3g", "-o", options, view.VolumePath(), mountPoint}, true, true);
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

// Refuses a mount point that is not a folder, is being served, has something else mounted on it or
// holds anything; otherwise clears the traces of a server that died there (its dead mount included)
// and gives its real path.
Outcome CheckMountPoint(const std::string& base, const std::string& mountPoint, std::string& real) {
    struct stat st;
    if (!RealPath(mountPoint, real)) return {kExitNotFound, "no-mount-point"};
    const std::string record = RecordFolder(base, real);
    if (Alive(ReadPid(record))) return {kExitBusy, "busy"};
    std::string source;
    if (FindMount(real, &source) && source == ViewVolume(record)) umount2(real.c_str(), MNT_DETACH);
    if (stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {kExitNotFound, "no-mount-point"};
    if (IsMountPoint(real)) return {kExitBusy, "busy"};
    RemoveRecord(record);
    // Whatever lies there would be hidden under the disk; most likely it was saved through a drive
    // letter that outlived its disk, unencrypted. It stays in sight instead.
    if (!EmptyFolder(real)) return {kExitBusy, "not-empty"};
    // The folder is this user's alone, so that nothing saved there while no disk covers it (through
    // a letter that outlived its disk) is open to anyone else.
    if (chmod(real.c_str(), 0700) != 0) return {kExitNotFound, "no-mount-point"};
    return {kExitOk, nullptr};
}

// Ends the server just started for `real` (nothing can be open on its disk yet) and waits for it.
void StopServer(const std::string& real, pid_t server) {
    if (umount2(real.c_str(), 0) != 0) umount2(real.c_str(), MNT_DETACH);
    WaitExit(server);
}

// Serves the open `image` at the checked mount point `real` from a process of its own, which takes
// over the image's lock, and waits until the volume is mounted or has failed (the server has then
// said why on the status file). `notForServer` is a descriptor this process keeps and the server
// must not (-1 for none). On success `server` is the serving process, a child of this one.
int MountOpenImage(vlr::CVlrImage& image, int& imageLock, const std::string& base, const std::string& real,
                   const CStatusFile& status, int notForServer, pid_t& server) {
    const std::string record = RecordFolder(base, real);
    if (mkdir(record.c_str(), 0700) != 0 || mkdir((record + "/view").c_str(), 0700) != 0) {
        Unlock(imageLock);
        RemoveRecord(record);
        return Fail(status, {kExitFailed, "failed"}, "cannot make the record folder " + record);
    }

    // Close-on-exec, so that ntfs-3g does not hold the server's end: a server that dies before it
    // answers must end the wait below.
    int pipeFds[2];
    server = pipe2(pipeFds, O_CLOEXEC) == 0 ? fork() : -1;
    if (server < 0) {
        Unlock(imageLock);
        RemoveRecord(record);
        return Fail(status, {kExitFailed, "failed"}, "cannot start the serving process");
    }
    if (server == 0) {
        close(pipeFds[0]);
        if (notForServer >= 0) close(notForServer);
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
    // The next state is written to a new file of its own and renamed over the old one. Whatever
    // already has the temporary name (a leftover, or a link planted to make this process write
    // elsewhere) is removed, never opened.
    const std::string temp = path_ + ".tmp";
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(temp.c_str(), flags, 0600);
    if (fd < 0 && errno == EEXIST && unlink(temp.c_str()) == 0) fd = open(temp.c_str(), flags, 0600);
    if (fd < 0) return;
    const std::string text = std::string("state=") + state + "\nresult=" + result + "\npid=" +
                             std::to_string(getpid()) + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    if (!written || std::rename(temp.c_str(), path_.c_str()) != 0) unlink(temp.c_str());
}

int CreateCommand(const std::string& imagePath, uint32_t sizeMB, const std::string& mountPoint,
                  vlr::CSecretBuffer& password, const CStatusFile& status) {
    status.Report("working", "ok");
    if (sizeMB < vlr::kMinSizeMB || sizeMB > vlr::kMaxSizeMB)
        return Fail(status, {kExitBadArgument, "bad-size"}, "the size must be 100 to 11264 MB");
    std::string base;
    if (!RuntimeBase(base)) return Fail(status, {kExitFailed, "failed"}, "the record folder " + base + " is not private");
    std::string realMountPoint;
    if (!mountPoint.empty()) {
        const Outcome refused = CheckMountPoint(base, mountPoint, realMountPoint);
        if (refused.result) return Fail(status, refused, "cannot mount at " + mountPoint);
    }
    int oldImage = -1;
    if (LockImage(imagePath, oldImage) == ImageLock::Busy)
        return Fail(status, {kExitBusy, "busy"}, "the image is mounted: " + imagePath);
    // The image is written in full (no sparse file) beside the old one, which stays until the new
    // one is in use, so a volume without room for both fails now rather than after minutes of writing.
    const std::string folder = FolderOf(imagePath);
    struct statvfs fs;
    const uint64_t needed = vlr::ImageFileSize(uint64_t{sizeMB} * vlr::kSectorsPerMB);
    if (statvfs(folder.c_str(), &fs) == 0 && uint64_t{fs.f_bavail} * fs.f_frsize < needed) {
        Unlock(oldImage);
        return Fail(status, {kExitFailed, "no-space"}, "not enough free space for the image in " + folder);
    }

    // The new image is made beside the old one and takes its name only once it is complete and, when
    // a mount point is given, mounted: every failure before that leaves the old image as it was (or
    // nothing), never a half-made one.
    std::string temp = imagePath + ".XXXXXX";
    const int tempFd = mkstemp(&temp[0]);
    if (tempFd < 0) {
        Unlock(oldImage);
        return Fail(status, {kExitFailed, "failed"}, "cannot create a file beside " + imagePath);
    }
    close(tempFd);
    int newImage = -1;
    auto giveUp = [&](Outcome outcome, const std::string& message) {
        std::remove(temp.c_str());
        Unlock(newImage);
        Unlock(oldImage);
        return Fail(status, outcome, message);
    };

    vlr::CVlrImage image;
    const vlr::VlrResult r = image.CreateOpen(temp, sizeMB, password.data(), password.size());
    password.Wipe();
    if (!vlr::Succeeded(r)) return giveUp(FromImageResult(r), std::string("cannot create the image: ") + vlr::ResultName(r));

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
    if (formatted != 0 || !flushed || LockImage(temp, newImage) != ImageLock::Held) {
        image.Close();
        return giveUp({kExitFailed, "failed"}, error.empty() ? "mkntfs could not format the volume" : error);
    }
    if (realMountPoint.empty()) {
        image.Close();
        if (std::rename(temp.c_str(), imagePath.c_str()) != 0)
            return giveUp({kExitFailed, "failed"}, "cannot put the new image in place: " + imagePath);
        Unlock(newImage);
        Unlock(oldImage);
        status.Report("ready", "ok");
        return kExitOk;
    }
    // Mounted straight from the open image: no second key derivation, no second start. The server
    // keeps the new image's lock; the old image's stays here until the new one has taken its name.
    pid_t server = -1;
    if (MountOpenImage(image, newImage, base, realMountPoint, status, oldImage, server) != kExitOk)
        return giveUp({kExitFailed, "failed"}, "cannot mount the new image");
    if (std::rename(temp.c_str(), imagePath.c_str()) != 0) {
        StopServer(realMountPoint, server);
        return giveUp({kExitFailed, "failed"}, "cannot put the new image in place: " + imagePath);
    }
    Unlock(oldImage);
    status.Report("ready", "ok");
    return kExitOk;
}

int MountCommand(const std::string& imagePath, const std::string& mountPoint, vlr::CSecretBuffer& password,
                 const CStatusFile& status) {
    std::string base, real;
    if (!RuntimeBase(base)) {
        password.Wipe();
        return Fail(status, {kExitFailed, "failed"}, "the record folder " + base + " is not private");
    }
    const Outcome refused = CheckMountPoint(base, mountPoint, real);
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
    pid_t server = -1;
    if (MountOpenImage(image, imageLock, base, real, status, -1, server) != kExitOk) return kExitFailed;
    status.Report("ready", "ok");
    return kExitOk;
}

int UnmountCommand(const std::string& mountPoint, const CStatusFile& status) {
    std::string base, real;
    if (!RuntimeBase(base)) return Fail(status, {kExitFailed, "failed"}, "the record folder " + base + " is not private");
    if (!RealPath(mountPoint, real)) return Fail(status, {kExitBusy, "not-mounted"}, "no such folder: " + mountPoint);
    const std::string record = RecordFolder(base, real);
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

int CheckCommand(const std::string& mountPoint, const CStatusFile& status) {
    std::string base, real, source;
    struct stat st;
    if (RuntimeBase(base) && RealPath(mountPoint, real)) {
        const std::string record = RecordFolder(base, real);
        // Served: its server lives, the disk is its volume, and it answers.
        if (Alive(ReadPid(record)) && FindMount(real, &source) && source == ViewVolume(record) &&
            stat(real.c_str(), &st) == 0) {
            status.Report("ready", "ok");
            return kExitOk;
        }
    }
    status.Report("unmounted", "not-mounted");
    return kExitBusy;
}

}  // namespace mountex
