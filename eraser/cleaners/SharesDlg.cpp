#include "SharesDlg.h"

#include <lmcons.h>
#include <lmerr.h>
#include <lmshare.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kHelpTopic[] = "Purgix.chm::/Wiperhelp/ShareDel.htm";
const DWORD kAdminShare = 0x80000000;  // STYPE_SPECIAL with STYPE_DISKTREE: C$, ADMIN$
const DWORD kIpcShare = 3;             // STYPE_IPC: IPC$
const int kNameColumnWidth = 100;
const int kMaxNameChars = MAX_PATH;

// The entry points, looked up by name on each use.
typedef DWORD(WINAPI* NetShareEnumFn)(LPWSTR, DWORD, LPBYTE*, DWORD, LPDWORD, LPDWORD, LPDWORD);
typedef DWORD(WINAPI* NetApiBufferFreeFn)(LPVOID);
typedef DWORD(WINAPI* NetShareDelFn)(LPWSTR, LPWSTR, DWORD);
typedef unsigned(WINAPI* SvrShareEnumFn)(const char*, short, char*, unsigned short, unsigned short*, unsigned short*);
typedef unsigned(WINAPI* SvrShareDelFn)(const char*, const char*, unsigned short);

// A level-50 entry of the older family's library, packed as that library writes it.
#pragma pack(push, 1)
struct ShareInfo50 {
    char netname[13];
    unsigned char type;
    unsigned short flags;
    char* remark;
    char* path;
    char rwPassword[9];
    char roPassword[9];
};
#pragma pack(pop)
#if !defined(_WIN64)
static_assert(sizeof(ShareInfo50) == 42, "a level-50 entry is 42 bytes");
#endif
const unsigned short kSvrBuffer = 840;  // 20 entries

template <class Function>
Function Find(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

std::string Narrow(const wchar_t* text) {
    if (!text) return "";
    int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return "";
    std::string narrow(size, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(size - 1);
    return narrow;
}

bool BlankOnceSpacesRemoved(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

CSharesDlg::CSharesDlg(HWND parent) : CDialog(IDD_SHARES, parent) {}

bool CSharesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    list_.m_hWnd = ::GetDlgItem(m_hWnd, IDC_SHARE_LIST);
    list_.SetExtendedStyle(list_.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    list_.InsertColumn(0, AfxLoadString(IDS_SHARE_NAME), LVCFMT_LEFT, kNameColumnWidth);
    list_.InsertColumn(1, AfxLoadString(IDS_SHARE_PATH), LVCFMT_LEFT, kNameColumnWidth);
    list_.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
    platformFlag = LOBYTE(LOWORD(::GetVersion())) < 5 ? 0 : 1;
    if (platformFlag) {
        FillFromNetapi();
    } else {
        FillFromSvrapi();
    }
    return true;
}

HMODULE CSharesDlg::LoadShareLibrary() const { return ::LoadLibraryA(platformFlag ? "Netapi32.dll" : "Svrapi.dll"); }

void CSharesDlg::AddRow(const std::string& name, const std::string& path, UINT iconFlags) {
    SHFILEINFOA info = {};
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, iconFlags));
    if (info.hIcon) ::DestroyIcon(info.hIcon);  // only the index into the system's list is used
    if (images) list_.SetImageList(images, LVSIL_SMALL);
    int row = list_.InsertItem(list_.GetItemCount(), name, images ? info.iIcon : -1);
    if (row >= 0) list_.SetItemText(row, 1, path);
}

void CSharesDlg::FillFromNetapi() {
    HMODULE library = LoadShareLibrary();
    if (!library) return;
    auto shareEnum = Find<NetShareEnumFn>(library, "NetShareEnum");
    auto bufferFree = Find<NetApiBufferFreeFn>(library, "NetApiBufferFree");
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    if (shareEnum && shareEnum(nullptr, 502, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume) == NERR_Success &&
        buffer) {
        const SHARE_INFO_502* entries = reinterpret_cast<const SHARE_INFO_502*>(buffer);
        for (DWORD i = 0; i < read; ++i) {
            std::string path = Narrow(entries[i].shi502_path);
            if (entries[i].shi502_type == kAdminShare || entries[i].shi502_type == kIpcShare) continue;
            if (BlankOnceSpacesRemoved(path)) continue;
            AddRow(Narrow(entries[i].shi502_netname), path,
                   SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_ICON | SHGFI_SMALLICON);
        }
    }
    if (buffer && bufferFree) bufferFree(buffer);
    ::FreeLibrary(library);
}

void CSharesDlg::FillFromSvrapi() {
    HMODULE library = LoadShareLibrary();
    if (!library) return;
    if (auto shareEnum = Find<SvrShareEnumFn>(library, "NetShareEnum")) {
        std::vector<char> buffer(kSvrBuffer);
        unsigned short read = 0, total = 0;
        if (shareEnum(nullptr, 50, buffer.data(), kSvrBuffer, &read, &total) == NERR_Success) {
            // Never more entries than the buffer holds, whatever the count says.
            read = static_cast<unsigned short>(std::min<size_t>(read, kSvrBuffer / sizeof(ShareInfo50)));
            const ShareInfo50* entries = reinterpret_cast<const ShareInfo50*>(buffer.data());
            for (unsigned short i = 0; i < read; ++i) {
                std::string name(entries[i].netname, ::strnlen(entries[i].netname, sizeof entries[i].netname));
                std::string path = entries[i].path ? entries[i].path : "";
                if (entries[i].type == kIpcShare || BlankOnceSpacesRemoved(path)) continue;
                WIN32_FIND_DATAA found;
                HANDLE search = ::FindFirstFileA(path.c_str(), &found);
                if (search == INVALID_HANDLE_VALUE) continue;
                ::FindClose(search);
                AddRow(name, path, SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON);
            }
        }
    }
    ::FreeLibrary(library);
}

bool CSharesDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_SHARE_WITHDRAW: WithdrawSelected(); return true;
    case IDC_SHARE_WITHDRAW_ALL: WithdrawAll(); return true;
    case IDC_SHARE_HELP: Ui().ShowHelp(ProgramDirectory() + kHelpTopic); return true;
    }
    return false;
}

