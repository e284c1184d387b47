// The erase list's window side: the view's creation and start, its commands, display modes,
// colours, context menu, properties and help. Adding, saving and sorting rows: EraseList.cpp.
#include "WiperView.h"

#include <shellapi.h>

#include <cstdio>

#include "Controls.h"
#include "DropWindow.h"
#include "FrameWnd.h"
#include "GbkText.h"
#include "PropertiesDlg.h"
#include "SettingsPages.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "resource.h"

namespace {

const char kColorSection[] = "ColorSetting";
const COLORREF kDefaultBkColor = 0xFFFFFF;
const COLORREF kDefaultTextColor = 0;
const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/Introduce.htm";

}  // namespace

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

const CommandEntryOf<CWiperView> CWiperView::kCommands[] = {
    {ID_ADD_FILES, &CWiperView::AddFilesCommand},
    {ID_ADD_FOLDER, &CWiperView::AddFolderCommand},
    {ID_SELECT_ALL, &CWiperView::OnSelectAll},
    {ID_REMOVE_SELECTED, &CWiperView::OnRemoveSelected},
    {ID_VIEW_LARGE_ICONS, &CWiperView::OnLargeIcons},
    {ID_VIEW_SMALL_ICONS, &CWiperView::OnSmallIcons},
    {ID_VIEW_LIST, &CWiperView::OnListMode},
    {ID_VIEW_DETAILS, &CWiperView::OnDetails},
    {ID_VIEW_GRID, &CWiperView::OnGrid},
    {ID_OPEN_ITEM, &CWiperView::OpenItemCommand},
    {ID_PROPERTIES, &CWiperView::OnProperties},
    {ID_CLOSE, &CWiperView::OnCloseCommand},
    {ID_HELP_TOPICS, &CWiperView::OnHelp},
    {ID_ERASE_ALL, &CWiperView::EraseAllCommand},
    {ID_ERASE_SELECTED, &CWiperView::EraseSelectedRun},
    {ID_SHOW_LOG, &CWiperView::ShowLog},
    {ID_SYSTEM_INFO, &CWiperView::OnSystemInfo},
    {ID_FREE_SPACE_WIPE, &CWiperView::OnFreeSpaceWipe},
    {ID_PARTITION_WIPE, &CWiperView::OnPartitionWipe},
    {ID_RECOVERY_CHECK, &CWiperView::OnRecoveryCheck},
    {ID_SET_PASSWORD, &CWiperView::OnSetPassword},
    {ID_DROP_WINDOW, &CWiperView::OnDropWindow},
    {ID_HIDE_MAIN, &CWiperView::OnHideMainWindow},
    {ID_SHOW_MAIN, &CWiperView::OnShowMainWindow},
    {ID_IE_CLEANUP, &CWiperView::OnIECleanup},
    {ID_OUTLOOK_MAIL, &CWiperView::OnOutlookMail},
    {ID_TEMP_FILES, &CWiperView::OnTempFiles},
    {ID_SHARES, &CWiperView::OnShares},
    {ID_SETTINGS, &CWiperView::OnSettings},
    {ID_SETTINGS_TOOL, &CWiperView::OnSettings},
    {ID_SETTINGS_METHOD, &CWiperView::OnSettingsMethod},
};

CWiperView::CWiperView()
    : CFormView(IDD_PURGIX_FORM),
      iniPath(ProgramDirectory() + "main.ini"),
      listSavePath(ProgramDirectory() + "ListSave.ini") {
    logPath = ProgramDirectory() + "log.txt";
    settingsPages_ = std::make_unique<SettingsPages>(iniPath, logPath);
    g_progressTotals.Reset();
}

CWiperView::~CWiperView() {
    // The system's image lists belong to the system: let go of them, never destroy them.
    smallIcons_.Detach();
    largeIcons_.Detach();
}

bool CWiperView::HandlesCommand(UINT id) {
    for (const CommandEntryOf<CWiperView>& entry : kCommands) {
        if (entry.id == id) return true;
    }
    return false;
}

