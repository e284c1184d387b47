// The secret disk end to end on this machine: mountex-host creates and formats an image, mounts it
// with ntfs-3g through its FUSE view, and unmounts it; files written survive, the password is
// enforced, the image shows nothing of them, and the inner NTFS volume checks clean afterwards.
// Needs root and FUSE; skips itself otherwise.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "VlrImage.h"
#include "VolumeView.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

bool IsMountPoint(const std::string& path) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.find(" " + path + " ") != std::string::npos) return true;
    return false;
}

// Runs mountex-host with `args`, feeding `password` and a line feed on its standard input.
int Host(const std::string& args, const std::string& password = "") {
    const std::string cmd = std::string(MOUNTEX_HOST) + " " + args + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "w");
    if (!p) return -1;
    if (!password.empty()) std::fprintf(p, "%s\n", password.c_str());
    const int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Runs a shell command as the unprivileged user "nobody"; true when it succeeded.
bool AsNobody(const std::string& command) {
    return system(("runuser -u nobody -- sh -c '" + command + "' >/dev/null 2>&1").c_str()) == 0;
}

// The record folder of the disk served at `mountPoint`: the mount's source is "<record>/view/volume".
std::string RecordOf(const std::string& mountPoint) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(" " + mountPoint + " ") == std::string::npos) continue;
        std::istringstream fields(line.substr(line.find(" - ") + 3));
        std::string type, source;
        fields >> type >> source;
        const size_t view = source.rfind("/view/volume");
        if (view != std::string::npos) return source.substr(0, view);
    }
    return std::string();
}

// The serving process of the disk at `mountPoint`, or 0.
pid_t ServerOf(const std::string& mountPoint) {
    std::ifstream in(RecordOf(mountPoint) + "/pid");
    long pid = 0;
    return (in >> pid) ? static_cast<pid_t>(pid) : 0;
}

// A line of /proc/PID/status ("VmLck:" ...), without its name.
std::string ProcStatus(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, name.size(), name) == 0) return line.substr(name.size());
    return std::string();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    FILE* p = popen(("ls -A '" + folder + "' 2>/dev/null").c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p)) names.push_back(buf);
    if (p) pclose(p);
    return names;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// The source of the mount at `mountPoint` in /proc/self/mountinfo (for the disk, the decrypted volume
// in its view folder), or empty. Other disks may be open on the machine at the same time.
std::string MountSource(const std::string& mountPoint) {
    std::istringstream lines(ReadAll("/proc/self/mountinfo"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        fields >> id >> parent >> device >> root >> point;
        const size_t dash = line.find(" - ");
        if (point != mountPoint || dash == std::string::npos) continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source;
        tail >> type >> source;
        return source;
    }
    return std::string();
}

std::string Utf16(const std::string& ascii) {
    std::string s;
    for (char c : ascii) {
        s += c;
        s += '\0';
    }
    return s;
}

class MountexChain : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "the full chain needs root (FUSE and ntfs-3g mounts)";
        if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "FUSE is not available";
        if (system("command -v ntfs-3g >/dev/null && command -v mkntfs >/dev/null && command -v ntfsfix >/dev/null") != 0)
            GTEST_SKIP() << "ntfs-3g tools are missing";
        char tmpl[] = "/tmp/mountex-chain-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        image_ = dir_ + "/secret.vlr";
        mount_ = dir_ + "/X";
        status_ = dir_ + "/status";
        ASSERT_EQ(mkdir(mount_.c_str(), 0755), 0);
    }
    void TearDown() override {
        if (dir_.empty()) return;
        if (IsMountPoint(mount_)) {
            Host("unmount " + mount_);
            if (IsMountPoint(mount_)) umount2(mount_.c_str(), MNT_DETACH);
        }
        if (IsMountPoint(dir_ + "/small")) umount2((dir_ + "/small").c_str(), MNT_DETACH);
        rmdir((dir_ + "/small").c_str());
        std::remove(image_.c_str());
        std::remove(status_.c_str());
        rmdir(mount_.c_str());
        rmdir(dir_.c_str());
    }
    std::string Status() { return ReadAll(status_); }

    std::string dir_, image_, mount_, status_;
};

