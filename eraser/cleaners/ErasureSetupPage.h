#pragma once
// The erase-method page of the settings sheet (template 134, "擦除方式"): the wipe1..wipe6 switches
// of main.ini and the way into the advanced erase dialog. The boxes are filled from main.ini each
// time the page window is made; nothing is written before the sheet's OK.
#include <string>

#include "PropertySheet.h"

class ErasureSetupPage : public CPropertyPage {
public:
    // `iniPath`: the main.ini the page reads and rewrites.
    explicit ErasureSetupPage(const std::string& iniPath);

protected:
    bool OnInitDialog() override;
    // Rewrites wipe6, wipe5, wipe1, wipe3, wipe4 and wipe2 in that order, each line in place; a key
    // missing from main.ini stays missing.
    bool OnApply() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void OnHelp() override;
    // Runs the advanced dialog (template 336) modally, with its NSA choice selected when `nsaTicked`;
    // returns IDOK or IDCANCEL.
    virtual INT_PTR RunAdvancedDialog(bool nsaTicked);

private:
    // "选中所有选项" checked: the other visible options are checked and locked; clear: unlocked,
    // their checks kept.
    void OnSelectAll();
    // Runs the advanced dialog; after its OK box 1008 follows the fill pattern main.ini now holds.
    void OnAdvanced();
    // Enables or disables the five boxes that "选中所有选项" locks.
    void EnableOptions(bool enable);

    std::string iniPath_;
};
