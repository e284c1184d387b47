#include <gtest/gtest.h>
#include <windows.h>

#include "PrivacyFixture.h"
#include "ScriptedUi.h"
#include "SharesDlg.h"
#include "resource.h"

using namespace privacy_test;

namespace {

// The stand-in share library (standin/), loaded in the system's place by the DLL override of
// these tests; the dialog reaches the same module by name.
class StandInShares {
public:
    StandInShares() : library_(::LoadLibraryA("Netapi32.dll")) {
        reset_ = Find<void(WINAPI*)()>("StandInReset");
        add_ = Find<void(WINAPI*)(const wchar_t*, DWORD, const wchar_t*, BOOL)>("StandInAddShare");
        deleted_ = Find<void(WINAPI*)(wchar_t*, DWORD)>("StandInDeleted");
        if (reset_) reset_();
    }
    ~StandInShares() { ::FreeLibrary(library_); }
    bool Loaded() const { return reset_ && add_ && deleted_; }
    void Add(const wchar_t* name, DWORD type, const wchar_t* path, bool refuse = false) { add_(name, type, path, refuse); }
    std::wstring Deleted() const {
        wchar_t names[512];
        deleted_(names, 512);
        return names;
    }

private:
    template <class F>
    F Find(const char* name) {
        return library_ ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(library_, name))) : nullptr;
    }
    HMODULE library_;
    void(WINAPI* reset_)() = nullptr;
    void(WINAPI* add_)(const wchar_t*, DWORD, const wchar_t*, BOOL) = nullptr;
    void(WINAPI* deleted_)(wchar_t*, DWORD) = nullptr;
};

std::vector<std::string> Rows(CSharesDlg& dialog) {
    std::vector<std::string> rows;
    for (int row = 0; row < dialog.List().GetItemCount(); ++row) {
        rows.push_back(dialog.List().GetItemText(row, 0) + " " + dialog.List().GetItemText(row, 1));
    }
    return rows;
}

void Select(CSharesDlg& dialog, int row) { dialog.List().SetItemState(row, LVIS_SELECTED, LVIS_SELECTED); }

}  // namespace

// Administrative, IPC and blank-path shares never show; the rest in the library's order. Withdraw
// all goes from the last row up and stops at the first refusal; withdraw selected drops every
// selected row, refused or not, with one message per refusal.
TEST(SharesDialog, ListsAndWithdrawsByItsTwoRules) {
    StandInShares shares;
    ASSERT_TRUE(shares.Loaded()) << "the stand-in share library was not loaded in the system's place";
    const struct {
        const char* name;
        std::function<void(CSharesDlg&)> act;
        std::vector<std::string> rowsAfter;
        std::wstring withdrawn;
        size_t messages;
    } cases[] = {
        {"nothing selected", [](CSharesDlg& d) { Press(d, IDC_SHARE_WITHDRAW); },
         {"资料 C:\\windows", "music C:\\users", "photos C:\\windows\\system32"}, L"", 0},
        {"withdraw all, the second refused", [](CSharesDlg& d) { Press(d, IDC_SHARE_WITHDRAW_ALL); },
         {"资料 C:\\windows", "music C:\\users"}, L"photos|", 1},
        {"withdraw selected, the first refused",
         [](CSharesDlg& d) {
             Select(d, 1);
             Select(d, 2);
             Press(d, IDC_SHARE_WITHDRAW);
         },
         {"资料 C:\\windows"}, L"photos|", 1},
        {"withdraw all", [](CSharesDlg& d) { Press(d, IDC_SHARE_WITHDRAW_ALL); }, {}, L"photos|music|资料|", 0},
    };
    for (const auto& c : cases) {
        ScriptedUi ui;
        StandInShares table;
        table.Add(L"C$", 0x80000000, L"C:\\");
        table.Add(L"ADMIN$", 0x80000000, L"C:\\windows");
        table.Add(L"IPC$", 3, L"");
        table.Add(L"资料", 0, L"C:\\windows");
        table.Add(L"blank", 0, L"   ");
        bool refuseMusic = std::string(c.name).find("refused") != std::string::npos;
        table.Add(L"music", 0, L"C:\\users", refuseMusic);
        table.Add(L"photos", 0, L"C:\\windows\\system32");

        Driven<CSharesDlg> dialog;
        std::vector<std::string> before, after;
        dialog.script = [&](CSharesDlg& d) {
            before = Rows(d);
            if (c.act) c.act(d);
            after = Rows(d);
            if (std::string(c.name) == "nothing selected") Screenshot(d.m_hWnd, "purgix-shares");
        };
        dialog.DoModal();
        EXPECT_EQ(before, (std::vector<std::string>{"资料 C:\\windows", "music C:\\users", "photos C:\\windows\\system32"}))
            << c.name;
        EXPECT_EQ(after, c.rowsAfter) << c.name;
        EXPECT_EQ(table.Deleted(), c.withdrawn) << c.name;
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>(c.messages, "取消共享失败")) << c.name;
    }
}
