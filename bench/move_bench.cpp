// Moving into a mounted secret disk as Lockvale does it, for ./x bench move: the items are copied
// into the disk's root, flushed, read back and compared (the move class itself); the seconds are
// printed, then the copies are removed again (not timed). A name already on the disk is replaced.
//   move_bench ROOT ITEM...
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "GbkText.h"
#include "MoveIn.h"

namespace {

class Quiet : public MoveObserver {
public:
    bool Cancelled() override { return false; }
    void Progress(const std::string&, uint64_t, uint64_t) override {}
    bool Replace(const std::string&, bool) override { return true; }
};

void RemoveTree(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAA entry;
        HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = entry.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name);
            } while (::FindNextFileA(search, &entry));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(path.c_str());
    } else {
        ::DeleteFileA(path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: move_bench ROOT ITEM...\n");
        return 2;
    }
    const std::string root = gbk::WithBackslash(argv[1]);
    const std::vector<std::string> items(argv + 2, argv + argc);
    Win32MoveFiles files;
    Quiet observer;
    MoveIn move(root, std::string(), files, observer);
    const auto t0 = std::chrono::steady_clock::now();
    const MoveOutcome outcome = move.Run(items);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (const std::string& item : items) RemoveTree(root + gbk::NameOf(item));
    if (outcome != MoveOutcome::moved || move.Moved().size() != items.size()) {
        std::fprintf(stderr, "move_bench: the move failed (%d) at %s\n", static_cast<int>(outcome), move.FailedPath().c_str());
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}
