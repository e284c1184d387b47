#pragma once
// Files and folders handed over by the shell extensions (WM_COPYDATA to the main window, see
// shellext/PurgixHandOff.h) join the erase list exactly as a drop on the small drop window does.
#include <windows.h>

#include <string>
#include <vector>

// Takes a hand-off block: when it is well formed and the drop window exists, the paths are posted
// to the drop window as a drop and true is returned. The block belongs to the sender and is copied.
bool ReceiveHandOff(const COPYDATASTRUCT& data);

// A drop (as Explorer makes one: DROPFILES and the ANSI paths) of `paths`; DragFinish frees it.
// Null when it cannot be allocated.
HDROP MakeDrop(const std::vector<std::string>& paths);
