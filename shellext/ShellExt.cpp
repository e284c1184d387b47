#include "ShellExt.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <new>

#include "HandOffSend.h"

const MenuCommand kEraseCommand = {"用Purgix永久删除", "PurgixErase", "用Purgix永久删除选中的文件和文件夹"};

namespace {

HINSTANCE g_module = nullptr;
// Live objects, server locks and hand-offs still waiting for Purgix: the library stays loaded
// while any is left.
LONG g_locks = 0;

const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// The program beside this library first (as in the program folder), then wherever the system's
// App Paths entry puts "Purgix.exe" (the setup program records it there).
std::string PurgixProgram() {
    std::string path = ModulePath();
    size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos) {
        // The module path comes from the system in the ANSI code page; its last backslash is
        // found byte-wise only after checking no lead byte owns it.
        const char* start = path.c_str();
        const char* last = nullptr;
        for (const char* p = start; *p; p = ::CharNextExA(936, p, 0)) {
            if (*p == '\\') last = p;
        }
        std::string beside = std::string(start, last ? last - start + 1 : 0) + "Purgix.exe";
        if (::GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    }
    char found[MAX_PATH] = {};
    DWORD size = sizeof found;
    if (::SHGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Purgix.exe",
                      nullptr, nullptr, found, &size) == ERROR_SUCCESS) {
        return found;
    }
    return "Purgix.exe";
}

}  // namespace

std::string ModulePath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(g_module, path, sizeof path);
    return path;
}

bool HandToPurgix(const std::vector<std::string>& paths) { return HandToPurgix(paths, PurgixProgram(), &g_locks); }

std::vector<std::string> PathsOfDataObject(IDataObject* data) {
    std::vector<std::string> paths;
    if (!data) return paths;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium))) return paths;
    HDROP drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
    if (drop) {
        const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
            std::string path(length + 1, '\0');
            path.resize(::DragQueryFileA(drop, i, &path[0], length + 1));
            if (!path.empty()) paths.push_back(path);
        }
        ::GlobalUnlock(medium.hGlobal);
    }
    ::ReleaseStgMedium(&medium);
    return paths;
}

// ---- The menu object. ----

CPurgixMenu::CPurgixMenu() { ::InterlockedIncrement(&g_locks); }

CPurgixMenu::~CPurgixMenu() {
    if (data_) data_->Release();
    ::InterlockedDecrement(&g_locks);
}

STDMETHODIMP CPurgixMenu::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellExtInit)) {
        *out = static_cast<IShellExtInit*>(this);
    } else if (IsEqualIID(riid, IID_IContextMenu)) {
        *out = static_cast<IContextMenu*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CPurgixMenu::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) CPurgixMenu::Release() {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CPurgixMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    if (data_) data_->Release();
    data_ = data;
    if (data_) data_->AddRef();
    return S_OK;
}

std::vector<MenuCommand> CPurgixMenu::Commands() const { return {kEraseCommand}; }

HRESULT CPurgixMenu::RunCommand(size_t index, const std::vector<std::string>& paths, HWND) {
    if (index != 0) return E_INVALIDARG;
    return HandToPurgix(paths) ? S_OK : E_FAIL;
}

STDMETHODIMP CPurgixMenu::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    const std::vector<MenuCommand> commands = Commands();
    UINT added = 0;
    for (const MenuCommand& command : commands) {
        if (firstId + added > lastId) break;
        if (!::InsertMenuA(menu, index + added, MF_BYPOSITION | MF_STRING, firstId + added, command.text)) {
            return added ? MAKE_HRESULT(SEVERITY_SUCCESS, 0, added) : HRESULT_FROM_WIN32(::GetLastError());
        }
        ++added;
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, added);
}

STDMETHODIMP CPurgixMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info) return E_INVALIDARG;
    const std::vector<MenuCommand> commands = Commands();
    const char* verb = info->lpVerb;
    size_t chosen = commands.size();
    if (HIWORD(reinterpret_cast<ULONG_PTR>(verb)) != 0) {
        for (size_t i = 0; i < commands.size(); ++i)
            if (::lstrcmpiA(verb, commands[i].verb) == 0) chosen = i;
    } else {
        chosen = LOWORD(reinterpret_cast<ULONG_PTR>(verb));
    }
    if (chosen >= commands.size()) return E_INVALIDARG;
    return RunCommand(chosen, CollectPaths(data_), info->hwnd);
}

STDMETHODIMP CPurgixMenu::GetCommandString(UINT_PTR id, UINT type, UINT*, CHAR* name, UINT size) {
    const std::vector<MenuCommand> commands = Commands();
    if (id >= commands.size() || !name || size == 0) return E_INVALIDARG;
    const MenuCommand& command = commands[id];
    switch (type) {
    case GCS_VERBA:
        ::lstrcpynA(name, command.verb, static_cast<int>(size));
        return S_OK;
    case GCS_VERBW:
        ::MultiByteToWideChar(CP_ACP, 0, command.verb, -1, reinterpret_cast<LPWSTR>(name), static_cast<int>(size));
        return S_OK;
    case GCS_HELPTEXTA:
        ::lstrcpynA(name, command.help, static_cast<int>(size));
        return S_OK;
    case GCS_HELPTEXTW:
        ::MultiByteToWideChar(936, 0, command.help, -1, reinterpret_cast<LPWSTR>(name), static_cast<int>(size));
        return S_OK;
    case GCS_VALIDATEA:
    case GCS_VALIDATEW:
        return S_OK;
    }
    return E_INVALIDARG;
}

// ---- The class factory and the exports. ----

namespace {

class CFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory: it is never deleted.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        CPurgixMenu* menu = CreateMenuObject();
        if (!menu) return E_OUTOFMEMORY;
        HRESULT result = menu->QueryInterface(riid, out);
        menu->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            ::InterlockedIncrement(&g_locks);
        } else {
            ::InterlockedDecrement(&g_locks);
        }
        return S_OK;
    }
};

CFactory g_factory;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        ::DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kMenuClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return RegisterLibrary(); }

STDAPI DllUnregisterServer() { return UnregisterLibrary(); }

}  // extern "C"

// ---- Registration. ----

bool SetRegistryText(HKEY root, const std::string& key, const char* name, const std::string& value) {
    HKEY handle;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = ::RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

void DeleteRegistryTree(HKEY root, const std::string& key) { ::SHDeleteKeyA(root, key.c_str()); }

bool RegisterServerClass(const char* clsid, const char* description) {
    const std::string key = std::string("CLSID\\") + clsid;
    // The approval only matters where Explorer enforces it; a user without the right to write it
    // still gets the class.
    SetRegistryText(HKEY_LOCAL_MACHINE, kApprovedKey, clsid, description);
    return SetRegistryText(HKEY_CLASSES_ROOT, key, nullptr, description) &&
           SetRegistryText(HKEY_CLASSES_ROOT, key + "\\InprocServer32", nullptr, ModulePath()) &&
           SetRegistryText(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", "Apartment");
}

void UnregisterServerClass(const char* clsid) {
    DeleteRegistryTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid);
    HKEY approved;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
        ::RegDeleteValueA(approved, clsid);
        ::RegCloseKey(approved);
    }
}
