#pragma once
// The recoverable-files check (template 388): a deleted-file scan of the chosen disk in a worker
// thread, the found files listed with folder, time and size, filtered by type and date, sorted by
// column, and the first sector of a file's data previewed as hexadecimal or text.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Dialog.h"
#include "DiskVolume.h"
#include "ListCtrl.h"
#include "OsVersionInfo.h"

// One row's data.
struct DisplayRecord {
    std::string name;       // up to 254 characters
    std::string directory;  // with its trailing "\", up to 254
    std::string timeText;   // up to 29
    char residentData[512] = {};
    uint32_t sizeKb = 0;
    uint32_t firstCluster = 0;
};

class RecoverableFilesDialog : public CDialog {
public:
    // The collapsed dialog is 331 pixels high, or as high as its button row needs in a larger font.
    static constexpr int kCollapsedHeight = 331;
    static constexpr size_t kMaxRecords = 65530;
    // Sent by the worker when the scan has ended.
    static constexpr UINT kSearchDone = WM_USER + 320;

    explicit RecoverableFilesDialog(HWND parent = nullptr);
    ~RecoverableFilesDialog() override;

    CListCtrl& FoundList() { return list_; }
    // True from the start of a search until its worker has ended.
    bool WorkerRunning() const { return workerRunning_.load() != 0; }
    const uint8_t (&PreviewBuffer() const)[512] { return preview_; }
    // Today's day number (local midnight / 86400), taken when the object is made; tests move it.
    long today;

    // The handlers, reachable for tests as the controls reach them.
    void OnSearch();
    // Reads the first sector of row `row`'s data and shows it.
    void PreviewRow(int row);
    void SortByColumn(int column);

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static DWORD WINAPI SearchWorker(LPVOID self);
    void FillDiskList();
    char SelectedLetter() const;
    void ShowDiskInformation();
    // Message 0x40A: one found record, filtered and perhaps listed.
    void OnRecordFound(const diskfs::DeletedFileRecord& record);
    void OnSearchDone();
    void ShowPreview();
    void TogglePreview();
    void DrawDiskItem(const DRAWITEMSTRUCT& item);
    static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM self);

    CListCtrl list_;
    DiskVolume volume_;
    OsVersionInfo os_;
    uint8_t preview_[512] = {};
    std::vector<std::unique_ptr<DisplayRecord>> records_;
    std::atomic<int> searching_{0};
    std::atomic<int> workerRunning_{0};
    char searchLetter_ = 0;
    bool expanded_ = false;
    int fullHeight_ = 0;
    int collapsedHeight_ = kCollapsedHeight;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    HBITMAP drive_ = nullptr, driveMask_ = nullptr;
};

// Closing a long list on Windows 95/98/Me (template 392): takes the parent's rows away from the
// last, the bar showing the share left.
class ExitProgressDialog : public CDialog {
public:
    ExitProgressDialog(HWND parent, CListCtrl& rows);

protected:
    bool OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;

private:
    CListCtrl& rows_;
};

// The advanced search settings (template 394), kept in g_searchFilters.
class AdvancedSearchDialog : public CDialog {
public:
    explicit AdvancedSearchDialog(HWND parent = nullptr);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
};
