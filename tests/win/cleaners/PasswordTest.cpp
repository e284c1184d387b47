#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DrivenDialog.h"
#include "InputPassWordDlg.h"
#include "ScriptedUi.h"
#include "SetPassWordDlg.h"
#include "WinApp.h"
#include "resource.h"

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{03030303-0000-0010-8000-00AA006D2EA4}\\password";

void ForgetValue() {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(key, "QuilPurgix");
    ::RegCloseKey(key);
}

void StoreValue(const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "QuilPurgix", 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(key);
}

// The stored value as it is: its type and every byte; "<none>" when there is none.
std::string StoredValue(DWORD* type = nullptr) {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
    char data[64];
    DWORD size = sizeof data, kind = 0;
    LONG status = ::RegQueryValueExA(key, "QuilPurgix", nullptr, &kind, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (type) *type = kind;
    return status == ERROR_SUCCESS ? std::string(data, size) : "<none>";
}

std::string Padded(const std::string& text) { return text + std::string(20 - text.size(), '\0'); }

void Press(CDialog& dialog, int id) { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// What the user types into the three edits, and presses OK.
struct Typed {
    std::string old, fresh, confirm;
};

// Runs the set dialog with `typed`; returns its result.
INT_PTR SetPassword(const Typed& typed) {
    Driven<CSetPassWordDlg> dialog;
    dialog.script = [&](CDialog& d) {
        d.SetDlgItemText(IDC_PASSWORD, typed.old);
        d.SetDlgItemText(IDC_NEW_PASSWORD, typed.fresh);
        d.SetDlgItemText(IDC_CONFIRM_PASSWORD, typed.confirm);
        Press(d, IDOK);
    };
    return dialog.DoModal();
}

// The start-up prompt with `typed`: true when it lets the program start.
bool PromptAccepts(const std::string& typed) {
    Driven<CInputPassWordDlg> prompt;
    prompt.script = [&](CDialog& d) {
        d.SetDlgItemText(IDC_PASSWORD, typed);
        Press(d, IDOK);
    };
    return prompt.DoModal() == IDOK;
}

class PasswordTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetValue(); }
    void TearDown() override { ForgetValue(); }
    CWinApp app{"Purgix"};
    ScriptedUi ui;
};

}  // namespace

TEST_F(PasswordTest, SetChangeAndRemoveStoreTwentyBytesAndEachRefusalStoresNothing) {
    const std::string nineteen = "密码abcdefghijklmno";  // 19 bytes in GBK
    ASSERT_EQ(nineteen.size(), 19u);
    struct Step {
        const char* what;
        Typed typed;
        const char* message;
        bool closes;
        std::string stored;  // the value afterwards
    } steps[] = {
        {"old typed while none is stored", {"abc", "abc", "abc"}, "没有设置旧密码!", false, "<none>"},
        {"first password, no old one", {"", "abc", "abc"}, "新密码设置成功!", true, Padded("abc")},
        {"confirmation differs", {"abc", "abcd", "abce"}, "请检查输入正确后再试!", false, Padded("abc")},
        {"old password wrong", {"abd", "x", "x"}, "旧密码不正确!", false, Padded("abc")},
        {"3 to 12 characters", {"abc", "abcdefghijkl", "abcdefghijkl"}, "新密码设置成功!", true,
         Padded("abcdefghijkl")},
        {"12 to 19 characters", {"abcdefghijkl", nineteen, nineteen}, "新密码设置成功!", true, Padded(nineteen)},
        {"removed: old typed, new empty", {nineteen, "", ""}, "新密码设置成功!", true, std::string(20, '\0')},
    };
    for (const Step& step : steps) {
        ui.Clear();
        INT_PTR result = SetPassword(step.typed);
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{step.message}) << step.what;
        EXPECT_EQ(result, step.closes ? IDOK : IDCANCEL) << step.what;
        DWORD type = 0;
        EXPECT_EQ(StoredValue(&type), step.stored) << step.what;
        if (step.stored != "<none>") {
            EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << step.what;
        }
    }
    EXPECT_FALSE(StartupPassword::IsSet()) << "20 zero bytes are no password";
}

TEST_F(PasswordTest, TheDialogOffersOnlyWhatCanBeUsed) {
    struct Seen {
        bool oldEnabled, okEnabled, okAfterTyping, okAfterClearing;
        LRESULT limits[3];
    };
    auto look = [] {
        Seen seen = {};
        Driven<CSetPassWordDlg> dialog;
        dialog.script = [&](CDialog& d) {
            seen.oldEnabled = d.GetDlgItem(IDC_PASSWORD).IsWindowEnabled();
            seen.okEnabled = d.GetDlgItem(IDOK).IsWindowEnabled();
            d.SetDlgItemText(IDC_CONFIRM_PASSWORD, "a");
            seen.okAfterTyping = d.GetDlgItem(IDOK).IsWindowEnabled();
            d.SetDlgItemText(IDC_CONFIRM_PASSWORD, "");
            seen.okAfterClearing = d.GetDlgItem(IDOK).IsWindowEnabled();
            const int edits[] = {IDC_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD};
            for (int i = 0; i < 3; ++i) seen.limits[i] = d.GetDlgItem(edits[i]).SendMessage(EM_GETLIMITTEXT);
        };
        dialog.DoModal();
        return seen;
    };
    Seen none = look();
    EXPECT_TRUE(none.oldEnabled) << "no value: an old password can still be typed (and is refused)";
    StoreValue(std::string(20, '\0'));
    Seen empty = look();
    EXPECT_FALSE(empty.oldEnabled) << "a stored empty password has no old password to type";
    for (const Seen& seen : {none, empty}) {
        EXPECT_FALSE(seen.okEnabled) << "OK while all three are empty";
        EXPECT_TRUE(seen.okAfterTyping);
        EXPECT_FALSE(seen.okAfterClearing);
        for (LRESULT limit : seen.limits) EXPECT_EQ(limit, 19) << "a 20th character cannot be typed";
    }
}

TEST_F(PasswordTest, AShorterStoredValueIsReplacedByTheWholeNewPassword) {
    // A value of another length (here 4 bytes, "abc" and its zero) must not cut the new password
    // to that length: the prompt would then refuse what the user just set.
    StoreValue(std::string("abc", 4));
    ASSERT_EQ(SetPassword({"abc", "abcdefghijkl", "abcdefghijkl"}), IDOK);
    EXPECT_EQ(StoredValue(), Padded("abcdefghijkl"));
    ui.Clear();
    EXPECT_TRUE(PromptAccepts("abcdefghijkl"));
}