bool CWiperView::OnCommand(UINT id, UINT code, HWND control) { return RouteCommand(this, kCommands, id); }

bool CWiperView::OnInitDialog() {
    list_.m_hWnd = ::GetDlgItem(m_hWnd, IDC_ERASE_LIST);
    // Any path gives the system image lists; the flag keeps the shell from looking at the disk.
    SHFILEINFOA info = {};
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES;
    smallIcons_.Detach();
    largeIcons_.Detach();
    smallIcons_.Attach(reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags | SHGFI_SMALLICON)));
    largeIcons_.Attach(reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags | SHGFI_LARGEICON)));
    // The template gives the list LVS_SHAREIMAGELISTS, so the control never destroys them either.
    list_.SetImageList(smallIcons_, LVSIL_SMALL);
    list_.SetImageList(largeIcons_, LVSIL_NORMAL);
    DragAcceptFiles(true);
    return CFormView::OnInitDialog();
}

void CWiperView::OnSize(UINT type, int cx, int cy) {
    if (list_.m_hWnd) list_.MoveWindow(0, 0, cx, cy);
}

void CWiperView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    ResizeParentToFit();
    if (HWND bar = ::GetDlgItem(::GetParent(m_hWnd), AFX_IDW_STATUS_BAR)) {
        CStatusBarCtrl status(bar);
        const int edge = 500;
        status.SetParts(1, &edge);
        status.SetText(" ");
    }
    list_.SetFont(GetFont(), false);
    list_.SetExtendedStyle(list_.GetExtendedStyle() | LVS_EX_FLATSB | LVS_EX_FULLROWSELECT);
    RECT client;
    GetClientRect(&client);
    list_.MoveWindow(0, 0, client.right - client.left, client.bottom - client.top);
    SetDisplayMode(LVS_REPORT);
    ApplyColors();
    RestoreList();
}

void CWiperView::SetDisplayMode(DWORD mode) {
    if (mode == LVS_REPORT && !columnsMade_) {
        list_.InsertColumn(0, "文件名", LVCFMT_LEFT, 160);
        list_.InsertColumn(1, "大小", LVCFMT_RIGHT, 80);
        list_.InsertColumn(2, "路径", LVCFMT_LEFT, 140);
        list_.InsertColumn(3, "类型", LVCFMT_LEFT, 50);
        columnsMade_ = true;
    }
    if (g_dropWindow) g_dropWindow->largeIcons = mode == LVS_ICON;
    LONG_PTR style = ::GetWindowLongPtrA(list_, GWL_STYLE);
    ::SetWindowLongPtrA(list_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | mode);
    list_.Invalidate();
}

void CWiperView::OnGrid() { list_.SetExtendedStyle(list_.GetExtendedStyle() ^ LVS_EX_GRIDLINES); }

void CWiperView::ApplyColors() {
    CWinApp* app = AfxGetApp();
    COLORREF background = app ? app->GetProfileInt(kColorSection, "BkColor", kDefaultBkColor) : kDefaultBkColor;
    COLORREF text = app ? app->GetProfileInt(kColorSection, "textColor", kDefaultTextColor) : kDefaultTextColor;
    list_.SetTextColor(text);
    list_.SetTextBkColor(background);
    list_.SetBkColor(background);
}

void CWiperView::SaveColors() {
    CWinApp* app = AfxGetApp();
    if (!app || !list_.m_hWnd) return;
    app->WriteProfileInt(kColorSection, "BkColor", static_cast<int>(list_.GetBkColor()));
    app->WriteProfileInt(kColorSection, "textColor", static_cast<int>(list_.GetTextColor()));
}

void CWiperView::RefreshFileCount() {
    if (g_dropWindow) g_dropWindow->SetListEmpty(GetItemCount() == 0);
    HWND bar = ::GetDlgItem(::GetParent(m_hWnd), AFX_IDW_STATUS_BAR);
    if (!bar) return;
    char count[32];
    std::snprintf(count, sizeof count, "文件数: %d", GetItemCount());
    CStatusBarCtrl(bar).SetText(std::string(count) + "个");
}

