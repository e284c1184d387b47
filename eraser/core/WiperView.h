#pragma once
// The eraser's view: the erase list (list control 1005 on form 101) and the file wipe engine that
// erases its items. The engine's members are defined in WipeEngine.cpp and Admission.cpp.
#include <cstdint>
#include <string>

#include "FormView.h"
#include "ListCtrl.h"
#include "WipeTypes.h"

class CWiperView : public CFormView {
public:
    CWiperView();

    // The erase list: sub-item 2 of each row holds the item's identity (a full path, or a drive's
    // letter and colon).
    CListCtrl& List() { return list_; }
    int GetItemCount() const { return list_.GetItemCount(); }
    std::string ItemPath(int row) const { return list_.GetItemText(row, 2); }

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
    bool CustomOverwrite(const std::string& path, DWORD savedAttributes, bool probeFirst);
    bool NsaOverwrite(const std::string& path, DWORD savedAttributes);
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
    // main.ini beside the program, fixed when the view is made.
    std::string iniPath;

protected:
    bool OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    // Accounts n written bytes and moves the bars; `nsa` selects the NSA weights.
    void AccountProgress(uint64_t n, bool nsa);

    CListCtrl list_;
};

// The size of a file as seen through a write-access open; 1 for a 2-character drive text; all bits
// set (after a message) when the file cannot be opened for writing.
uint64_t QueryWipeSize(const std::string& path);

// The directory of the program's own path, with its final backslash.
std::string ProgramDirectory();