TEST_F(MountexChain, FilesSurviveUnmountAndOnlyTheRightPasswordMountsThem) {
    const std::string pw = "chain-pass-16byt";  // all 16 bytes
    const std::string note = "The secret note PLAINTEXT-CHAIN-MARKER lives only inside the disk.\n";
    std::string big(3 * 1024 * 1024 + 123, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);

    ASSERT_EQ(Host("create " + image_ + " 100 --status " + status_, pw), 0);
    EXPECT_TRUE(Contains(Status(), "state=ready\nresult=ok")) << Status();
    ASSERT_EQ(Host("mount " + image_ + " " + mount_ + " --status " + status_, pw), 0);
    ASSERT_TRUE(IsMountPoint(mount_)) << "mount reported success but nothing is mounted";
    EXPECT_TRUE(Contains(Status(), "state=ready\nresult=ok")) << Status();
    const std::string volume = MountSource(mount_);
    ASSERT_FALSE(volume.empty());
    const std::string viewFolder = volume.substr(0, volume.rfind('/'));
    WriteAll(mount_ + "/geheim-notiz.txt", note);
    WriteAll(mount_ + "/big.bin", big);
    ASSERT_EQ(mkdir((mount_ + "/folder").c_str(), 0755), 0);
    WriteAll(mount_ + "/folder/inner.txt", "inner");

    ASSERT_EQ(Host("unmount " + mount_ + " --status " + status_), 0);
    EXPECT_FALSE(IsMountPoint(mount_));
    EXPECT_FALSE(Contains(ReadAll("/proc/self/mountinfo"), " " + viewFolder + " ")) << "the volume view was left mounted";
    EXPECT_TRUE(Contains(Status(), "state=unmounted\nresult=ok")) << Status();

    // The image shows nothing of the volume: not the NTFS signature, record marker or metadata names,
    // not the file names (NTFS keeps them in UTF-16), not the contents.
    const std::string raw = ReadAll(image_);
    for (const std::string& marker : {std::string("NTFS    "), std::string("FILE0"), Utf16("$MFT"),
                                      Utf16("geheim-notiz"), std::string("PLAINTEXT-CHAIN-MARKER"),
                                      big.substr(1000, 16)})
        EXPECT_FALSE(Contains(raw, marker)) << "the image file shows \"" << marker << "\"";

    struct Attempt {
        std::string password;
        int exitCode;
        const char* result;
    } attempts[] = {
        {"chain-pass-16byX", 3, "result=wrong-password"},
        {"chain-pass-16byt!", 6, "result=bad-password"},  // a 17th byte is not ignored
        {"abc", 6, "result=bad-password"},
    };
    for (const Attempt& a : attempts) {
        EXPECT_EQ(Host("mount " + image_ + " " + mount_ + " --status " + status_, a.password), a.exitCode) << a.password;
        EXPECT_FALSE(IsMountPoint(mount_)) << a.password;
        EXPECT_TRUE(Contains(Status(), std::string("state=error\n") + a.result)) << Status();
    }

    ASSERT_EQ(Host("mount " + image_ + " " + mount_, pw), 0);
    EXPECT_EQ(ReadAll(mount_ + "/geheim-notiz.txt"), note);
    EXPECT_TRUE(ReadAll(mount_ + "/big.bin") == big) << "big.bin came back different";
    EXPECT_EQ(ReadAll(mount_ + "/folder/inner.txt"), "inner");
    EXPECT_EQ(Host("mount " + image_ + " " + mount_, pw), 7) << "a second mount on the same folder must be refused";
    ASSERT_EQ(Host("unmount " + mount_), 0);
    EXPECT_EQ(Host("unmount " + mount_), 7) << "unmounting twice must say nothing is mounted";

    // ntfsfix -n on the decrypted volume, exposed here the same way the helper does.
    vlr::CVlrImage image;
    ASSERT_EQ(image.Open(image_, reinterpret_cast<const uint8_t*>(pw.data()), pw.size()), vlr::VlrResult::Ok);
    const std::string viewDir = dir_ + "/view";
    ASSERT_EQ(mkdir(viewDir.c_str(), 0700), 0);
    mountex::CVolumeView view(image);
    std::string error;
    ASSERT_TRUE(view.Start(viewDir, error)) << error;
    const std::string cmd = "ntfsfix -n " + view.VolumePath() + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (p && fgets(buf, sizeof buf, p)) out += buf;
    const int st = p ? pclose(p) : -1;
    view.Stop();
    image.Close();
    rmdir(viewDir.c_str());
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << out;
    EXPECT_TRUE(Contains(out, "NTFS partition") && !Contains(out, "FAILED")) << out;
}