bool CWiperView::IsCommandEnabled(UINT id) {
    const int count = GetItemCount(), selected = list_.GetSelectedCount();
    switch (id) {
    case ID_REMOVE_SELECTED:
    case ID_ERASE_SELECTED:
        return selected > 0;
    case ID_SELECT_ALL:
        return count > 0 && selected < count;
    }
    return true;
}

void CWiperView::PrepareContextMenu(HMENU popup) {
    const int count = GetItemCount(), selected = list_.GetSelectedCount();
    auto enable = [popup](UINT id, bool on) { ::EnableMenuItem(popup, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    enable(ID_ERASE_ALL, count > 0);
    enable(ID_SELECT_ALL, count > 0 && selected < count);
    enable(ID_REMOVE_SELECTED, selected > 0);
    enable(ID_PROPERTIES, selected > 0);
    enable(ID_OPEN_ITEM, selected == 1);
}

bool CWiperView::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != list_.m_hWnd) return false;
    if (header->code == LVN_COLUMNCLICK) {
        SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return true;
    }
    if (header->code != NM_RCLICK) return false;
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_LIST_CONTEXT));
    if (!menu) return true;
    HMENU popup = ::GetSubMenu(menu, 0);
    PrepareContextMenu(popup);
    POINT at;
    ::GetCursorPos(&at);
    // The choice comes back here and travels like a menu command: view, frame, application.
    UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr));
    ::DestroyMenu(menu);
    if (chosen) {
        HWND parent = ::GetParent(m_hWnd);
        if (dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(parent))) {
            ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
        } else {
            OnCommand(chosen, 0, nullptr);
        }
    }
    result = 0;
    return true;
}

LRESULT CWiperView::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DROPFILES) {
        DropFiles(reinterpret_cast<HDROP>(wp));
        return 0;
    }
    return CFormView::WindowProc(msg, wp, lp);
}

void CWiperView::OnSelectAll() {
    list_.SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
    list_.SetSelectionMark(0);
}

void CWiperView::OnRemoveSelected() {
    for (int row = GetItemCount() - 1; row >= 0; --row) {
        if (list_.GetItemState(row, LVIS_SELECTED)) list_.DeleteItem(row);
    }
    RefreshFileCount();
}

void CWiperView::OpenItemCommand() {
    const int row = list_.GetSelectionMark();
    if (row < 0 || row >= GetItemCount()) return;
    const std::string path = ItemPath(row);
    HINSTANCE opened = Ui().ShellOpen(m_hWnd, "open", path, std::string(), std::string(), SW_SHOWNA);
    // 32 or less: no program opens it (no association, for example). The system's own dialog then
    // lets the user choose one, and is given the full path so the choice can open the file.
    if (reinterpret_cast<INT_PTR>(opened) <= 32) Ui().WinExec("rundll32.exe shell32, OpenAs_RunDLL " + path, SW_SHOWNA);
}

void CWiperView::OnProperties() {
    std::vector<CPropertiesDlg::Item> items;
    for (int row = 0; row < GetItemCount(); ++row) {
        if (list_.GetItemState(row, LVIS_SELECTED)) items.push_back({ItemPath(row), !list_.GetItemText(row, 1).empty()});
    }
    if (items.empty()) return;
    CPropertiesDlg dialog(std::move(items), ::GetAncestor(m_hWnd, GA_ROOT));
    dialog.DoModal();
}

void CWiperView::OnCloseCommand() {
    // The frame's close saves the colours and the list, then closes the main window.
    ::SendMessageA(::GetParent(m_hWnd), WM_CLOSE, 0, 0);
}

void CWiperView::OnHelp() { Ui().ShowHelp(ProgramDirectory() + kHelpTopic); }
