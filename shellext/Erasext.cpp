// Erasext.dll: the Explorer context-menu commands on files and folders: "用Purgix永久删除", and
// "移入秘密盘", which hands the selection to a running Lockvale.
#include <olectl.h>

#include <new>

#include "HandOffSend.h"
#include "ShellExt.h"

namespace {

const char kClassId[] = "{BD0591EF-66AF-471E-9402-0A6F8E4B8E82}";
const char kHandlerName[] = "Erasext";
// Files of every type, and folders.
const char* const kHandlerKeys[] = {"*\\shellex\\ContextMenuHandlers\\", "Directory\\shellex\\ContextMenuHandlers\\"};

const MenuCommand kMoveInCommand = {"移入秘密盘", "VeloraMoveIn", "把选中的文件和文件夹移入Velora的秘密盘"};
const char kNoLockvale[] = "Velora没有运行。\n\n请先启动Velora并开启秘密盘, 再移入文件。";

class CErasextMenu : public CPurgixMenu {
protected:
    std::vector<std::string> CollectPaths(IDataObject* data) override { return PathsOfDataObject(data); }
    std::vector<MenuCommand> Commands() const override { return {kEraseCommand, kMoveInCommand}; }
    HRESULT RunCommand(size_t index, const std::vector<std::string>& paths, HWND owner) override {
        if (index != 1) return CPurgixMenu::RunCommand(index, paths, owner);
        switch (HandToLockvale(paths)) {
        case LockvaleAnswer::taken:
            return S_OK;
        case LockvaleAnswer::notRunning:
            ::MessageBoxA(owner, kNoLockvale, "Velora", MB_OK | MB_ICONEXCLAMATION);
            return E_FAIL;
        case LockvaleAnswer::refused:
            break;
        }
        return E_FAIL;
    }
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
