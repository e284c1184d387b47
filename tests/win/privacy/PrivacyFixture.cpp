#include "PrivacyFixture.h"

#include <cstdio>
#include <cstring>

#include "EngineFixture.h"
#include "HostShell.h"

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

// Points this program's import of kernel32's `name` at `replacement`; returns the real function.
void* HookImport(const char* name, void* replacement) {
    unsigned char* base = reinterpret_cast<unsigned char*>(::GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
        if (_stricmp(reinterpret_cast<char*>(base + dll->Name), "kernel32.dll") != 0 || !dll->OriginalFirstThunk) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* import = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(import->Name), name) != 0) continue;
            DWORD protection;
            ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
            void* real = reinterpret_cast<void*>(slot->u1.Function);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
            return real;
        }
    }
    return nullptr;
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
        realDelete = reinterpret_cast<DeleteFn>(HookImport("DeleteFileA", reinterpret_cast<void*>(&WatchedDelete)));
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
