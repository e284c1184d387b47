#include "AdvancedDlg.h"

#include <vector>

#include "Controls.h"
#include "MainIni.h"
#include "resource.h"

namespace {

// The fill-pattern buttons in the order of the codes they store, radio=1 .. radio=5.
const int kPatternButtons[] = {IDC_RADIO_0000, IDC_RADIO_1111, IDC_RADIO_0101, IDC_RADIO_1010, IDC_RADIO_NSA};

// Item i of the pass combo stores EraserTimes=i+1.
const char* const kPassItems[] = {"1", "2", "3", "4", "5", "6"};
// Item i of the buffer combo stores BufferSize=i+1, the last item (10 MiB) BufferSize=0.
const char* const kBufferItems[] = {"1   M", "2   M", "3   M", "4   M", "5   M",
                                    "6   M", "7   M", "8   M", "9   M", "10  M"};
const int kPassCount = sizeof kPassItems / sizeof kPassItems[0];
const int kBufferCount = sizeof kBufferItems / sizeof kBufferItems[0];

}  // namespace

CAdvancedDlg::CAdvancedDlg(bool nsaTicked, const std::string& iniPath, HWND parent)
    : CDialog(IDD_ADVANCED, parent), nsaTicked_(nsaTicked), iniPath_(iniPath) {}

bool CAdvancedDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CComboBox passes(::GetDlgItem(m_hWnd, IDC_COMBO_PASSES));
    CComboBox buffer(::GetDlgItem(m_hWnd, IDC_COMBO_BUFFER));
    for (const char* item : kPassItems) passes.AddString(item);
    for (const char* item : kBufferItems) buffer.AddString(item);

    // Opening creates a missing main.ini (empty: it then stores nothing). A file that cannot be
    // opened leaves every control empty.
    if (!ScanIniLines(iniPath_, kIniCreate, [this](const std::string& line) {
            ShowIniLine(line);
            return true;
        })) {
        return true;
    }
    if (nsaTicked_) {
        CheckPattern(IDC_RADIO_NSA);
        passes.SetCurSel(kPassCount - 1);
    } else {
        // Without the NSA option the NSA pattern cannot be chosen here; a stored radio=5 shows as 写0000.
        CheckDlgButton(IDC_RADIO_NSA, BST_UNCHECKED);
        GetDlgItem(IDC_RADIO_NSA).EnableWindow(false);
    }
    return true;
}

void CAdvancedDlg::ShowIniLine(const std::string& line) {
    if (!IsValidIniLine(line)) return;
    size_t equals = line.find('=');
    if (equals == std::string::npos) return;
    const std::string key = line.substr(0, equals);
    const int digit = line[equals + 1] - '0';
    if (key == "radio") {
        // With the NSA option ticked the file's pattern is not shown at all.
        if (!nsaTicked_) CheckPattern(digit == 5 ? IDC_RADIO_0000 : kPatternButtons[digit - 1]);
    } else if (key == "SaveList") {
        if (digit == 1) CheckDlgButton(IDC_SAVE_LIST, BST_CHECKED);
    } else if (key == "BufferSize") {
        CComboBox(::GetDlgItem(m_hWnd, IDC_COMBO_BUFFER)).SetCurSel(digit == 0 ? kBufferCount - 1 : digit - 1);
    } else if (key == "EraserTimes") {
        CComboBox(::GetDlgItem(m_hWnd, IDC_COMBO_PASSES)).SetCurSel(digit - 1);
    }
}

void CAdvancedDlg::CheckPattern(int id) {
    // One button at a time: a second radio line later in the file replaces the first, as it does for
    // an erase run.
    for (int button : kPatternButtons) CheckDlgButton(button, button == id ? BST_CHECKED : BST_UNCHECKED);
}

void CAdvancedDlg::OnOK() {
    std::vector<std::string> lines = {"[advance]"};
    for (int code = 1; code <= 5; ++code) {
        if (IsDlgButtonChecked(kPatternButtons[code - 1]) == BST_CHECKED) {
            lines.push_back("radio=" + std::to_string(code));
            break;
        }
    }
    lines.push_back(IsDlgButtonChecked(IDC_SAVE_LIST) == BST_CHECKED ? "SaveList=1" : "SaveList=0");
    // A combo without a selection (its line was missing or unreadable) leaves its line alone.
    int buffer = CComboBox(::GetDlgItem(m_hWnd, IDC_COMBO_BUFFER)).GetCurSel();
    if (buffer >= 0 && buffer < kBufferCount) {
        lines.push_back("BufferSize=" + std::to_string(buffer == kBufferCount - 1 ? 0 : buffer + 1));
    }
    int passes = CComboBox(::GetDlgItem(m_hWnd, IDC_COMBO_PASSES)).GetCurSel();
    if (passes >= 0 && passes < kPassCount) lines.push_back("EraserTimes=" + std::to_string(passes + 1));

    // Each line is its own rewrite from the start of the file. After a failure (already reported)
    // the rest would fail the same way, so one box is enough.
    for (const std::string& line : lines) {
        if (WriteIniLine(iniPath_, line) == IniWrite::failed) break;
    }
    EndDialog(IDOK);
}
