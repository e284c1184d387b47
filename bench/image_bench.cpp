// Throughput of the secret disk's image layer, printed as one table:
//   - sector encryption of the image layer against libgcrypt's AES-256-XTS called directly,
//   - creating a 1 GiB image against dd writing 1 GiB of zeros with fsync,
//   - sequential write and read of a file through a mounted secret disk against the same on a plain
//     ntfs-3g image (root only),
//   - the time to open an image with its password.
// Usage: image_bench MOUNTEX_HOST WORK_FOLDER
#include <gcrypt.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "VlrImage.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

constexpr size_t kCipherBytes = 64u << 20;
constexpr int kCipherRounds = 8;
constexpr uint64_t kFileBytes = 512ull << 20;
constexpr size_t kIoBlock = 1u << 20;
const char kPassword[] = "bench-pass";

void Row(const char* what, double seconds, double bytes, double baselineSeconds, const char* goal) {
    const double rate = bytes / 1048576.0 / seconds;
    const double baseRate = bytes / 1048576.0 / baselineSeconds;
    std::printf("%-34s %9.3f s %9.1f MiB/s   ratio %5.2f  (goal %s)\n", what, seconds, rate, rate / baseRate, goal);
}

double RawXts(const std::vector<uint8_t>& key, std::vector<uint8_t>& buf, size_t unit) {
    gcry_cipher_hd_t hd;
    gcry_cipher_open(&hd, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_XTS, 0);
    gcry_cipher_setkey(hd, key.data(), key.size());
    uint8_t tweak[16] = {};
    const auto t0 = Clock::now();
    for (int r = 0; r < kCipherRounds; ++r)
        for (size_t at = 0; at < buf.size(); at += unit) {
            const uint64_t n = at / unit;
            for (int b = 0; b < 8; ++b) tweak[b] = static_cast<uint8_t>(n >> (8 * b));
            gcry_cipher_setiv(hd, tweak, sizeof tweak);
            gcry_cipher_encrypt(hd, buf.data() + at, unit, nullptr, 0);
        }
    const double s = Since(t0);
    gcry_cipher_close(hd);
    return s;
}

double LayerXts(const std::vector<uint8_t>& key, std::vector<uint8_t>& buf) {
    vlr::CSecretBuffer secret(key.data(), key.size());
    vlr::CSectorCipher cipher;
    cipher.SetKey(secret);
    const auto t0 = Clock::now();
    for (int r = 0; r < kCipherRounds; ++r) cipher.Encrypt(0, buf.size() / vlr::kSectorSize, buf.data(), buf.data());
    return Since(t0);
}

int Run(const std::string& cmd, const std::string& input = "") {
    FILE* p = popen((cmd + " >/dev/null 2>&1").c_str(), "w");
    if (!p) return -1;
    if (!input.empty()) std::fprintf(p, "%s\n", input.c_str());
    const int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

double Timed(const std::string& cmd) {
    const auto t0 = Clock::now();
    return Run(cmd) == 0 ? Since(t0) : -1;
}

// Writes kFileBytes into `path` and makes it durable; returns seconds.
double WriteFile(const std::string& path) {
    std::vector<char> block(kIoBlock);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    const auto t0 = Clock::now();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return -1;
    for (uint64_t done = 0; done < kFileBytes; done += block.size())
        if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) return -1;
    fsync(fd);
    close(fd);
    return Since(t0);
}

