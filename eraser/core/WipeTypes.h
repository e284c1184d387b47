#pragma once
// The erase method and the progress counters shared by the erase runs and the engine.
#include <atomic>
#include <cstdint>

// Fill pattern codes of the custom overwrite (main.ini "radio=N").
enum WipePattern : int32_t {
    kPattern0000 = 1,  // 0x00
    kPattern1111 = 2,  // 0xFF
    kPattern0101 = 3,  // 0x55
    kPattern1010 = 4,  // 0xAA
    kPatternNsa = 5,   // 0x00: the code alone does not select the NSA scheme
};

// The run's copy of the erase method, read from main.ini at the start of every run.
struct EraseSettings {
    int32_t pattern = kPattern0000;
    int32_t passes = 0;
    int32_t bufferBytes = 0x100000;
};

// The two switches of one run that the engine reads (main.ini wipe1 and wipe2).
struct EraseOptions {
    bool nsa = false;        // overwrite with the NSA scheme; pattern and passes are then ignored
    bool wipeNames = false;  // rename a wiped file before deleting it (not files inside a folder)
};

// Bytes a run will write and has written. Shared with the free-space wipe worker, hence atomic.
struct ProgressTotals {
    std::atomic<uint64_t> total{0};
    std::atomic<uint64_t> done{0};

    void Reset() {
        total = 0;
        done = 0;
    }
    // The whole-run percentage: done / (total / 100) when total is 100 or more, else done x 100 / total;
    // 0 while total is 0.
    uint64_t Percent() const;
};

extern ProgressTotals g_progressTotals;
