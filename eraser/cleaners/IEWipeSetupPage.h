#pragma once
// The browser-history page of the settings sheet (template 135, "清除历史记录"): which traces the
// clean-up removes, as the skip1..skip4 and skip6 switches of main.ini (skip5 is only ever read by
// the clean-up). A help button beside each box explains it in the text on the right.
#include <string>

#include "PropertySheet.h"

class IEWipeSetupPage : public CPropertyPage {
public:
    // `iniPath`: the main.ini the page reads and rewrites.
    explicit IEWipeSetupPage(const std::string& iniPath);

protected:
    bool OnInitDialog() override;
    // Rewrites skip2, skip3, skip4, skip6 and skip1 in that order, each line in place; a key missing
    // from main.ini stays missing.
    bool OnApply() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void OnHelp() override;

private:
    std::string iniPath_;
};
