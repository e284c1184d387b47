#pragma once
// Outlook Express deleted mail (template 342, command 32877): the current user's "Deleted Items"
// store file is shown with its size, then zeroed whole in 512-byte blocks and deleted, with a line
// in the erase log.
#include <cstdint>
#include <string>

#include "Controls.h"
#include "Dialog.h"

// The store folder of the default identity's Outlook Express: "Store Root" of the first of the
// versions 4.0, 5.0, 6.0 and 7.0 that has a key, its environment variables expanded on the NT
// family. Empty when any of it is missing.
std::string FindOutlookStoreFolder();

// The size as the dialog shows it: "1023字节" under 1 KiB, else "%.2f KB", "%.2f MB" or "%.2f GB" of
// the size divided whole by the unit, so the decimals always read "00".
std::string MailSizeText(uint64_t size);

class COutlookMailDlg : public CDialog {
public:
    explicit COutlookMailDlg(HWND parent = nullptr);

    std::string storePath;  // the store file, found by OnInitDialog
    std::string logPath;    // log.txt beside the program
    int cancelFlag = 0;     // set by OnCancel, watched by the wipe

protected:
    bool OnInitDialog() override;
    // The wipe; it ends the dialog itself.
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    CProgressCtrl progress_;
};
