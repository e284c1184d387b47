#include "IECleanup.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <urlhist.h>
#include <wininet.h>

#include <vector>

#include "Dialog.h"
#include "FileFind.h"
#include "MainIni.h"
#include "UiSeam.h"
#include "WinApp.h"
#include "WiperView.h"
#include "resource.h"

namespace {

const char kBrowserRunning[] = "Internet Explorer 正在运行, 请先关闭它!";
const char kTypedUrlsKey[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const DWORD kCookieEntry = 0x00100000;
const DWORD kFirstEntryBuffer = 4096;
// Paths live in 260-byte buffers: 259 characters and the terminating zero.
const size_t kMaxPathChars = MAX_PATH - 1;

// The system's URL-history store and its second interface.
const CLSID kUrlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
const IID kUrlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

// One line of main.ini that starts a step: its text in the progress window and what it removes.
struct Step {
    const char* line;
    const char* text;
    void (*run)();
};
void EmptyCookies() { EmptyShellFolder(CSIDL_COOKIES); }
void EmptyRecent() { EmptyShellFolder(CSIDL_RECENT); }
const Step kSteps[] = {
    {"skip1=1", "正在清除IE cache...", PurgeUrlCache},
    {"skip2=1", "正在清除URLs...", RemoveTypedUrls},
    {"skip3=1", "正在清除cookies...", EmptyCookies},
    {"skip4=1", "正在清除IE历史...", ClearUrlHistory},
    {"skip5=1", "正在清除历史API", nullptr},
    {"skip6=1", "正在清除IE最近文件...", EmptyRecent},
};

// Runs `use` on the URL-history object when it can be made; COM lives only around that use.
void WithUrlHistory(void (*use)(IUrlHistoryStg2*)) {
    ::CoInitialize(nullptr);
    IUrlHistoryStg2* history = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kUrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER, kUrlHistoryStg2,
                                     reinterpret_cast<void**>(&history))) &&
        history) {
        use(history);
        history->Release();
    }
    ::CoUninitialize();
}

}  // namespace

void PurgeUrlCache() {
    std::vector<unsigned char> buffer(kFirstEntryBuffer);
    HANDLE search = nullptr;
    for (;;) {
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
        entry->dwStructSize = static_cast<DWORD>(buffer.size());
        DWORD size = static_cast<DWORD>(buffer.size());
        bool found;
        if (!search) {
            search = ::FindFirstUrlCacheEntryA(nullptr, entry, &size);
            found = search != nullptr;
        } else {
            found = ::FindNextUrlCacheEntryA(search, entry, &size) != FALSE;
        }
        if (!found) {
            // Too small for this entry: the same call again with the size the cache asked for.
            if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER && size > buffer.size()) {
                buffer.assign(size, 0);
                continue;
            }
            break;
        }
        if (!(entry->CacheEntryType & kCookieEntry)) ::DeleteUrlCacheEntryA(entry->lpszSourceUrlName);
    }
    if (search) ::FindCloseUrlCache(search);
}

void RemoveTypedUrls() {
    WithUrlHistory([](IUrlHistoryStg2* history) { history->DeleteUrl(L"REGISTRY", 0); });
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kTypedUrlsKey);
}

void ClearUrlHistory() {
    WithUrlHistory([](IUrlHistoryStg2* history) { history->ClearHistory(); });
    EmptyShellFolder(CSIDL_HISTORY);
}

void EmptyShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return;
    CFileFind finder;
    if (finder.FindFile(path)) DeleteFolderFiles(path);
}

void DeleteFolderFiles(const std::string& folder) {
    const std::string pattern = folder + "\\*.*";
    if (pattern.size() > kMaxPathChars) return;
    CFileFind finder;
    bool more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots()) continue;
        const std::string child = folder + "\\" + finder.GetFileName();
        // Cut short it would name another file: skipped whole.
        if (child.size() > kMaxPathChars) continue;
        if (finder.IsDirectory()) {
            // What a link points to lies outside the folder being emptied.
            if (!IsLink(finder.GetAttributes())) DeleteFolderFiles(child);
        } else {
            ::DeleteFileA(child.c_str());
        }
    }
}

void RunIECleanup(HWND frame, const std::string& iniPath,
                  const std::function<void(HWND progress, const std::string& step)>& onStep) {
    if (AfxMessageBox(AfxLoadString(IDS_CONFIRM_IE_CLEANUP), MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL) return;
    if (::FindWindowA("IEFrame", nullptr)) {
        AfxMessageBox(kBrowserRunning);
        return;
    }
    CDialog progress(IDD_IE_PROGRESS);
    progress.Create(frame);
    progress.ShowWindow(SW_RESTORE);
    if (frame) progress.SetFont(CWnd(frame).GetFont(), true);
    progress.UpdateWindow();

    ScanIniLines(iniPath, kIniReadOnly, [&](const std::string& line) {
        for (const Step& step : kSteps) {
            if (line != step.line) continue;
            progress.SetDlgItemText(IDC_IE_STEP_TEXT, step.text);
            if (onStep) onStep(progress.m_hWnd, step.text);
            if (step.run) step.run();
        }
        return line != "skip6=0";
    });
    progress.DestroyWindow();
}
