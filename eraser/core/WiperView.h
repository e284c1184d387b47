#pragma once
// The eraser's view: the erase list (list control 1005 on form 101) and the file wipe engine that
// erases its items. The engine's members are defined in WipeEngine.cpp and Admission.cpp.
#include <cstdint>
#include <memory>
#include <string>

#include "FormView.h"
#include "ImageList.h"
#include "ListCtrl.h"
#include "ListText.h"
#include "WipeTypes.h"

class CFile;
struct SettingsPages;

// Watches the overwrites: told after each pass of a file has been written and flushed to the disk,
// before the next pass begins. `pass` counts from 1 (the NSA scheme has 12). Null in the program.
class PassObserver {
public:
    virtual ~PassObserver() = default;
    virtual void PassWritten(const std::string& path, int pass) = 0;
};

class CWiperView : public CFormView {
public:
    CWiperView();

    // The erase list: sub-item 2 of each row holds the item's identity (a full path, or a drive's
    // letter and colon).
    CListCtrl& List() { return list_; }
    int GetItemCount() const { return list_.GetItemCount(); }
    std::string ItemPath(int row) const { return list_.GetItemText(row, 2); }

    // ---- Erase runs and the erase log. ----

    // Erase all (command 32782): asks when configured, erases every item, may end the program.
    void EraseAllCommand();
    // Erases the whole list from its last item to its first.
    void EraseAllRun();
    // Erase selected (command 32818).
    void EraseSelectedRun();
    // Sums the bytes the run will write (all items, or only the selected ones) and sets the bars;
    // false when the run must stop.
    bool PrepareTotals(bool selectedOnly);
    // True when main.ini holds the line "log=1".
    bool IsLogOn();
    // Appends "<time>    <path> 被删除" to log.txt.
    void LogErased(const std::string& path);
    // Appends one "<time>    <path> 未被删除" line per list item, from the last to the first.
    void LogNotErased();
    // Show log (command 32864): log.txt in Notepad.
    void ShowLog();
    // Saves the list and closes the main window, which ends the program.
    void ExitAfterErase();
    // An item a run erased: logged (when on), taken off the list, the count refreshed.
    void RemoveErasedItem(int index, const std::string& path);
    // The end of both runs: input back to the main window, the remaining items logged, the dialog gone.
    void FinishRun();
    // log.txt beside the program, fixed when the view is made.
    std::string logPath;

    // ---- The file wipe engine. Every Boolean result is true when the item was erased. ----

    // The write block: 1024 bytes once small1024 is set, else 256 once small256 is set, else bufferBytes.
    uint32_t ChooseBlockSize() const;
    // Measures the volume of `path` and sets (never clears) the small-volume flags.
    void UpdateSmallVolumeFlags(const std::string& path);
    // Reads the run's erase method from main.ini; false (after the file-error message) when the file
    // cannot be opened.
    bool LoadEraseSettings();
    // Read-only open probe; reports the cause with the framework's file-error box.
    bool CanOpenForRead(const std::string& path);
    // The overwrites measure the file first (QueryWipeSize); `measured` passes in that measurement
    // when the caller has just taken it.
    bool CustomOverwrite(const std::string& path, DWORD savedAttributes, bool probeFirst,
                         const uint64_t* measured = nullptr);
    bool NsaOverwrite(const std::string& path, DWORD savedAttributes, const uint64_t* measured = nullptr);
    // Renames the file to as many "0" as its name has bytes and deletes it under that name.
    void WipeFileName(const std::string& path);
    bool EraseFileItem(const std::string& path);
    bool WipeFolder(const std::string& folder);
    bool WipeDrive(const std::string& drive);

    // ---- Admission to the erase list; each refusal shows its message. ----
    bool CheckDriveAdmissible(const std::string& path);
    bool CheckFolderAdmissible(const std::string& path);
    bool CheckFileAdmissible(const std::string& path);

    // ---- Engine state. ----
    EraseSettings settings;
    EraseOptions options;
    int32_t small1024 = 0;
    int32_t small256 = 0;
    int32_t StageCounter = 0;
    uint64_t stageBase = 0;
    uint64_t delta = 0;
    int32_t writeProtect = 0;
    PassObserver* passObserver = nullptr;
    // main.ini beside the program, fixed when the view is made.
    std::string iniPath;

protected:
    bool OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    // Accounts n written bytes and moves the bars; `nsa` selects the NSA weights. The bars are
    // redrawn at most every kBarInterval milliseconds (a redraw costs more than writing a block).
    void AccountProgress(uint64_t n, bool nsa);
    // Puts the accounted positions on the bars now (at the end of every pass).
    void ShowBars();
    // Ends pass `pass` over `path`: flushed to the disk, bars shown, the observer told.
    void EndPass(CFile& file, const std::string& path, int pass);
    // The pass text: the stage (StageCounter + 1) over the number of stages.
    std::string PassText(bool nsa) const;
    // Writes one pass: `blocks` times the whole block, then its first `rest` bytes. False when the
    // user cancelled: the progress dialog is then gone and the file flushed and closed.
    bool WritePass(CFile& file, const unsigned char* block, uint32_t blockSize, uint64_t blocks, uint32_t rest,
                   bool nsa);

    static constexpr DWORD kBarInterval = 50;
    int barTotal_ = 0, barCurrent_ = 0;  // the positions the bars are to show
    DWORD barsShownAt_ = 0;              // tick count of their last redraw

