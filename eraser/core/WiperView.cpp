#include "WiperView.h"

#include "GbkText.h"
#include "resource.h"

std::string ProgramDirectory() {
    // The program's own path is its first command-line argument.
    std::string program = __argc > 0 && __argv[0] ? __argv[0] : "";
    if (program.empty()) {
        char module[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, module, sizeof module);
        program = module;
    }
    size_t last = gbk::FindLastBackslash(program);
    return last == std::string::npos ? std::string() : program.substr(0, last + 1);
}

CWiperView::CWiperView() : CFormView(IDD_PURGIX_FORM), iniPath(ProgramDirectory() + "main.ini") {
    g_progressTotals.Reset();
}

bool CWiperView::OnInitDialog() {
    list_.m_hWnd = ::GetDlgItem(m_hWnd, IDC_ERASE_LIST);
    return CFormView::OnInitDialog();
}

void CWiperView::OnSize(UINT type, int cx, int cy) {
    if (list_.m_hWnd) list_.MoveWindow(0, 0, cx, cy);
}
