#pragma once
// The disk wipe dialog (template 343) of the free-space wipe and the partition wipe, and the worker
// thread FreeSpaceWipeThread that fills the chosen drives, clears the names of their deleted files
// and reports each drive.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Dialog.h"
#include "ListCtrl.h"
#include "TextProgressBar.h"

// 1 = free-space wipe, 0 = partition wipe; read whenever a mode-dependent text is needed.
extern std::atomic<int> DiskWipeMode;
// 1 when the partition wipe offers fixed disks too (set by its warning dialog, and by every
// showing of the free-space wipe).
extern std::atomic<int> IncludeHardDisks;

// What one showing of the dialog shares with the worker it starts. The worker holds its own
// reference, so it never reaches into a dialog that has closed: after a cancel its messages to the
// vanished windows simply fail, and a later showing starts with fresh flags of its own.
struct DiskWipeRun {
    std::atomic<int> idle{1};      // 1 while no wipe runs
    std::atomic<int> cancel{0};    // set by a confirmed cancel
    std::atomic<int> finished{0};  // set when the worker has reported a drive
    std::atomic<int> mode{1};      // DiskWipeMode when the run started
    std::atomic<unsigned> tempNumber{0};
    std::atomic<uint64_t> driveFree{0};     // free bytes of the current drive at its start
    std::atomic<uint64_t> driveWritten{0};  // bytes written to it so far
    std::atomic<int> percent{0}, lastPercent{-1};
    HWND dialog = nullptr, list = nullptr, strip = nullptr;
    std::string logPath;
};

class DiskWipeDialog : public CDialog {
public:
    // Posted by the worker before it shows a box or when a drive is done: the dialog lets go of
    // the mouse (capture belongs to the dialog's thread).
    static constexpr UINT kReleaseMouse = WM_USER + 310;

    DiskWipeDialog();

    // log.txt beside the program; tests point it elsewhere.
    std::string logPath;
    // The run of the current showing (null before the first).
    std::shared_ptr<DiskWipeRun> Run() const { return run_; }
    // The worker's thread handle of the last start (kept, never waited on; closed at the next start).
    HANDLE WorkerHandle() const { return worker_; }
    CListCtrl& DriveList() { return list_; }

    // ---- The partition wipe (PartitionWipe.cpp). ----
    // Button 1 in partition mode: questions, system-drive check, the delete pass, then the fill.
    void StartPartitionWipe();
    // Empties one drive (such as "E:"); a removable drive is probed for writing first.
    void EmptyDrive(const std::string& drive);
    // Deletes everything below `folder` (with its final backslash); links are removed, never entered.
    void DeleteTree(const std::string& folder);
    std::string systemDrive;          // letter and colon of the system directory's drive
    std::atomic<int> abortFlag{0};    // a partition could not be written
    std::atomic<int> someNotDeleted{0};
    std::string partitionDrive;       // the drive being emptied

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FillDriveList();
    // Enables button 1 when a drive is selected and nothing runs.
    void UpdateStartButton();
    void RebuildInformation();
    // Starts FreeSpaceWipeThread for the current run.
    void StartWorker();
    void OnMouseMove(POINT at);
    // Lets go of the system image list and closes the dialog.
    void Close(int result);

    CListCtrl list_;
    TextProgressBar strip_;
    std::shared_ptr<DiskWipeRun> run_;
    HANDLE worker_ = nullptr;
};

// The one dialog of the process, reused for every showing.
DiskWipeDialog& TheDiskWipeDialog();

// The worker: fills every selected drive of `run` in list order and reports each. `parameter` is a
// heap-allocated std::shared_ptr<DiskWipeRun>, which the thread takes over.
DWORD WINAPI FreeSpaceWipeThread(LPVOID parameter);

// The PartitionWipeWarningDialog (template 387): its OK sets IncludeHardDisks from the check box.
class PartitionWipeWarningDialog : public CDialog {
public:
    explicit PartitionWipeWarningDialog(HWND parent = nullptr);

protected:
    void OnOK() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
};
