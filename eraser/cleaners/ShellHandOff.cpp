#include "ShellHandOff.h"

#include <shlobj.h>

#include <cstring>

#include "DropWindow.h"
#include "PurgixHandOff.h"

HDROP MakeDrop(const std::vector<std::string>& paths) {
    const std::string list = PackHandOff(paths);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
    if (!memory) return nullptr;
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

bool ReceiveHandOff(const COPYDATASTRUCT& data) {
    if (data.dwData != kHandOffTag || !g_dropWindow || !g_dropWindow->m_hWnd) return false;
    std::vector<std::string> paths;
    if (!ParseHandOff(static_cast<const char*>(data.lpData), data.cbData, paths) || paths.empty()) return false;
    // The checks may ask the user; the sender is not kept waiting for that.
    HDROP drop = MakeDrop(paths);
    if (!drop) return false;
    if (!::PostMessageA(g_dropWindow->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) {
        ::GlobalFree(drop);
        return false;
    }
    return true;
}
