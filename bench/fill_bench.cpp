// The free-space fill as the free-space wipe runs it, timed on one drive: zeroed temp files up to
// the last byte, then all of them deleted again. ./x bench gives the drive its letter here and
// compares the time with dd writing the same mount full.
//   fill_bench LETTER UNIX_FOLDER UNIX_DEVICE
// Prints "fill SECONDS BYTES TEMPFILES".
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "FreeSpaceFill.h"
#include "WineMountManager.h"

namespace {

class Silent : public FillObserver {
public:
    bool Cancelled() override { return false; }
    void Progress(int, unsigned) override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || !argv[1][0]) {
        std::fprintf(stderr, "usage: fill_bench LETTER UNIX_FOLDER UNIX_DEVICE\n");
        return 2;
    }
    const char letter = argv[1][0];
    if (!mountex::DefineUnixDrive(letter, argv[2], argv[3])) {
        std::fprintf(stderr, "cannot give %s the letter %c\n", argv[2], letter);
        return 1;
    }
    const std::string drive = std::string(1, letter) + ":";
    Win32FillVolume volume(drive);
    Silent observer;
    FreeSpaceFill fill(drive, volume, observer);
    const auto t0 = std::chrono::steady_clock::now();
    const FillResult result = fill.Run(volume.FreeBytes());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    mountex::RemoveUnixDrive(letter);
    if (result != FillResult::full) {
        std::fprintf(stderr, "the fill stopped before the drive was full (error %lu)\n", fill.LastError());
        return 1;
    }
    std::printf("fill %.3f %llu %u\n", seconds, static_cast<unsigned long long>(fill.Written()),
                static_cast<unsigned>(fill.TempFiles().size()));
    return 0;
}