bool CSharesDlg::Withdraw(HMODULE library, const std::string& name) const {
    if (platformFlag) {
        auto shareDel = Find<NetShareDelFn>(library, "NetShareDel");
        wchar_t wide[kMaxNameChars + 1] = {};
        // A name that does not fit is not cut into another share's name: it counts as refused.
        if (!shareDel || !::MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, kMaxNameChars)) return false;
        return shareDel(nullptr, wide, 0) == NERR_Success;
    }
    auto shareDel = Find<SvrShareDelFn>(library, "NetShareDel");
    return shareDel && shareDel(nullptr, name.c_str(), 0) == NERR_Success;
}

void CSharesDlg::DropRow(int row) {
    std::string path = list_.GetItemText(row, 1);
    list_.DeleteItem(row);
    ::SHChangeNotify(SHCNE_NETUNSHARE, SHCNF_PATHA, path.c_str(), nullptr);
}

void CSharesDlg::WithdrawSelected() {
    HMODULE library = LoadShareLibrary();
    if (!library) return;
    for (int row = list_.GetNextItem(-1, LVNI_SELECTED); row != -1; row = list_.GetNextItem(-1, LVNI_SELECTED)) {
        if (!Withdraw(library, list_.GetItemText(row, 0))) AfxMessageBox(AfxLoadString(IDS_SHARE_FAILED));
        DropRow(row);
    }
    ::FreeLibrary(library);
}

void CSharesDlg::WithdrawAll() {
    HMODULE library = LoadShareLibrary();
    if (!library) return;
    for (int row = list_.GetItemCount() - 1; row >= 0; --row) {
        if (!Withdraw(library, list_.GetItemText(row, 0))) {
            AfxMessageBox(AfxLoadString(IDS_SHARE_FAILED));
            ::FreeLibrary(library);
            return;
        }
        DropRow(row);
    }
    list_.DeleteAllItems();
    ::FreeLibrary(library);
}

void CSharesDlg::ReleaseImages() { list_.SetImageList(nullptr, LVSIL_SMALL); }

void CSharesDlg::OnOK() {
    ReleaseImages();
    CDialog::OnOK();
}

void CSharesDlg::OnCancel() {
    ReleaseImages();
    CDialog::OnCancel();
}
