// The advanced search settings and the exit progress of the recoverable-files check.
#include <windows.h>
#include <commctrl.h>

#include "Controls.h"
#include "RecoverableFilesDialog.h"
#include "RecoveryFilters.h"
#include "resource.h"

namespace {

// The types of the list, in resource order; the control sorts them.
const char* const kTypes[] = {
    "*.doc", "*.xls", "*.pub", "*.txt", "*.exe", "*.h",   "*.lzh", "*.cab", "*.ico", "*.htm", "*.hhc",
    "*.hhp", "*.avi", "*.hlp", "*.rtf", "*.wps", "*.arj", "*.gif", "*.pic", "*.png", "*.tif", "*.aif",
    "*.au",  "*.ram", "*.rm",  "*.mpg", "*.mov", "*.swf", "*.sys", "*.bat", "*.dot", "*.ocx", "*.chm",
    "*.pdf", "*.wav", "*.ini", "*.cur", "*.hm",  "*.zip", "*.rar", "*.log", "*.dll", "*.clw", "*.jpg",
    "*.bmp", "*.mp3", "*.cpp", "*.c",   "*.*",   "*.html", "*.rc",
};
const size_t kMaxExtension = 100;
const UINT_PTR kExitTimer = 1;

void EnablePickers(HWND dialog, bool enable) {
    ::EnableWindow(::GetDlgItem(dialog, IDC_DATE_FROM), enable);
    ::EnableWindow(::GetDlgItem(dialog, IDC_DATE_TO), enable);
}

long DayOf(const SYSTEMTIME& date) { return LocalDayNumber(date.wYear, date.wMonth, date.wDay); }

}  // namespace

AdvancedSearchDialog::AdvancedSearchDialog(HWND parent) : CDialog(IDD_ADVANCED_SEARCH, parent) {}

bool AdvancedSearchDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    CComboBox types(::GetDlgItem(m_hWnd, IDC_TYPE_COMBO));
    for (const char* type : kTypes) types.AddString(type);
    types.SetCurSel(g_searchFilters.typeIndex);
    CEdit(::GetDlgItem(m_hWnd, IDC_TYPED_EXTENSION)).SetLimitText(kMaxExtension);
    SetDlgItemText(IDC_TYPED_EXTENSION, g_searchFilters.typedExtension);
    types.EnableWindow(g_searchFilters.typedExtension.empty());
    const int radio = g_searchFilters.dateMode == SearchFilters::kLastThreeDays ? IDC_SEARCH_RECENT
                      : g_searchFilters.dateMode == SearchFilters::kDateRange   ? IDC_SEARCH_DATES
                                                                                : IDC_SEARCH_ALL;
    CheckDlgButton(IDC_SEARCH_ALL, radio == IDC_SEARCH_ALL);
    CheckDlgButton(IDC_SEARCH_RECENT, radio == IDC_SEARCH_RECENT);
    CheckDlgButton(IDC_SEARCH_DATES, radio == IDC_SEARCH_DATES);
    SYSTEMTIME range[2] = {};
    range[0].wYear = 1971, range[0].wMonth = 1, range[0].wDay = 1;
    range[1].wYear = 2037, range[1].wMonth = 12, range[1].wDay = 31;
    for (int id : {IDC_DATE_FROM, IDC_DATE_TO}) {
        ::SendMessageA(::GetDlgItem(m_hWnd, id), DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
    }
    if (g_searchFilters.dateMode == SearchFilters::kDateRange && g_searchFilters.fromDate.wYear) {
        ::SendMessageA(::GetDlgItem(m_hWnd, IDC_DATE_FROM), DTM_SETSYSTEMTIME, GDT_VALID,
                       reinterpret_cast<LPARAM>(&g_searchFilters.fromDate));
        ::SendMessageA(::GetDlgItem(m_hWnd, IDC_DATE_TO), DTM_SETSYSTEMTIME, GDT_VALID,
                       reinterpret_cast<LPARAM>(&g_searchFilters.toDate));
    }
    EnablePickers(m_hWnd, radio == IDC_SEARCH_DATES);
    types.m_hWnd = nullptr;
    return true;
}

bool AdvancedSearchDialog::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_TYPED_EXTENSION:
        if (code != EN_CHANGE) return false;
        if (GetDlgItemText(IDC_TYPED_EXTENSION) == " ") SetDlgItemText(IDC_TYPED_EXTENSION, "");
        GetDlgItem(IDC_TYPE_COMBO).EnableWindow(GetDlgItemText(IDC_TYPED_EXTENSION).empty());
        return true;
    case IDC_SEARCH_ALL:
    case IDC_SEARCH_RECENT:
        EnablePickers(m_hWnd, false);
        return true;
    case IDC_SEARCH_DATES:
        EnablePickers(m_hWnd, true);
        return true;
    }
    return false;
}

void AdvancedSearchDialog::OnOK() {
    CComboBox types(::GetDlgItem(m_hWnd, IDC_TYPE_COMBO));
    const int index = types.GetCurSel();
    g_searchFilters.typeIndex = index < 0 ? 0 : index;
    g_searchFilters.typeText = types.GetLBText(g_searchFilters.typeIndex);
    types.m_hWnd = nullptr;
    g_searchFilters.typedExtension = GetDlgItemText(IDC_TYPED_EXTENSION).substr(0, kMaxExtension);
    if (IsDlgButtonChecked(IDC_SEARCH_RECENT) == BST_CHECKED) {
        g_searchFilters.dateMode = SearchFilters::kLastThreeDays;
    } else if (IsDlgButtonChecked(IDC_SEARCH_DATES) == BST_CHECKED) {
        g_searchFilters.dateMode = SearchFilters::kDateRange;
        ::SendMessageA(::GetDlgItem(m_hWnd, IDC_DATE_FROM), DTM_GETSYSTEMTIME, 0,
                       reinterpret_cast<LPARAM>(&g_searchFilters.fromDate));
        ::SendMessageA(::GetDlgItem(m_hWnd, IDC_DATE_TO), DTM_GETSYSTEMTIME, 0,
                       reinterpret_cast<LPARAM>(&g_searchFilters.toDate));
        g_searchFilters.firstDay = DayOf(g_searchFilters.fromDate);
        g_searchFilters.lastDay = DayOf(g_searchFilters.toDate);
    } else {
        g_searchFilters.dateMode = SearchFilters::kAllDates;
    }
    EndDialog(IDOK);
}

ExitProgressDialog::ExitProgressDialog(HWND parent, CListCtrl& rows) : CDialog(IDD_EXIT_PROGRESS, parent), rows_(rows) {}

bool ExitProgressDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    CProgressCtrl bar(::GetDlgItem(m_hWnd, IDC_EXIT_PROGRESS));
    bar.SetRange32(0, 100);
    bar.SetPos(100);
    bar.m_hWnd = nullptr;
    SetTimer(kExitTimer, 100);
    return true;
}

void ExitProgressDialog::OnTimer(UINT_PTR id) {
    KillTimer(id);
    CProgressCtrl bar(::GetDlgItem(m_hWnd, IDC_EXIT_PROGRESS));
    const int count = rows_.GetItemCount();
    for (int row = count - 1; row >= 0; --row) {
        rows_.DeleteItem(row);
        if (count > 0) bar.SetPos(row * 100 / count);
    }
    bar.m_hWnd = nullptr;
    EndDialog(IDOK);
}
