#include "ShellExt.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <new>

#include "PurgixHandOff.h"

namespace {

HINSTANCE g_module = nullptr;
// Live objects, server locks and hand-offs still waiting for Purgix: the library stays loaded
// while any is left.
LONG g_locks = 0;

const char kMenuText[] = "用Purgix永久删除";
const char kVerb[] = "PurgixErase";
const char kHelpText[] = "用Purgix永久删除选中的文件和文件夹";
const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
// How long a hand-off waits for a Purgix it started (a start-up password may be asked first).
const DWORD kStartWaitMs = 120000;
const DWORD kPollMs = 200;

HWND FindPurgix() { return ::FindWindowA(kPurgixFrameClass, nullptr); }

bool SendPaths(HWND purgix, const std::string& block) {
    COPYDATASTRUCT copy = {};
    copy.dwData = kHandOffTag;
    copy.cbData = static_cast<DWORD>(block.size());
    copy.lpData = const_cast<char*>(block.data());
    DWORD_PTR answer = 0;
    return ::SendMessageTimeoutA(purgix, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 10000,
                                 &answer) &&
           answer;
}

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

struct PendingHandOff {
    std::string block;
    HANDLE process;
};

DWORD WINAPI WaitAndSend(void* parameter) {
    PendingHandOff* pending = static_cast<PendingHandOff*>(parameter);
    for (DWORD waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        if (HWND purgix = FindPurgix()) {
            // The window exists before the program takes messages; sending waits for that.
            SendPaths(purgix, pending->block);
            break;
        }
        // Purgix ended without a window (a wrong password, for example): nothing to hand over.
        if (::WaitForSingleObject(pending->process, kPollMs) == WAIT_OBJECT_0) break;
    }
    ::CloseHandle(pending->process);
    delete pending;
    ::InterlockedDecrement(&g_locks);
    return 0;
}

}  // namespace

std::string ModulePath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(g_module, path, sizeof path);
    return path;
}

bool HandToPurgix(const std::vector<std::string>& paths) {
    if (paths.empty()) return false;
    const std::string block = PackHandOff(paths);
    if (block.size() > kHandOffMaxBytes) return false;
    if (HWND purgix = FindPurgix()) return SendPaths(purgix, block);

    std::string commandLine = "\"" + PurgixProgram() + "\" /MyLockvale";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    auto* pending = new (std::nothrow) PendingHandOff{block, process.hProcess};
    if (!pending) {
        ::CloseHandle(process.hProcess);
        return false;
    }
    ::InterlockedIncrement(&g_locks);
    HANDLE thread = ::CreateThread(nullptr, 0, WaitAndSend, pending, 0, nullptr);
    if (!thread) {
        ::InterlockedDecrement(&g_locks);
        ::CloseHandle(process.hProcess);
        delete pending;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

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

STDMETHODIMP CPurgixMenu::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) {
    if ((flags & CMF_DEFAULTONLY) || firstId > lastId) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    if (!::InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, firstId, kMenuText)) return HRESULT_FROM_WIN32(::GetLastError());
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

STDMETHODIMP CPurgixMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info) return E_INVALIDARG;
    const char* verb = info->lpVerb;
    if (HIWORD(reinterpret_cast<ULONG_PTR>(verb)) != 0) {
        if (::lstrcmpiA(verb, kVerb) != 0) return E_INVALIDARG;
    } else if (LOWORD(reinterpret_cast<ULONG_PTR>(verb)) != 0) {
        return E_INVALIDARG;
    }
    return HandToPurgix(CollectPaths(data_)) ? S_OK : E_FAIL;
}

STDMETHODIMP CPurgixMenu::GetCommandString(UINT_PTR id, UINT type, UINT*, CHAR* name, UINT size) {
    if (id != 0 || !name || size == 0) return E_INVALIDARG;
    switch (type) {
    case GCS_VERBA:
        ::lstrcpynA(name, kVerb, static_cast<int>(size));
        return S_OK;
    case GCS_VERBW:
        ::MultiByteToWideChar(CP_ACP, 0, kVerb, -1, reinterpret_cast<LPWSTR>(name), static_cast<int>(size));
        return S_OK;
    case GCS_HELPTEXTA:
        ::lstrcpynA(name, kHelpText, static_cast<int>(size));
        return S_OK;
    case GCS_HELPTEXTW:
        ::MultiByteToWideChar(936, 0, kHelpText, -1, reinterpret_cast<LPWSTR>(name), static_cast<int>(size));
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
