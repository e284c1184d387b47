// Binshex.dll: the recycle bin's context-menu command "用Purgix永久删除", which hands everything in
// the current user's recycle bin on every fixed drive to Purgix.
#include <olectl.h>

#include <new>

#include "RecycleBin.h"
#include "ShellExt.h"

namespace {

const char kClassId[] = "{B425C915-F7F5-466B-8C17-B25BB47661F6}";
const char kHandlerKey[] =
    "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\shellex\\ContextMenuHandlers\\Binshex";

// ConvertSidToStringSidA exists from Windows 2000 on; looked up by name so that the library still
// loads on Windows 95/98/Me, which have no users' recycle-bin folders.
typedef BOOL(WINAPI* SidToTextFn)(PSID, LPSTR*);

// The current user's security identifier as text ("S-1-5-21-..."), or empty (Windows 95/98/Me).
std::string UserSid() {
    HMODULE advapi = ::GetModuleHandleA("advapi32.dll");
    const auto sidToText = advapi ? reinterpret_cast<SidToTextFn>(reinterpret_cast<void*>(
                                        ::GetProcAddress(advapi, "ConvertSidToStringSidA")))
                                  : nullptr;
    if (!sidToText) return std::string();
    HANDLE token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    std::string sid;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        char* text = nullptr;
        if (sidToText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            sid = text;
            ::LocalFree(text);
        }
    }
    ::CloseHandle(token);
    return sid;
}

class CBinshexMenu : public CPurgixMenu {
protected:
    std::vector<std::string> CollectPaths(IDataObject*) override {
        std::vector<std::string> paths;
        const std::string sid = UserSid();
        const DWORD drives = ::GetLogicalDrives();
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (!(drives & (1u << (letter - 'A')))) continue;
            const std::string root = std::string(1, letter) + ":\\";
            if (::GetDriveTypeA(root.c_str()) != DRIVE_FIXED) continue;
            for (const std::string& folder : RecycleBinFolders(root, sid)) {
                for (const std::string& item : RecycleBinItems(folder)) paths.push_back(item);
            }
        }
        return paths;
    }
};

}  // namespace

const CLSID kMenuClassId = {0xB425C915, 0xF7F5, 0x466B, {0x8C, 0x17, 0xB2, 0x5B, 0xB4, 0x76, 0x61, 0xF6}};

CPurgixMenu* CreateMenuObject() { return new (std::nothrow) CBinshexMenu; }

HRESULT RegisterLibrary() {
    if (RegisterServerClass(kClassId, "Purgix recycle bin extension") &&
        SetRegistryText(HKEY_CLASSES_ROOT, kHandlerKey, nullptr, kClassId)) {
        return S_OK;
    }
    UnregisterLibrary();
    return SELFREG_E_CLASS;
}

HRESULT UnregisterLibrary() {
    DeleteRegistryTree(HKEY_CLASSES_ROOT, kHandlerKey);
    UnregisterServerClass(kClassId);
    return S_OK;
}
