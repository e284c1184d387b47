#pragma once
// What Erasext.dll and Binshex.dll share: the COM plumbing of an in-process Explorer context-menu
// extension whose first command is "用Purgix永久删除", its registration, and the hand-off to Purgix.
// Each library defines the three hooks at the end of this header.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

// One command of the menu: its text, its language-independent verb and its status-bar help.
struct MenuCommand {
    const char* text;
    const char* verb;
    const char* help;
};
// "用Purgix永久删除": the paths go to Purgix's erase list.
extern const MenuCommand kEraseCommand;

// The context-menu object Explorer makes for a right-click. Initialize is told what was clicked;
// a command collects the paths (CollectPaths) and carries itself out (RunCommand).
class CPurgixMenu : public IShellExtInit, public IContextMenu {
public:
    CPurgixMenu();
    virtual ~CPurgixMenu();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IShellExtInit: keeps the selection's data object for the command.
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;
    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR id, UINT type, UINT* reserved, CHAR* name, UINT size) override;

protected:
    // The paths the command hands over; `data` is the selection Explorer gave (may be null).
    virtual std::vector<std::string> CollectPaths(IDataObject* data) = 0;
    // The commands, in menu order; the first is kEraseCommand.
    virtual std::vector<MenuCommand> Commands() const;
    // Carries out command `index` of Commands() for `paths`; `owner` is Explorer's window (may be
    // null). Command 0 hands the paths to Purgix.
    virtual HRESULT RunCommand(size_t index, const std::vector<std::string>& paths, HWND owner);

private:
    LONG refs_ = 1;
    IDataObject* data_ = nullptr;
};

// The paths of a CF_HDROP data object (files and folders selected in Explorer), in order.
std::vector<std::string> PathsOfDataObject(IDataObject* data);

// Gives the paths to a running Purgix, or starts Purgix ("/MyLockvale") and gives them once its
// main window exists (a worker thread waits, so Explorer does not, and keeps the library loaded).
// False when nothing could be handed over or started.
bool HandToPurgix(const std::vector<std::string>& paths);

// The full path of this library.
std::string ModulePath();

// Registry helpers for DllRegisterServer / DllUnregisterServer, under HKEY_CLASSES_ROOT unless a
// root is given.
bool SetRegistryText(HKEY root, const std::string& key, const char* name, const std::string& value);
void DeleteRegistryTree(HKEY root, const std::string& key);
// The class key with its in-process server (this library, apartment threaded) and the approval
// Explorer looks for; and the removal of both.
bool RegisterServerClass(const char* clsid, const char* description);
void UnregisterServerClass(const char* clsid);

// ---- Provided by each library. ----
extern const CLSID kMenuClassId;
// A new menu object (reference count 1).
CPurgixMenu* CreateMenuObject();
HRESULT RegisterLibrary();
HRESULT UnregisterLibrary();
