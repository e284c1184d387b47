#include "ErasureSetupPage.h"

#include "AdvancedDlg.h"
#include "MainIni.h"
#include "UiSeam.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/DelSet.htm";

// The options "选中所有选项" checks and locks, with their keys.
struct Option {
    int box;
    const char* key;
};
const Option kLockedOptions[] = {
    {IDC_NSA_WIPE, "wipe1"},    {IDC_WIPE_NAMES, "wipe2"},       {IDC_WIPE_EXTEND, "wipe3"},
    {IDC_CONFIRM_ERASE, "wipe4"}, {IDC_EXIT_AFTER_ERASE, "wipe6"},
};

}  // namespace

ErasureSetupPage::ErasureSetupPage(const std::string& iniPath) : CPropertyPage(IDD_ERASURE_SETUP), iniPath_(iniPath) {}

bool ErasureSetupPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    ScanIniLines(iniPath_, kIniReadOnly, [this](const std::string& line) {
        for (const Option& option : kLockedOptions) {
            if (line == std::string(option.key) + "=1") CheckDlgButton(option.box, BST_CHECKED);
        }
        if (line == "wipe5=1") {
            CheckDlgButton(IDC_SELECT_ALL_OPTIONS, BST_CHECKED);
            EnableOptions(false);
        }
        return true;
    });
    return true;
}

void ErasureSetupPage::EnableOptions(bool enable) {
    for (const Option& option : kLockedOptions) GetDlgItem(option.box).EnableWindow(enable);
}

void ErasureSetupPage::OnSelectAll() {
    bool all = IsDlgButtonChecked(IDC_SELECT_ALL_OPTIONS) == BST_CHECKED;
    for (const Option& option : kLockedOptions) {
        if (all) CheckDlgButton(option.box, BST_CHECKED);
    }
    EnableOptions(!all);
}

void ErasureSetupPage::OnAdvanced() {
    if (RunAdvancedDialog(IsDlgButtonChecked(IDC_NSA_WIPE) == BST_CHECKED) != IDOK) return;

    // The last fill-pattern line before the six-pass line decides: the NSA pattern ticks the box.
    bool seen = false, nsa = false;
    bool opened = ScanIniLines(iniPath_, kIniReadWrite, [&](const std::string& line) {
        if (line == "EraserTimes=6") return false;
        if (line == "radio=5") {
            GetDlgItem(IDC_NSA_WIPE).EnableWindow(true);
            seen = nsa = true;
        } else if (line == "radio=1" || line == "radio=2" || line == "radio=3" || line == "radio=4") {
            seen = true;
            nsa = false;
        }
        return true;
    });
    if (!opened) return;
    CheckDlgButton(IDC_NSA_WIPE, seen && nsa ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR ErasureSetupPage::RunAdvancedDialog(bool nsaTicked) {
    CAdvancedDlg dialog(nsaTicked, iniPath_, m_hWnd);
    return dialog.DoModal();
}

bool ErasureSetupPage::OnApply() {
    auto write = [this](int box, const char* key) {
        bool on = IsDlgButtonChecked(box) == BST_CHECKED;
        WriteIniLine(iniPath_, std::string(key) + (on ? "=1" : "=0"));
    };
    write(IDC_EXIT_AFTER_ERASE, "wipe6");
    write(IDC_SELECT_ALL_OPTIONS, "wipe5");
    EnableOptions(IsDlgButtonChecked(IDC_SELECT_ALL_OPTIONS) != BST_CHECKED);
    write(IDC_NSA_WIPE, "wipe1");
    write(IDC_WIPE_EXTEND, "wipe3");
    write(IDC_CONFIRM_ERASE, "wipe4");
    write(IDC_WIPE_NAMES, "wipe2");
    return CPropertyPage::OnApply();
}

bool ErasureSetupPage::OnCommand(UINT id, UINT code, HWND control) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_SELECT_ALL_OPTIONS:
        OnSelectAll();
        return true;
    case IDC_ADVANCED:
        OnAdvanced();
        return true;
    }
    return false;
}

void ErasureSetupPage::OnHelp() { Ui().ShowHelp(ProgramDirectory() + kHelpTopic); }
