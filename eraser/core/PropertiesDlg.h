#pragma once
// The properties dialog of the erase list (template 340, "属性框"): how many files and folders the
// selected rows hold and how many bytes. A worker thread sums the sizes while the dialog is open;
// closing the dialog stops the worker and waits for it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Dialog.h"

class CPropertiesDlg : public CDialog {
public:
    // One selected row: its path (sub-item 2) and whether it is a file row (a row with a size).
    struct Item {
        std::string path;
        bool isFile;
    };

    CPropertiesDlg(std::vector<Item> items, HWND parent = nullptr);
    ~CPropertiesDlg() override;

    // The counters the worker fills; zero again once the dialog has closed.
    std::atomic<int32_t> fileCount{0};
    std::atomic<int32_t> folderCount{0};
    std::atomic<uint64_t> totalBytes{0};

    // The worker is running.
    bool IsCounting() const { return worker_ != nullptr; }

protected:
    bool OnInitDialog() override;
    // Enter and Escape do nothing: only the close box ends the dialog.
    void OnOK() override {}
    void OnCancel() override {}
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    // Counts the rows and adds up the bytes below each folder; returns early once stop_ is set.
    void Count();
    // Adds the sizes of every file below `folder`; links are never entered.
    void SumFolder(const std::string& folder);
    // Shows the counters in 1074, 1073 and 1066.
    void ShowCounts();
    // Stops the worker, waits for it and zeroes the counters.
    void StopWorker();

    std::vector<Item> items_;
    HWND notify_ = nullptr;  // the dialog's window, for the worker's one message
    HANDLE worker_ = nullptr;
    std::atomic<bool> stop_{false};
};

// Posted by the worker to the dialog when it has counted everything.
constexpr UINT WM_PROPERTIES_COUNTED = WM_APP + 0x140;
