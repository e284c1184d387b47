#include "IEWipeSetupPage.h"

#include "MainIni.h"
#include "UiSeam.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/DelIE.htm";

// One trace: its box, its key line, its help button and the text that button shows. In the order
// OK writes them back.
struct Trace {
    int box;
    const char* key;
    int helpButton;
    const char* helpText;
};
const Trace kTraces[] = {
    {IDC_SKIP_URLS, "skip2", IDC_HELP_URLS, "删除浏览器地址栏的网址信息"},
    {IDC_SKIP_COOKIES, "skip3", IDC_HELP_COOKIES, "删除含有用户信息的Cookies文件"},
    {IDC_SKIP_HISTORY, "skip4", IDC_HELP_HISTORY, "删除浏览器的历史记录"},
    {IDC_SKIP_RECENT, "skip6", IDC_HELP_RECENT, "删除最近使用过的文件信息"},
    {IDC_SKIP_CACHE, "skip1", IDC_HELP_CACHE, "删除浏览器中的Cache文件"},
};

}  // namespace

IEWipeSetupPage::IEWipeSetupPage(const std::string& iniPath) : CPropertyPage(IDD_IE_WIPE_SETUP), iniPath_(iniPath) {}

bool IEWipeSetupPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    ScanIniLines(iniPath_, kIniReadOnly, [this](const std::string& line) {
        for (const Trace& trace : kTraces) {
            if (line == std::string(trace.key) + "=1") CheckDlgButton(trace.box, BST_CHECKED);
        }
        return true;
    });
    return true;
}

bool IEWipeSetupPage::OnApply() {
    for (const Trace& trace : kTraces) {
        bool on = IsDlgButtonChecked(trace.box) == BST_CHECKED;
        WriteIniLine(iniPath_, std::string(trace.key) + (on ? "=1" : "=0"));
    }
    return CPropertyPage::OnApply();
}

bool IEWipeSetupPage::OnCommand(UINT id, UINT code, HWND control) {
    if (code != BN_CLICKED) return false;
    for (const Trace& trace : kTraces) {
        if (static_cast<int>(id) == trace.helpButton) {
            SetDlgItemText(IDC_IE_HELP_TEXT, trace.helpText);
            return true;
        }
    }
    return false;
}

void IEWipeSetupPage::OnHelp() { Ui().ShowHelp(ProgramDirectory() + kHelpTopic); }