double ReadFile(const std::string& path) {
    std::vector<char> block(kIoBlock);
    const auto t0 = Clock::now();
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    uint64_t done = 0;
    for (ssize_t n; (n = read(fd, block.data(), block.size())) > 0;) done += static_cast<uint64_t>(n);
    close(fd);
    return done == kFileBytes ? Since(t0) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: image_bench MOUNTEX_HOST WORK_FOLDER\n");
        return 2;
    }
    const std::string host = argv[1], work = argv[2];
    vlr::InitCrypto();

    std::vector<uint8_t> key(64), buf(kCipherBytes, 0x5A);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 13 + 1);
    const double bytes = double(kCipherBytes) * kCipherRounds;
    // Best of three each, after a warm-up pass that pages the buffer in.
    RawXts(key, buf, vlr::kSectorSize);
    double raw512 = 1e9, rawBig = 1e9, layer = 1e9;
    for (int i = 0; i < 3; ++i) {
        raw512 = std::min(raw512, RawXts(key, buf, vlr::kSectorSize));
        rawBig = std::min(rawBig, RawXts(key, buf, 1u << 20));
        layer = std::min(layer, LayerXts(key, buf));
    }
    std::printf("%-34s %9s   %9s         %s\n", "image layer", "time", "rate", "against");
    Row("sector encryption (vs raw, 512 B)", layer, bytes, raw512, ">= 0.8");
    Row("sector encryption (vs raw, 1 MiB)", layer, bytes, rawBig, "for reference");

    const std::string image = work + "/bench.vlr", zeros = work + "/zeros.bin";
    const double dd = Timed("dd if=/dev/zero of=" + zeros + " bs=4M count=256 conv=fsync");
    std::remove(zeros.c_str());
    auto t0 = Clock::now();
    const vlr::VlrResult created = vlr::CVlrImage::Create(image, 1024, reinterpret_cast<const uint8_t*>(kPassword),
                                                          sizeof kPassword - 1);
    const double create = Since(t0);
    if (created != vlr::VlrResult::Ok || dd < 0) {
        std::printf("creating a 1 GiB image: failed (%s)\n", vlr::ResultName(created));
        return 1;
    }
    // dd's time is the baseline; a ratio of creation time to dd time is what the goal bounds.
    std::printf("%-34s %9.3f s   dd %.3f s   time ratio %5.2f  (goal <= 1.5)\n", "create 1 GiB image", create, dd,
                create / dd);

    double open = 0;
    for (int i = 0; i < 3; ++i) {
        vlr::CVlrImage img;
        t0 = Clock::now();
        if (img.Open(image, reinterpret_cast<const uint8_t*>(kPassword), sizeof kPassword - 1) != vlr::VlrResult::Ok) {
            std::printf("opening: failed\n");
            return 1;
        }
        open += Since(t0) / 3;
    }
    std::printf("%-34s %9.3f s   (Argon2id t=%u m=%u KiB p=%u, mean of 3)\n", "open with password", open,
                vlr::kDefaultKdfCost.passes, vlr::kDefaultKdfCost.memoryKiB, vlr::kDefaultKdfCost.lanes);

    if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0) {
        std::printf("mounted volume: skipped (needs root and FUSE)\n");
        std::remove(image.c_str());
        return 0;
    }
    std::remove(image.c_str());
    const std::string mnt = work + "/mnt", plain = work + "/plain.img";
    mkdir(mnt.c_str(), 0755);
    // 0: the secret disk through mountex-host; 1: a plain NTFS image under ntfs-3g. Each is measured
    // twice, alternating, and the better time kept, so a burst of other load does not decide the ratio.
    double w[2] = {1e9, 1e9}, r[2] = {1e9, 1e9};
    bool ok = Run(host + " create " + image + " 1024", kPassword) == 0 &&
              Run("dd if=/dev/zero of=" + plain + " bs=4M count=256 conv=fsync") == 0 &&
              Run("mkntfs -Q -F -q -s 512 -p 0 -H 255 -S 63 " + plain) == 0;
    const std::string mountSecret = host + " mount " + image + " " + mnt, unmountSecret = host + " unmount " + mnt;
    for (int round = 0; ok && round < 2; ++round)
        for (int which = 0; ok && which < 2; ++which) {
            const bool secret = which == 0;
            auto mountIt = [&] {
                return secret ? Run(mountSecret, kPassword) == 0 : Run("ntfs-3g " + plain + " " + mnt) == 0;
            };
            auto unmountIt = [&] {
                if (secret) return Run(unmountSecret) == 0;  // returns once the image is written back
                const bool done = Run("umount " + mnt) == 0;
                sleep(2);  // ntfs-3g finishes writing back after umount returns
                return done;
            };
            double t;
            ok = mountIt() && (t = WriteFile(mnt + "/seq.bin")) > 0 && unmountIt();
            if (ok) w[which] = std::min(w[which], t);
            ok = ok && mountIt() && (t = ReadFile(mnt + "/seq.bin")) > 0 && unmountIt();
            if (ok) r[which] = std::min(r[which], t);
        }
    if (!ok) {  // a failure may have left either volume mounted
        Run(host + " unmount " + mnt);
        Run("umount " + mnt);
        sleep(2);
    }
    std::remove(image.c_str());
    std::remove(plain.c_str());
    rmdir(mnt.c_str());
    if (!ok) std::printf("mounted volume: a mount or transfer failed\n");
    if (ok) Row("mounted: sequential write 512 MiB", w[0], double(kFileBytes), w[1], ">= 0.7 of plain ntfs-3g");
    if (ok) Row("mounted: sequential read 512 MiB", r[0], double(kFileBytes), r[1], ">= 0.7 of plain ntfs-3g");
    return 0;
}
