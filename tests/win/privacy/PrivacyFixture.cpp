#include "PrivacyFixture.h"

#include <cstdio>
#include <cstring>

#include "EngineFixture.h"
#include "HostShell.h"
#include "ImportHook.h"

namespace privacy_test {

namespace {

typedef BOOL(WINAPI* DeleteFn)(LPCSTR);
DeleteFn realDelete = nullptr;
bool watching = false;
std::vector<Deletion> deletions;

BOOL WINAPI WatchedDelete(LPCSTR path) {
    if (watching) deletions.push_back({path, ReadBytes(path), engine_test::FlushCount()});
    return realDelete(path);
}

// Waits up to `rounds` times 20 ms for `done`, handling this thread's messages meanwhile.
void PumpUntil(const std::function<bool()>& done, int rounds = 250) {
    for (int wait = 0; wait < rounds && !done(); ++wait) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(20);
    }
}

}  // namespace

DeletionWatch::DeletionWatch() {
    engine_test::FlushCount();  // counting starts here
    if (!realDelete) {
        void* real = HookKernel32Import("DeleteFileA", reinterpret_cast<void*>(&WatchedDelete));
        realDelete = reinterpret_cast<DeleteFn>(real);
    }
    deletions.clear();
    watching = realDelete != nullptr;
}

DeletionWatch::~DeletionWatch() { watching = false; }

const std::vector<Deletion>& DeletionWatch::Deletions() const { return deletions; }

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Screenshot(HWND window, const std::string& name) {
    char out[MAX_PATH] = {};
    if (!::GetEnvironmentVariableA("PURGIX_OUT_DIR", out, sizeof out)) return;
    const std::string folder = std::string(out) + "/screenshots";
    const std::string png = folder + "/" + name + ".png", marker = png + ".done";
    std::string winMarker = "Z:" + marker;  // the host's root as Wine's drive Z:
    for (char& c : winMarker) c = c == '/' ? '\\' : c;
    std::remove(winMarker.c_str());
    // A modal dialog shows itself only once its loop first idles; the script runs before that.
    if (!::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOW);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntil([] { return false; }, 15);
    StartHostProgram("/bin/sh -c \"mkdir -p '" + folder + "' && import -window root '" + png + "'; touch '" + marker + "'\"");
    PumpUntil([&] { return Exists(winMarker); });
    std::remove(winMarker.c_str());
}

}  // namespace privacy_test
