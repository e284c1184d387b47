// Erasext.dll: the Explorer context-menu command "用Purgix永久删除" on files and folders.
#include <olectl.h>

#include <new>

#include "ShellExt.h"

namespace {

const char kClassId[] = "{BD0591EF-66AF-471E-9402-0A6F8E4B8E82}";
const char kHandlerName[] = "Erasext";
// Files of every type, and folders.
const char* const kHandlerKeys[] = {"*\\shellex\\ContextMenuHandlers\\", "Directory\\shellex\\ContextMenuHandlers\\"};

class CErasextMenu : public CPurgixMenu {
protected:
    std::vector<std::string> CollectPaths(IDataObject* data) override { return PathsOfDataObject(data); }
};

}  // namespace

const CLSID kMenuClassId = {0xBD0591EF, 0x66AF, 0x471E, {0x94, 0x02, 0x0A, 0x6F, 0x8E, 0x4B, 0x8E, 0x82}};

CPurgixMenu* CreateMenuObject() { return new (std::nothrow) CErasextMenu; }

HRESULT RegisterLibrary() {
    bool ok = RegisterServerClass(kClassId, "Purgix Explorer extension");
    for (const char* key : kHandlerKeys) ok = SetRegistryText(HKEY_CLASSES_ROOT, std::string(key) + kHandlerName, nullptr, kClassId) && ok;
    if (ok) return S_OK;
    UnregisterLibrary();
    return SELFREG_E_CLASS;
}

HRESULT UnregisterLibrary() {
    for (const char* key : kHandlerKeys) DeleteRegistryTree(HKEY_CLASSES_ROOT, std::string(key) + kHandlerName);
    UnregisterServerClass(kClassId);
    return S_OK;
}
