// The settings commands of the view: the sheet over its three pages, run modally.
#include "ProperSheet.h"
#include "SettingsPages.h"
#include "WiperView.h"

void CWiperView::OnSettings() { RunSettingsSheet(SettingsPages::kGlobal); }

void CWiperView::OnSettingsMethod() { RunSettingsSheet(SettingsPages::kErasure); }

void CWiperView::RunSettingsSheet(int firstPage) {
    // The drop window's menu can ask again while the sheet is up; one sheet is enough.
    if (settingsOpen_) return;
    settingsOpen_ = true;
    CProperSheet sheet(::GetAncestor(m_hWnd, GA_ROOT), firstPage);
    sheet.AddPage(&settingsPages_->global);
    sheet.AddPage(&settingsPages_->erasure);
    sheet.AddPage(&settingsPages_->ieWipe);
    sheet.DoModal();
    settingsOpen_ = false;
}
