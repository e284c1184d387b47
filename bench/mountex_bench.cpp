// The secret disk as a Windows program feels it, one step per run so that ./x bench can empty the
// host's page cache between steps. Each timed verb prints its seconds.
//   mountex_bench create LETTER IMAGE MB    CreateImage (timed)
//   mountex_bench mount LETTER IMAGE        MountDisk
//   mountex_bench dismount LETTER           DisMountDisk
//   mountex_bench map LETTER UNIX_FOLDER    give a plain Unix folder a letter (the baseline)
//   mountex_bench unmap LETTER
//   mountex_bench write FILE MB             write MB MiB in 4 MiB blocks and flush (timed)
//   mountex_bench read FILE                 read the whole file in 4 MiB blocks (timed)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Mountex.h"
#include "WineMountManager.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kBlock = 4u << 20;
const char kPassword[17] = "bench-password";

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

int Timed(double seconds) {
    if (seconds < 0) return 1;
    std::printf("%.3f\n", seconds);
    return 0;
}

double Write(const char* path, unsigned long mb) {
    std::vector<char> block(kBlock);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    const auto t0 = Clock::now();
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    bool ok = true;
    for (unsigned long long done = 0; ok && done < (unsigned long long)mb << 20; done += kBlock) {
        DWORD wrote = 0;
        ok = ::WriteFile(file, block.data(), kBlock, &wrote, nullptr) && wrote == kBlock;
    }
    ok = ::FlushFileBuffers(file) && ok;
    ::CloseHandle(file);
    return ok ? Since(t0) : -1;
}

double Read(const char* path) {
    std::vector<char> block(kBlock);
    const auto t0 = Clock::now();
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    unsigned long long total = 0;
    while (::ReadFile(file, block.data(), kBlock, &got, nullptr) && got) total += got;
    ::CloseHandle(file);
    return total ? Since(t0) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    const char letter = argc > 2 ? argv[2][0] : 0;
    if (verb == "create" && argc == 5) {
        const auto t0 = Clock::now();
        return Timed(CreateImage(letter, argv[3], kPassword, std::strtoul(argv[4], nullptr, 10)) ? Since(t0) : -1);
    }
    if (verb == "mount" && argc == 4) return MountDisk(letter, argv[3], kPassword, 0) ? 0 : 1;
    if (verb == "dismount" && argc == 3) return DisMountDisk(letter) ? 0 : 1;
    if (verb == "map" && argc == 4) return mountex::DefineUnixDrive(letter, argv[3]) ? 0 : 1;
    if (verb == "unmap" && argc == 3) return mountex::RemoveUnixDrive(letter) ? 0 : 1;
    if (verb == "write" && argc == 4) return Timed(Write(argv[2], std::strtoul(argv[3], nullptr, 10)));
    if (verb == "read" && argc == 3) return Timed(Read(argv[2]));
    std::fprintf(stderr, "usage: see the comment at the top of mountex_bench.cpp\n");
    return 2;
}