    CListCtrl list_;

    // ==== The erase list: rows, commands, saving and restoring (WiperView.cpp, EraseList.cpp). ====
public:
    ~CWiperView() override;

    // How an attempt to put an item on the list ended. writeProtected: the drive check found the
    // medium write-protected (its message has been shown); an add of several items stops there.
    enum class AddResult { added, refused, writeProtected };

    // Puts a file on the list after the drive, file, size, read and duplicate checks.
    AddResult AddFileItem(const std::string& path);
    // Puts a folder, or a drive root such as "D:\" (which becomes the drive row "D:"), on the list
    // after the drive, folder and existence checks.
    AddResult AddFolderItem(const std::string& path);
    // Pane 0 of the frame's status bar: "文件数: N个".
    void RefreshFileCount();
    // Rewrites ListSave.ini: every row's path followed by "\r\n" through a text stream (CR CR LF)
    // when main.ini holds "SaveList=1", else nothing.
    void SaveList();
    // Reads ListSave.ini and adds a row for every entry that still exists.
    void RestoreList();
    // The list colours from the profile ("ColorSetting": "BkColor", "textColor"), and back.
    void ApplyColors();
    void SaveColors();

    void AddFilesCommand();
    void AddFolderCommand();
    void OpenItemCommand();
    // A click on the header of `column`: ascending, or the other way round when the same column
    // was sorted last.
    void SortByColumn(int column);
    // Enables and greys the entries of the context menu for the list as it is now.
    void PrepareContextMenu(HMENU popup);
    // The items of a drop, in order, until one meets a write-protected medium.
    void DropFiles(HDROP drop);
    // LVS_ICON, LVS_SMALLICON, LVS_LIST or LVS_REPORT; the report columns are made on first use.
    void SetDisplayMode(DWORD mode);

    void OnInitialUpdate() override;
    bool IsCommandEnabled(UINT id) override;
    // True when the view has a handler for command `id`.
    static bool HandlesCommand(UINT id);

    // ListSave.ini beside the program, fixed when the view is made.
    std::string listSavePath;

protected:
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static const CommandEntryOf<CWiperView> kCommands[];

    void OnSelectAll();
    void OnRemoveSelected();
    void OnLargeIcons() { SetDisplayMode(LVS_ICON); }
    void OnSmallIcons() { SetDisplayMode(LVS_SMALLICON); }
    void OnListMode() { SetDisplayMode(LVS_LIST); }
    void OnDetails() { SetDisplayMode(LVS_REPORT); }
    void OnGrid();
    // The system-information dialog (eraser/sysinfo/SystemInfoCommand.cpp).
    void OnSystemInfo();
    void OnProperties();
    void OnCloseCommand();
    void OnHelp();
    // The disk-level features (DiskCommands.cpp).
    void OnFreeSpaceWipe();
    void OnPartitionWipe();
    void OnRecoveryCheck();
    // The start-up password (eraser/cleaners/SetPassWordDlg.cpp).
    void OnSetPassword();
    // The drop window and the main window shown and hidden (eraser/cleaners/DropWindow.cpp).
    void OnDropWindow();
    void OnHideMainWindow();
    void OnShowMainWindow();
    // The privacy cleaners (eraser/cleaners/CleanerCommands.cpp).
    void OnIECleanup();
    void OnOutlookMail();
    void OnTempFiles();
    void OnShares();
    // The settings sheet (eraser/cleaners/SettingsCommand.cpp): 32828 and 32885 open it on the
    // interface page, 32780 on the erase-method page; none of them while it is open.
    void OnSettings();
    void OnSettingsMethod();
    void RunSettingsSheet(int firstPage);

    // Steps 2 to 5 of adding a file whose drive has been admitted.
    AddResult AddAdmittedFile(const std::string& path);
    // Appends a row: name, size text, path, type.
    int InsertRow(const RowTexts& texts, int image);
    // The system image-list index of the icon of `path` (a file, folder or drive root).
    int IconOf(const std::string& path) const;
    bool IsListed(const std::string& path) const;

    // The system's image lists, lent to the list control; never destroyed (see the destructor).
    CImageList smallIcons_;
    CImageList largeIcons_;
    bool columnsMade_ = false;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    // The sheet's three pages, made with the view; their windows are made anew at every opening.
    std::unique_ptr<SettingsPages> settingsPages_;
    bool settingsOpen_ = false;
};

// The size of a file as seen through a write-access open; 1 for a 2-character drive text; all bits
// set (after a message) when the file cannot be opened for writing.
uint64_t QueryWipeSize(const std::string& path);

// The small-volume rule for a measured volume size (0 when it could not be measured): below 2 MiB
// sets small256, strictly between 2 MiB and 10 MiB sets small1024. Nothing is ever cleared.
void MarkSmallVolume(uint64_t measured, int32_t& small1024, int32_t& small256);

// True for a junction, symbolic link or mount point: the engine removes such an entry as a link and
// never enters or overwrites what it points to.
bool IsLink(DWORD attributes);

// The directory of the program's own path, with its final backslash.
std::string ProgramDirectory();

// Appends "<time>    <entry>" to the erase log at `logPath` (the disk wipes write their outcome
// lines through it, whatever the log switch says).
void AppendLogEntry(const std::string& logPath, const std::string& entry);
