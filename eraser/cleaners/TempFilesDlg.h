#pragma once
// The temporary-files wiper (template 346, command 32879): the user's temporary folder measured,
// then every file in it zeroed whole and deleted and every folder below it removed; a summary
// (template 375) and a line in the erase log follow.
#include <cstdint>
#include <string>

#include "Controls.h"
#include "Dialog.h"

// "当前临时文件大小:" + "1.18 M" + "(1,234,567)" + " 字节": the unit part is left out under 1 KiB.
std::string TempSizeText(uint64_t size);
// A size in the summary: "0 字节", "999 字节", "1.21 K", "1.18 M", "5.00 G".
std::string SummarySizeText(uint64_t size);
// `value` in decimal with a comma before every group of three digits from the right.
std::string WithThousands(uint64_t value);

class CTempSummaryDlg : public CDialog {
public:
    explicit CTempSummaryDlg(HWND parent = nullptr);
    std::string erasedCount, erasedSize, keptCount, keptSize, title;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
};

class CTempFilesDlg : public CDialog {
public:
    explicit CTempFilesDlg(HWND parent = nullptr);

    // Measured when the dialog opens. Links are not counted (they are never followed); files whose
    // path would not fit 260 bytes are, though the wipe leaves them whole.
    uint64_t totalSize = 0;
    int totalCount = 0;
    // The wipe's progress.
    uint64_t written = 0;
    int percent = 0;
    int erasedCount = 0;
    uint64_t erasedSize = 0;
    int failureFlag = 0;  // set when a file could not be opened
    int cancelFlag = 0;   // set by OnCancel; never cleared
    std::string logPath;  // log.txt beside the program

protected:
    bool OnInitDialog() override;
    // Wipes, shows the summary, logs and closes.
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    // The temporary folder with its final backslash; empty when it would not fit its buffer.
    static std::string TempFolder();
    void Measure(const std::string& folder);
    void WipeTree(const std::string& folder);
    // True when the file was zeroed, flushed and deleted.
    bool WipeFile(const std::string& path, uint64_t size);

    std::string percentText_;
    CProgressCtrl progress_;
};
