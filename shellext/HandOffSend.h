#pragma once
// The sending side of the hand-offs (see PurgixHandOff.h), shared by the shell extensions and by
// Lockvale, which hands the originals of a verified move to Purgix.
#include <windows.h>

#include <string>
#include <vector>

// Sends `block` with `tag` to `target` as WM_COPYDATA; true when the window answered that it took it.
bool SendHandOff(HWND target, unsigned long tag, const std::string& block);

// Purgix's main window, or null when no Purgix runs.
HWND FindPurgix();

// Gives the paths to a running Purgix, or starts `program` with "/MyLockvale" and gives them once
// its main window exists; a worker thread waits for that, so the caller does not. While the worker
// lives, `pending` (may be null) is one higher: a library that runs it stays loaded. False when
// nothing could be handed over or started.
bool HandToPurgix(const std::vector<std::string>& paths, const std::string& program, LONG* pending);

enum class LockvaleAnswer {
    notRunning,  // no Lockvale window to take it
    refused,     // a Lockvale window is there but did not take the block
    taken,
};

// Gives the paths to a running Lockvale, which moves them into its open secret disk.
LockvaleAnswer HandToLockvale(const std::vector<std::string>& paths);