TEST_F(MountexChain, ADamagedOrMissingImageIsReportedAndNothingIsMounted) {
    ASSERT_EQ(Host("create " + image_ + " 100", "pass"), 0);
    struct stat st;
    ASSERT_EQ(stat(image_.c_str(), &st), 0);
    ASSERT_EQ(truncate(image_.c_str(), st.st_size - 4096), 0);
    EXPECT_EQ(Host("mount " + image_ + " " + mount_ + " --status " + status_, "pass"), 5);
    EXPECT_TRUE(Contains(Status(), "state=error\nresult=truncated")) << Status();
    EXPECT_EQ(Host("mount " + dir_ + "/none.vlr " + mount_ + " --status " + status_, "pass"), 4);
    EXPECT_TRUE(Contains(Status(), "state=error\nresult=not-found")) << Status();
    EXPECT_EQ(Host("create " + image_ + " 99 --status " + status_, "pass"), 6);
    EXPECT_TRUE(Contains(Status(), "result=bad-size")) << Status();
    EXPECT_FALSE(IsMountPoint(mount_));
}

TEST_F(MountexChain, AMountedDiskIsItsOwnersAndItsServerKeepsTheKeyInMemory) {
    // The folders above the mount point are open to all, so only the disk's own rights stand in the way.
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    ASSERT_EQ(Host("create " + image_ + " 100 " + mount_, "owner-pw"), 0);
    WriteAll(mount_ + "/private.txt", "for the owner only");
    ASSERT_EQ(ReadAll(mount_ + "/private.txt"), "for the owner only") << "the owner cannot read the disk";

    const std::string view = RecordOf(mount_) + "/view";
    ASSERT_NE(view, "/view") << "the disk is not served through a view";
    struct Attempt {
        const char* what;
        std::string command;
    } attempts[] = {
        {"list the disk", "ls " + mount_},
        {"read a file on the disk", "cat " + mount_ + "/private.txt"},
        {"make a file on the disk", "touch " + mount_ + "/planted.txt"},
        {"list the decrypted view", "ls " + view},
        {"read the decrypted volume", "head -c 512 " + view + "/volume"},
    };
    for (const Attempt& a : attempts) EXPECT_FALSE(AsNobody(a.command)) << "another user could " << a.what;

    // The server holds the volume key while the disk is mounted: its memory stays out of swap.
    const pid_t server = ServerOf(mount_);
    ASSERT_GT(server, 0);
    EXPECT_GT(std::atol(ProcStatus(server, "VmLck:").c_str()), 0) << "the serving process locks no memory";
    ASSERT_EQ(Host("unmount " + mount_), 0);
}

