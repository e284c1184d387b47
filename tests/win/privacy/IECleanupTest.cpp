#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include "IECleanup.h"
#include "PrivacyFixture.h"
#include "ScriptedUi.h"
#include "GbkText.h"
#include "TempFolder.h"
#include "resource.h"

using namespace privacy_test;

namespace {

const char kTypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char kPage[] = "http://purgix.test/page.html";
const char kBigPage[] = "http://purgix.test/big.html";
const char kCookieEntry[] = "http://purgix.test/cookie";

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE);
    return path;
}

// A URL-cache entry of `type` whose entry information carries `headerBytes` of headers.
void AddCacheEntry(const char* url, DWORD type, size_t headerBytes) {
    char file[MAX_PATH] = {};
    ASSERT_TRUE(::CreateUrlCacheEntryA(url, 0, "html", file, 0)) << url;
    WriteBytes(file, "<html></html>");
    std::string headers = "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(headerBytes, 'p') + "\r\n\r\n";
    FILETIME never = {};
    ASSERT_TRUE(::CommitUrlCacheEntryA(url, file, never, never, type, reinterpret_cast<BYTE*>(&headers[0]),
                                       static_cast<DWORD>(headers.size()), "html", nullptr))
        << url;
}

bool InCache(const char* url) {
    DWORD size = 0;
    ::GetUrlCacheEntryInfoA(url, nullptr, &size);
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

bool HasTypedUrls() {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kTypedUrls, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

// Every trace the clean-up knows, put in place afresh.
struct Traces {
    std::string cookie = ShellFolder(CSIDL_COOKIES) + "\\tester@purgix[1].txt";
    std::string history = ShellFolder(CSIDL_HISTORY) + "\\History.IE5\\visited.dat";
    std::string recent = ShellFolder(CSIDL_RECENT) + "\\报告.lnk";

    Traces() {
        AddCacheEntry(kPage, NORMAL_CACHE_ENTRY, 10);
        AddCacheEntry(kBigPage, NORMAL_CACHE_ENTRY, 6000);  // more than 4096 bytes of entry information
        AddCacheEntry(kCookieEntry, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, 10);
        HKEY key;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, kTypedUrls, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        ::RegSetValueExA(key, "url1", 0, REG_SZ, reinterpret_cast<const BYTE*>(kPage), sizeof kPage);
        ::RegCloseKey(key);
        ::CreateDirectoryA(gbk::FolderOf(history).c_str(), nullptr);
        WriteBytes(cookie, "tester");
        WriteBytes(history, "visited");
        WriteBytes(recent, "link");
    }
    // What is still there, one letter each: p(age), b(ig page), c(ookie entry), t(yped), C(ookie
    // file), h(istory file), r(ecent).
    std::string Left() const {
        std::string left;
        if (InCache(kPage)) left += 'p';
        if (InCache(kBigPage)) left += 'b';
        if (InCache(kCookieEntry)) left += 'c';
        if (HasTypedUrls()) left += 't';
        if (Exists(cookie)) left += 'C';
        if (Exists(history)) left += 'h';
        if (Exists(recent)) left += 'r';
        return left;
    }
};

std::string Ini(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

// The skip lines choose the steps and their order; "skip6=0" ends the reading; the cookie entry
// outlives the cache purge; emptied folders stay.
TEST(IECleanup, RemovesWhatTheSkipLinesSelectInTheirOrder) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::string> steps;
        const char* left;
    } cases[] = {
        {"cache only", {"[advance]", "skip1=1", "skip2=0", "skip3=0", "skip4=0", "skip6=0"},
         {"正在清除IE cache..."}, "ctChr"},
        {"every line", {"skip1=1", "skip2=1", "skip3=1", "skip4=1", "skip5=1", "skip6=1"},
         {"正在清除IE cache...", "正在清除URLs...", "正在清除cookies...", "正在清除IE历史...", "正在清除历史API",
          "正在清除IE最近文件..."},
         "c"},
        {"cookies before the cache", {"skip3=1", "skip1=1"}, {"正在清除cookies...", "正在清除IE cache..."}, "cthr"},
        {"skip6=0 ends the reading", {"skip2=1", "skip6=0", "skip1=1", "skip3=1"}, {"正在清除URLs..."}, "pbcChr"},
    };
    TempFolder folder("ie");
    for (const auto& c : cases) {
        ScriptedUi ui;
        Traces traces;
        ASSERT_EQ(traces.Left(), "pbctChr") << "the traces could not be put in place";
        const std::string ini = folder / "main.ini";
        WriteBytes(ini, Ini(c.lines));
        std::vector<std::string> steps;
        RunIECleanup(nullptr, ini, [&](HWND progress, const std::string& step) {
            EXPECT_EQ(CWnd(progress).GetDlgItemText(IDC_IE_STEP_TEXT), step);
            if (steps.empty() && std::string(c.name) == "every line") Screenshot(progress, "purgix-ie-progress");
            steps.push_back(step);
        });
        EXPECT_EQ(steps, c.steps) << c.name;
        EXPECT_EQ(traces.Left(), c.left) << c.name;
        EXPECT_TRUE(Exists(gbk::FolderOf(traces.history))) << c.name << ": a history subfolder was removed";
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"确认删除IE垃圾文件吗?"}) << c.name;
    }
}

// Cancel in the confirmation runs nothing; an open browser window is only reported.
TEST(IECleanup, CancelOrAnOpenBrowserRemovesNothing) {
    TempFolder folder("ie");
    const std::string ini = folder / "main.ini";
    WriteBytes(ini, Ini({"skip1=1", "skip3=1"}));
    Traces traces;
    int steps = 0;
    auto count = [&](HWND, const std::string&) { ++steps; };
    {
        ScriptedUi ui;
        ui.AnswerMessageBox(IDCANCEL);
        RunIECleanup(nullptr, ini, count);
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"确认删除IE垃圾文件吗?"});
    }
    WNDCLASSA browserClass = {};
    browserClass.lpfnWndProc = ::DefWindowProcA;
    browserClass.lpszClassName = "IEFrame";
    ::RegisterClassA(&browserClass);
    HWND browser = ::CreateWindowA("IEFrame", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    {
        ScriptedUi ui;
        RunIECleanup(nullptr, ini, count);
        EXPECT_EQ(ui.MessageTexts(),
                  (std::vector<std::string>{"确认删除IE垃圾文件吗?", "Internet Explorer 正在运行, 请先关闭它!"}));
    }
    ::DestroyWindow(browser);
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(traces.Left(), "pbctChr");
}
