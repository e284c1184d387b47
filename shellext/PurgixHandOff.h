#pragma once
// How the shell extensions hand files and folders to Purgix. A running Purgix is found by the class
// of its main window; the extension sends it WM_COPYDATA with dwData kHandOffTag and lpData the
// paths (ANSI, code page 936), each ended by a NUL byte, the list ended by one more NUL. Purgix
// copies them and treats them as a drop on its small drop window, so each path meets the checks
// and refusal texts of a drop. When no Purgix runs, the extension starts one with "/MyLockvale"
// and hands the paths over once its main window is there.
//
// Lockvale takes the same block with its own tag: Explorer's command "移入秘密盘" sends it to
// Lockvale's main dialog (class "#32770", title "Velora"), which moves the items into the open
// secret disk and, once every copy is verified, hands the originals to Purgix as above.
#include <string>
#include <vector>

const unsigned long kHandOffTag = 0x44584750;  // "PGXD"
const char kPurgixFrameClass[] = "PurgixFrame";
const unsigned long kMoveInTag = 0x4458564C;  // "LVXD"
const char kLockvaleDialogClass[] = "#32770";
const char kLockvaleTitle[] = "Velora";
// More than any selection a person makes; a larger block is refused whole.
const size_t kHandOffMaxBytes = 4u << 20;

// The block for a list of paths. Empty paths are left out.
inline std::string PackHandOff(const std::vector<std::string>& paths) {
    std::string block;
    for (const std::string& path : paths) {
        if (path.empty() || path.find('\0') != std::string::npos) continue;
        block += path;
        block += '\0';
    }
    block += '\0';
    return block;
}

// The paths of a block; false (and no paths) when the block is not a well-formed list: too large,
// or not ended by an empty string.
inline bool ParseHandOff(const char* data, size_t size, std::vector<std::string>& paths) {
    paths.clear();
    if (!data || size == 0 || size > kHandOffMaxBytes) return false;
    size_t at = 0;
    while (at < size) {
        size_t end = at;
        while (end < size && data[end] != '\0') ++end;
        if (end == size) break;  // a path without its NUL
        if (end == at) return at + 1 == size ? true : (paths.clear(), false);
        paths.emplace_back(data + at, end - at);
        at = end + 1;
    }
    paths.clear();
    return false;
}
