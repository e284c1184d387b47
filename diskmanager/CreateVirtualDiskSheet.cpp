#include "CreateVirtualDiskSheet.h"

#include <cstdio>
#include <cstring>

#include "GbkText.h"
#include "Mountex.h"
#include "SecretDisk.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "resource.h"

namespace {

constexpr UINT kMinSizeMB = 100;
constexpr UINT kMaxSizeMB = 11 * 1024;

int Message(const std::string& text, UINT flags = MB_OK | MB_ICONEXCLAMATION) { return AfxMessageBox(text, flags); }

}  // namespace

// ---- Page 1: the image file ----

CSelectFilePage::CSelectFilePage() : CPropertyPage(IDD_SELECT_FILE) {}

void CSelectFilePage::DoDataExchange(CDataExchange* dx) {
    // Filling the edits sends EN_CHANGE for each; those must not read the half-filled page back.
    filling_ = !dx->m_bSaveAndValidate;
    DDX_Text(dx, IDC_FILE_NAME, fileName);
    DDV_MaxChars(dx, fileName, 255);
    DDX_Text(dx, IDC_FOLDER, folder);
    DDX_Text(dx, IDC_SIZE_MB, sizeMB);
    filling_ = false;
}

bool CSelectFilePage::OnInitDialog() {
    // "MMP" with today's month and day (UTC), two digits each: 6 December gives MMP1206.
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    char name[16];
    std::snprintf(name, sizeof name, "MMP%02u%02u", now.wMonth, now.wDay);
    fileName = name;
    folder = "c:\\";
    sizeMB = 100;
    return CPropertyPage::OnInitDialog();
}

// The fields as the controls hold them, read without the framework's complaints: this runs on every
// keystroke, and a half-typed size must not raise a message box. An empty or non-numeric size is 0.
void CSelectFilePage::ReadFields() {
    fileName = GetDlgItemText(IDC_FILE_NAME);
    folder = GetDlgItemText(IDC_FOLDER);
    BOOL number = FALSE;
    const UINT size = ::GetDlgItemInt(m_hWnd, IDC_SIZE_MB, &number, FALSE);
    sizeMB = number ? size : 0;
}

bool CSelectFilePage::OnCommand(UINT id, UINT code, HWND control) {
    if (code == EN_CHANGE && (id == IDC_FILE_NAME || id == IDC_FOLDER || id == IDC_SIZE_MB)) {
        if (!filling_) ReadFields();
        return true;
    }
    if (id == IDC_BROWSE && code == BN_CLICKED) {
        std::string chosen = folder;
        if (Ui().BrowseForFolder(m_hWnd, "请选择文件夹", chosen)) {
            folder = chosen;
            SetDlgItemText(IDC_FOLDER, folder);
        }
        return true;
    }
    return false;
}

LRESULT CSelectFilePage::OnWizardNext() {
    ReadFields();
    if (fileName.empty()) return Message("请输入文件名"), -1;
    if (folder.empty()) return Message("请输入文件路径"), -1;
    if (sizeMB == 0) return Message("请输入文件大小"), -1;

    std::string path = gbk::WithBackslash(folder) + fileName;
    if (fileName.find(".vlr") == std::string::npos) path += ".vlr";
    // The session keeps paths in a 260-byte buffer: a longer one is refused, never cut into another.
    if (path.size() >= MAX_PATH) return Message(path + "\n路径太长, 无法处理!"), -1;
    SecretDiskState& state = DiskState();
    std::memset(state.imagePath, 0, sizeof state.imagePath);
    std::memcpy(state.imagePath, path.c_str(), path.size());
    state.sizeMB = sizeMB;

    // Free space on the drive the path starts with, in whole MB. A path without a drive letter has no
    // known free space; then only the largest size applies.
    char root[] = "?:\\";
    root[0] = path[0];
    ULARGE_INTEGER available, total, free;
    const bool known = ::GetDiskFreeSpaceExA(root, &available, &total, &free) != FALSE;
    const unsigned long long freeMB = known ? available.QuadPart / 1048576 : ~0ull - kMinSizeMB;
    if (sizeMB < kMinSizeMB) return Message(AfxLoadString(IDS_SIZE_TOO_SMALL)), -1;
    if (sizeMB > freeMB + kMinSizeMB || sizeMB > kMaxSizeMB) return Message(AfxLoadString(IDS_SIZE_TOO_LARGE)), -1;
    if (::GetFileAttributesA(state.imagePath) != INVALID_FILE_ATTRIBUTES &&
        Message(AfxLoadString(IDS_FILE_EXISTS), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return -1;
    return 0;
}

void CSelectFilePage::OnHelp() { ShowLockvaleHelp(); }

// ---- Page 2: the password ----

CsetPasswordpage::CsetPasswordpage() : CPropertyPage(IDD_SET_PASSWORD) {}

CsetPasswordpage::~CsetPasswordpage() {
    for (std::string* secret : {&password, &confirmation})
        if (!secret->empty()) ::SecureZeroMemory(&(*secret)[0], secret->size());
}

void CsetPasswordpage::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_PASSWORD, password);
    DDV_MaxChars(dx, password, 16);
    DDX_Text(dx, IDC_CONFIRM, confirmation);
    DDV_MaxChars(dx, confirmation, 16);
}

