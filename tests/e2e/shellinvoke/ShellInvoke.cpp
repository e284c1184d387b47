// shellinvoke CLSID [--command N] [PATH ...]: does what Explorer does with a registered context-menu
// extension. Makes CLSID through COM (in-process server from the registry), initialises it with a
// data object of the PATHs (none: no selection, as on the recycle bin), adds its commands to a menu,
// prints the text of command N (the first, 0, unless given), chooses it, and waits (at most two minutes) until the library says it may be
// unloaded, that is until any hand-off it started has finished. Exit 0 when all of that worked.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "SelectionData.h"

namespace {

int Fail(const char* what, HRESULT result) {
    std::fprintf(stderr, "shellinvoke: %s (0x%08lx)\n", what, static_cast<unsigned long>(result));
    return 1;
}

// The server library's DllCanUnloadNow, found through the class's registration.
HRESULT CanUnload(const std::string& clsid) {
    char path[MAX_PATH] = {};
    LONG size = sizeof path;
    if (::RegQueryValueA(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid + "\\InprocServer32").c_str(), path, &size) !=
        ERROR_SUCCESS) {
        return E_FAIL;
    }
    HMODULE module = ::GetModuleHandleA(path);
    if (!module) return S_OK;
    auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    return canUnload ? canUnload() : E_FAIL;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: shellinvoke CLSID [--command N] [PATH ...]\n");
        return 2;
    }
    const std::string clsidText = argv[1];
    int first = 2;
    UINT command = 0;
    if (argc > 3 && std::string(argv[2]) == "--command") {
        command = static_cast<UINT>(std::atoi(argv[3]));
        first = 4;
    }
    std::vector<std::string> paths(argv + first, argv + argc);
    wchar_t wide[64] = {};
    ::MultiByteToWideChar(CP_ACP, 0, clsidText.c_str(), -1, wide, 64);
    CLSID clsid;
    HRESULT result = ::CLSIDFromString(wide, &clsid);
    if (FAILED(result)) return Fail("not a class id", result);

    ::CoInitialize(nullptr);
    IShellExtInit* init = nullptr;
    result = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    if (FAILED(result)) return Fail("the class cannot be made", result);
    SelectionData selection(paths);
    result = init->Initialize(nullptr, paths.empty() ? nullptr : &selection, nullptr);
    if (FAILED(result)) return Fail("Initialize failed", result);
    IContextMenu* menu = nullptr;
    result = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    if (FAILED(result)) return Fail("no IContextMenu", result);
    HMENU popup = ::CreatePopupMenu();
    result = menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL);
    if (FAILED(result) || static_cast<UINT>(HRESULT_CODE(result)) <= command) return Fail("no such command was added", result);
    char text[128] = {};
    ::GetMenuStringA(popup, 1 + command, text, sizeof text, MF_BYCOMMAND);
    std::printf("command: %s\n", text);
    ::DestroyMenu(popup);

    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(command);
    info.nShow = SW_SHOWNORMAL;
    result = menu->InvokeCommand(&info);
    menu->Release();
    init->Release();
    if (FAILED(result)) return Fail("the command failed", result);
    for (int waited = 0; CanUnload(clsidText) != S_OK; waited += 100) {
        if (waited > 120000) return Fail("the hand-off did not finish", S_FALSE);
        ::Sleep(100);
    }
    if (selection.refs != 1) return Fail("the data object was not released", static_cast<HRESULT>(selection.refs));
    ::CoUninitialize();
    return 0;
}