TEST_F(MountexChain, AFailedCreationLeavesTheImageItWasToReplaceByteIdentical) {
    ASSERT_EQ(Host("create " + image_ + " 100", "old-pass"), 0);
    const std::string old = ReadAll(image_);
    const std::string small = dir_ + "/small";
    ASSERT_EQ(mkdir(small.c_str(), 0700), 0);
    // Room for the old image and not for a second one beside it.
    ASSERT_EQ(mount("tmpfs", small.c_str(), "tmpfs", 0, "size=110m"), 0);
    WriteAll(small + "/secret.vlr", old);

    struct Case {
        const char* what;
        std::string image;
        std::function<void()> before;  // runs before the creation starts
        std::function<void()> during;  // runs while the new image is being made
    } cases[] = {
        {"a file lies in the mount folder", image_, [&] { WriteAll(mount_ + "/left.txt", "left behind"); }, nullptr},
        {"the mount folder goes away before the mount", image_, nullptr, [&] {
             // The new image is made beside the old one once the mount point was checked; then its folder goes.
             for (int i = 0; i < 20000; ++i) {
                 const std::vector<std::string> names = FolderEntries(dir_);
                 if (std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.rfind("secret.vlr.", 0) == 0; }))
                     break;
                 std::this_thread::sleep_for(std::chrono::milliseconds(1));
             }
             rmdir(mount_.c_str());
         }},
        {"the volume is full", small + "/secret.vlr", nullptr, nullptr},
    };
    WriteAll(status_, "");
    for (const Case& c : cases) {
        const std::vector<std::string> before = FolderEntries(FolderOf(c.image));
        if (c.before) c.before();
        std::thread during;
        if (c.during) during = std::thread(c.during);
        const int code = Host("create " + c.image + " 100 " + mount_ + " --status " + status_, "new-pass");
        if (during.joinable()) during.join();
        EXPECT_NE(code, 0) << c.what << ": the creation did not fail";
        EXPECT_TRUE(Contains(Status(), "state=error")) << c.what << ": " << Status();
        EXPECT_TRUE(ReadAll(c.image) == old) << c.what << ": the old image was changed or lost";
        if (IsMountPoint(mount_)) {
            ADD_FAILURE() << c.what << ": a disk was left mounted";
            Host("unmount " + mount_);
        }
        std::remove((mount_ + "/left.txt").c_str());
        mkdir(mount_.c_str(), 0755);
        EXPECT_EQ(FolderEntries(FolderOf(c.image)), before) << c.what << ": files were left beside the image";
    }
    umount2(small.c_str(), MNT_DETACH);
    rmdir(small.c_str());
}

TEST_F(MountexChain, AKilledServersFolderTakesNoFilesAndMountsAgain) {
    ASSERT_EQ(Host("create " + image_ + " 100 " + mount_, "pass1234"), 0);
    // Written through to the image before the server dies (what it held unwritten dies with it).
    const int kept = open((mount_ + "/kept.txt").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(kept, 0);
    ASSERT_EQ(write(kept, "kept", 4), 4);
    ASSERT_EQ(fsync(kept), 0);
    close(kept);
    ASSERT_EQ(Host("check " + mount_), 0) << "a live disk is not reported as served";
    const pid_t server = ServerOf(mount_);
    ASSERT_GT(server, 0);
    ASSERT_EQ(kill(server, SIGKILL), 0);
    for (int i = 0; i < 100 && ProcStatus(server, "State:").find('Z') == std::string::npos && kill(server, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_NE(Host("check " + mount_ + " --status " + status_), 0) << "a dead disk is reported as served";
    EXPECT_TRUE(Contains(Status(), "result=not-mounted")) << Status();
    const int written = open((mount_ + "/after.txt").c_str(), O_WRONLY | O_CREAT, 0600);
    EXPECT_LT(written, 0) << "a file could be made where the dead disk was";
    if (written >= 0) close(written);

    // The next mount there clears what the dead server left and serves the disk again.
    ASSERT_EQ(Host("mount " + image_ + " " + mount_ + " --status " + status_, "pass1234"), 0) << Status();
    EXPECT_EQ(ReadAll(mount_ + "/kept.txt"), "kept");
    ASSERT_EQ(Host("unmount " + mount_), 0);

    // Whatever lies in the bare folder would be hidden under the disk: the mount is refused and it stays.
    WriteAll(mount_ + "/stray.txt", "stray");
    EXPECT_EQ(Host("mount " + image_ + " " + mount_ + " --status " + status_, "pass1234"), 7);
    EXPECT_TRUE(Contains(Status(), "state=error\nresult=not-empty")) << Status();
    EXPECT_FALSE(IsMountPoint(mount_));
    EXPECT_EQ(ReadAll(mount_ + "/stray.txt"), "stray");
    std::remove((mount_ + "/stray.txt").c_str());
}

TEST_F(MountexChain, TheStatusFileNeverWritesThroughALink) {
    const std::string victim = dir_ + "/victim";
    WriteAll(victim, "untouched");
    ASSERT_EQ(symlink(victim.c_str(), (status_ + ".tmp").c_str()), 0);
    EXPECT_EQ(Host("unmount " + dir_ + "/none --status " + status_), 7);
    EXPECT_EQ(ReadAll(victim), "untouched") << "the helper wrote through a planted link";
    EXPECT_TRUE(Contains(Status(), "state=error\nresult=not-mounted")) << Status();
    std::remove(victim.c_str());
    std::remove((status_ + ".tmp").c_str());
}

}  // namespace
