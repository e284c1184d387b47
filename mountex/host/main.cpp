// mountex-host: carries a .vlr secret disk on Linux, where the suite runs under Wine.
//
//   mountex-host create IMAGE SIZE_MB [MOUNTPOINT]  [--password-fd N] [--status FILE]
//   mountex-host mount IMAGE MOUNTPOINT        [--password-fd N] [--status FILE]
//   mountex-host unmount MOUNTPOINT            [--status FILE]
//   mountex-host check MOUNTPOINT              [--status FILE]   (is a disk served there?)
//
// The password is read from file descriptor N (standard input by default) up to a line feed or the
// end of input; it never appears on the command line or in the environment, where other users'
// processes could read it. Mountex.dll, under Wine, hands it over on a connected loopback socket as
// standard input, which Wine leaves non-blocking: a read that would block waits for the data.
// See HostCommands.h for the status file and the exit codes.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HostCommands.h"

namespace {

// More than a valid password can hold, so an overlong one reaches the image layer and is refused
// there instead of being cut to a valid length.
constexpr size_t kMaxPasswordRead = 64;
// How long a silent sender is waited for before the password counts as empty.
constexpr int kPasswordWaitMs = 30000;

vlr::CSecretBuffer ReadPassword(int fd) {
    vlr::CSecretBuffer buf(kMaxPasswordRead + 1);
    size_t n = 0;
    char c;
    while (n < buf.size()) {
        ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            struct pollfd ready = {fd, POLLIN, 0};
            if (poll(&ready, 1, kPasswordWaitMs) > 0) continue;
            break;
        }
        if (got <= 0 || c == '\n') break;
        buf.data()[n++] = static_cast<uint8_t>(c);
    }
    if (n > 0 && buf.data()[n - 1] == '\r') --n;
    vlr::CSecretBuffer password(buf.data(), n);
    vlr::WipeBytes(&c, 1);
    return password;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: mountex-host create IMAGE SIZE_MB [MOUNTPOINT] [--password-fd N] [--status FILE]\n"
                 "       mountex-host mount IMAGE MOUNTPOINT [--password-fd N] [--status FILE]\n"
                 "       mountex-host unmount MOUNTPOINT [--status FILE]\n"
                 "       mountex-host check MOUNTPOINT [--status FILE]\n");
    return mountex::kExitUsage;
}

bool ParseNumber(const char* s, unsigned long max, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(s, &end, 10);
    if (errno || end == s || *end || v > max) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words;
    std::string statusPath;
    unsigned long passwordFd = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--status" && i + 1 < argc) {
            statusPath = argv[++i];
        } else if (a == "--password-fd" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 1u << 20, passwordFd)) return Usage();
        } else {
            words.push_back(a);
        }
    }
    const mountex::CStatusFile status(statusPath);
    if ((words.size() == 3 || words.size() == 4) && words[0] == "create") {
        unsigned long sizeMB = 0;
        if (!ParseNumber(words[2].c_str(), 0xFFFFFFFFul, sizeMB)) return Usage();
        vlr::CSecretBuffer password = ReadPassword(static_cast<int>(passwordFd));
        return mountex::CreateCommand(words[1], static_cast<uint32_t>(sizeMB), words.size() == 4 ? words[3] : "",
                                      password, status);
    }
    if (words.size() == 3 && words[0] == "mount") {
        vlr::CSecretBuffer password = ReadPassword(static_cast<int>(passwordFd));
        return mountex::MountCommand(words[1], words[2], password, status);
    }
    if (words.size() == 2 && words[0] == "unmount") return mountex::UnmountCommand(words[1], status);
    if (words.size() == 2 && words[0] == "check") return mountex::CheckCommand(words[1], status);
    return Usage();
}
