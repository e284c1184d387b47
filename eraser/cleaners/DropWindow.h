#pragma once
// The small drop window (template 268): a 42 x 42 picture that stays above every other window,
// two-thirds opaque, on which files and folders from Explorer are dropped for the erase list. A
// double-click hides or restores the main window, a right-click opens menu 270, F1 opens its
// help. Enter and Esc never close it; it lives from the program's start to its exit.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Dialog.h"

class CWiperView;

class CDropWindow : public CDialog {
public:
    CDropWindow();
    ~CDropWindow() override;

    // Makes the window (shown, top-most, at its fixed place).
    bool Create() { return CDialog::Create(nullptr); }

    // The picture follows the erase list: bitmap 333 while it is empty, 332 while it holds rows.
    void SetListEmpty(bool empty);
    bool IsListEmpty() const { return listEmpty_ != 0; }

    // Adds the dropped items to the erase list, each after its checks; a refused item gets its
    // message and the rest of the drop goes on. Frees the drop.
    void DropFiles(HDROP drop);

    // Enables and greys the items of menu 270 for the windows as they are now.
    void PrepareMenu(HMENU popup);

    // Set by the view while the erase list shows large icons: rows added here then take large icons.
    bool largeIcons = false;
    // Command 32865 hides the window when this is clear and shows it when set; it flips each time.
    bool hiddenByCommand = false;

protected:
    bool OnInitDialog() override;
    // Enter and Esc: swallowed, the window stays.
    void OnOK() override {}
    void OnCancel() override {}
    bool OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // The three checks before an item joins the list; false after the refusal's message.
    bool CheckDrive(CWiperView& view, const std::string& path);
    bool CheckFolder(CWiperView& view, const std::string& path);
    bool CheckMediaAndOverlap(CWiperView& view, const std::string& path);
    void AddFolder(CWiperView& view, const std::string& path);
    void AddFile(CWiperView& view, const std::string& path);
    // The system image-list index of the item's icon, and the system list lent to the erase list.
    int IconFor(CWiperView& view, const std::string& path, bool folder);
    void ShowMenu();

    HBITMAP fullPicture_ = nullptr;   // bitmap 332
    HBITMAP emptyPicture_ = nullptr;  // bitmap 333
    int listEmpty_ = 1;
};

// The one drop window of the process (null until start-up makes it and after exit deletes it).
extern CDropWindow* g_dropWindow;

// Makes the drop window once the main window exists (it shows at once), and deletes it at exit.
void CreateDropWindow();
void DeleteDropWindow();
// Checks the drop-window button of the toolbar while the window is not hidden by command 32865.
void ShowDropWindowState();

// The main window's view, or null before it is made.
CWiperView* MainView();

// Hides the main window the way the drop window and its menu do: minimised first, then hidden.
void HideMainWindow();
