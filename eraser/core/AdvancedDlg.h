#pragma once
// The "高级..." dialog (template 336): the custom overwrite's fill pattern, pass count and write
// block, and whether the erase list is saved at exit. It shows and stores these in main.ini.
#include <string>

#include "Dialog.h"

class CAdvancedDlg : public CDialog {
public:
    // `nsaTicked`: the NSA box of the erase-method page that opens this dialog is ticked; the
    // dialog then shows "采用 NSA" and 6 passes whatever main.ini says. `iniPath` is main.ini.
    CAdvancedDlg(bool nsaTicked, const std::string& iniPath, HWND parent = nullptr);

protected:
    // Fills the combo boxes and shows what main.ini holds.
    bool OnInitDialog() override;
    // Rewrites the shown choices into main.ini, line by line, then ends with IDOK.
    void OnOK() override;

private:
    // Shows one line of main.ini in the controls it belongs to.
    void ShowIniLine(const std::string& line);
    // Checks radio button `id` of the fill patterns and clears the other four.
    void CheckPattern(int id);

    bool nsaTicked_;
    std::string iniPath_;
};
