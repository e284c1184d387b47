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

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
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

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

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
    WriteAll(mount_ + "/geheim-notiz.txt", note);
    WriteAll(mount_ + "/big.bin", big);
    ASSERT_EQ(mkdir((mount_ + "/folder").c_str(), 0755), 0);
    WriteAll(mount_ + "/folder/inner.txt", "inner");

    ASSERT_EQ(Host("unmount " + mount_ + " --status " + status_), 0);
    EXPECT_FALSE(IsMountPoint(mount_));
    EXPECT_FALSE(Contains(ReadAll("/proc/self/mountinfo"), "mountex-view")) << "the volume view was left mounted";
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

}  // namespace
