#include "MainFrame.h"

#include <algorithm>
#include <vector>

#include "ShellHandOff.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const WORD kToolBarResourceType = 241;
const COLORREF kTransparent = RGB(0xFF, 0x00, 0xFF);
const int kImageSize = 32;

// The buttons of a TOOLBAR resource: after the words version (1), image width, image height and
// button count, one word per button holding its command, 0 for a separator.
std::vector<UINT> ToolBarButtons(UINT id) {
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(kToolBarResourceType));
    if (!found) return {};
    const DWORD size = ::SizeofResource(instance, found);
    HGLOBAL loaded = ::LoadResource(instance, found);
    const WORD* words = loaded ? static_cast<const WORD*>(::LockResource(loaded)) : nullptr;
    if (!words || size < 4 * sizeof(WORD) || words[0] != 1) return {};
    const DWORD count = words[3];
    if (count > size / sizeof(WORD) - 4) return {};
    return std::vector<UINT>(words + 4, words + 4 + count);
}

}  // namespace

bool CMainFrame::WantsFullToolBar() {
    const std::vector<UINT> basic = ToolBarButtons(IDR_MAINFRAME);
    for (UINT id : ToolBarButtons(IDR_TOOLBAR_FULL)) {
        if (id == 0 || std::find(basic.begin(), basic.end(), id) != basic.end()) continue;
        if (!CWiperView::HandlesCommand(id)) return false;
    }
    return true;
}

int CMainFrame::OnCreate(CREATESTRUCTA* create) {
    fullToolBar_ = WantsFullToolBar();
    if (!CreateToolBar()) return -1;
    if (!statusBar_.Create(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, m_hWnd, AFX_IDW_STATUS_BAR)) return -1;
    const int edge = -1;
    statusBar_.SetParts(1, &edge);
    SetControlBars(toolBar_, statusBar_);
    return 0;
}

bool CMainFrame::CreateToolBar() {
    const std::vector<UINT> strip = ToolBarButtons(IDR_TOOLBAR_FULL);
    const std::vector<UINT> layout = ToolBarButtons(fullToolBar_ ? IDR_TOOLBAR_FULL : IDR_MAINFRAME);
    if (strip.empty() || layout.empty()) return false;
    if (!toolBar_.Create(WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, m_hWnd, AFX_IDW_TOOLBAR)) {
        return false;
    }
    toolImages_.Create(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, static_cast<int>(strip.size()), 0);
    HBITMAP bitmap = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_TOOLBAR));
    if (!bitmap) return false;
    toolImages_.Add(bitmap, kTransparent);
    ::DeleteObject(bitmap);
    toolBar_.SetImageList(toolImages_);

    std::vector<UINT> images;  // the commands of the strip's images, in order
    for (UINT id : strip) {
        if (id != 0) images.push_back(id);
    }
    std::vector<TBBUTTON> buttons;
    for (UINT id : layout) {
        TBBUTTON button = {};
        if (id == 0) {
            button.fsStyle = TBSTYLE_SEP;
        } else {
            button.iBitmap = static_cast<int>(std::find(images.begin(), images.end(), id) - images.begin());
            button.idCommand = static_cast<int>(id);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = TBSTYLE_BUTTON;
        }
        buttons.push_back(button);
    }
    toolBar_.AddButtons(static_cast<int>(buttons.size()), buttons.data());
    toolBar_.AutoSize();
    return true;
}

CWiperView* CMainFrame::View() const { return dynamic_cast<CWiperView*>(GetActiveView()); }

std::string CMainFrame::TipOf(UINT id) const {
    std::string prompt = AfxLoadString(id);
    size_t newline = prompt.find('\n');
    if (newline != std::string::npos) return prompt.substr(newline + 1);
    char text[128] = {};
    if (!::GetMenuStringA(GetMenu(), id, text, sizeof text, MF_BYCOMMAND)) return std::string();
    // "添加文件(&O)...\tCtrl+O" gives "添加文件". None of "\t", "." and "(" is ever the trail byte
    // of a GBK character.
    std::string tip = text;
    tip = tip.substr(0, tip.find('\t'));
    while (!tip.empty() && tip.back() == '.') tip.pop_back();
    size_t open = tip.rfind('(');
    if (open != std::string::npos && !tip.empty() && tip.back() == ')') tip.erase(open);
    return tip;
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETCURSOR:
        // The count is rewritten whenever the mouse moves over the window.
        if (CWiperView* view = View()) view->RefreshFileCount();
        break;
    case WM_COPYDATA:
        return ReceiveHandOff(*reinterpret_cast<const COPYDATASTRUCT*>(lp)) ? TRUE : FALSE;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_MINIMIZE) {
            ShowWindow(SW_MINIMIZE);
            return 0;
        }
        break;
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lp);
        if (header->code == TTN_GETDISPINFOA) {
            tip_ = TipOf(static_cast<UINT>(header->idFrom));
            reinterpret_cast<NMTTDISPINFOA*>(lp)->lpszText = &tip_[0];
            return 0;
        }
        if (header->code == TTN_GETDISPINFOW) {
            tip_ = TipOf(static_cast<UINT>(header->idFrom));
            int length = ::MultiByteToWideChar(CP_ACP, 0, tip_.c_str(), -1, nullptr, 0);
            wideTip_.assign(static_cast<size_t>(length > 0 ? length : 1), L'\0');
            if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, tip_.c_str(), -1, &wideTip_[0], length);
            reinterpret_cast<NMTTDISPINFOW*>(lp)->lpszText = &wideTip_[0];
            return 0;
        }
        break;
    }
    }
    return CFrameWnd::WindowProc(msg, wp, lp);
}

void CMainFrame::OnClose() {
    if (CWiperView* view = View()) {
        view->SaveColors();
        view->SaveList();
    }
    DestroyWindow();
}