LRESULT CsetPasswordpage::OnWizardNext() {
    if (!UpdateData(true)) return -1;
    if (password.empty()) return Message("请输入密码。"), -1;
    if (confirmation.empty()) return Message("请输入确认密码。"), -1;
    if (password != confirmation) return Message("密码不一致，请确认。"), -1;
    if (password.size() < 4) return Message("密码至少4位，请重新输入。"), -1;
    DiskState().SetPassword(password);
    return 0;
}

void CsetPasswordpage::OnHelp() { ShowLockvaleHelp(); }

// ---- Page 3: the letter and the creation ----

CcreateVirDiskPage::CcreateVirDiskPage(const CsetPasswordpage& passwordPage)
    : CPropertyPage(IDD_CREATE_DISK), passwordPage_(passwordPage) {}

CcreateVirDiskPage::~CcreateVirDiskPage() {
    if (font_) ::DeleteObject(font_);
}

bool CcreateVirDiskPage::OnInitDialog() {
    FillDriveList(::GetDlgItem(m_hWnd, IDC_DRIVE_LIST));
    font_ = CreateBoldSongFont(16);
    ::SendDlgItemMessageA(m_hWnd, IDC_CREATE_STATUS, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return CPropertyPage::OnInitDialog();
}

LRESULT CcreateVirDiskPage::OnWizardNext() {
    SecretDiskState& state = DiskState();
    HWND list = ::GetDlgItem(m_hWnd, IDC_DRIVE_LIST);
    state.driveLetter = SelectedDriveLetter(list);
    ::EnableWindow(list, FALSE);
    SetDlgItemText(IDC_CREATE_STATUS, AfxLoadString(IDS_FORMATTING));
    ::UpdateWindow(m_hWnd);

    // Another letter may be tried after a failure, so the password comes from its page each time
    // and leaves the session record as soon as the library has it.
    state.SetPassword(passwordPage_.password);
    const bool created = CreateImage(state.driveLetter, state.imagePath, state.password, state.sizeMB) != 0;
    state.WipePassword();
    if (created) {
        Message("秘密盘创建成功！", MB_OK | MB_ICONINFORMATION);
        state.mounted = true;
        ::PostMessageA(::GetParent(m_hWnd), PSM_SETWIZBUTTONS, 0, PSWIZB_FINISH);
    } else {
        Message("秘密盘创建失败！");
        ::EnableWindow(list, TRUE);
        state.mounted = false;
    }
    SetDlgItemText(IDC_CREATE_STATUS, "");
    return -1;  // the last page: the wizard stays until Finish or Cancel
}

void CcreateVirDiskPage::OnHelp() { ShowLockvaleHelp(); }

LRESULT CcreateVirDiskPage::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == ::GetDlgItem(m_hWnd, IDC_CREATE_STATUS)) {
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetTextColor(dc, RGB(255, 0, 0));
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_3DFACE));
    }
    return CPropertyPage::WindowProc(msg, wp, lp);
}

// ---- The sheet ----

CcreateVirtualDiskSheet::CcreateVirtualDiskSheet(HWND parent)
    : CPropertySheet("", parent), createPage(passwordPage) {
    AddPage(&filePage);
    AddPage(&passwordPage);
    AddPage(&createPage);
    m_psh.dwFlags &= ~PSH_HASHELP;
    m_psh.dwFlags |= PSH_WIZARD | PSH_WATERMARK | PSH_USEPAGELANG;
}

INT_PTR CcreateVirtualDiskSheet::DoModal() {
    SecretDiskState& state = DiskState();
    char shown[MAX_PATH];
    std::memcpy(shown, state.imagePath, sizeof shown);
    state.mounted = false;
    const INT_PTR result = CPropertySheet::DoModal();
    // Without a new disk the session goes back to the image the main window shows.
    if (!state.mounted) std::memcpy(state.imagePath, shown, sizeof shown);
    state.WipePassword();
    return result;
}
