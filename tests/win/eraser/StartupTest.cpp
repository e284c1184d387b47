#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "InputPassWordDlg.h"
#include "OsVersionInfo.h"

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{03030303-0000-0010-8000-00AA006D2EA4}\\password";

// Stores `bytes` as the password value, as the set-password dialog does (REG_SZ, given length).
void StoreValue(const void* bytes, DWORD size) {
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key, "QuilPurgix", 0, REG_SZ, static_cast<const BYTE*>(bytes), size), ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void ForgetValue() {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(key, "QuilPurgix");
    ::RegCloseKey(key);
}

}  // namespace

TEST(StartupPassword, OnlyAValueWithANonZeroByteCountsAsAPassword) {
    ForgetValue();
    EXPECT_FALSE(StartupPassword::IsSet()) << "no value";

    unsigned char zeros[20] = {};
    StoreValue(zeros, sizeof zeros);
    EXPECT_FALSE(StartupPassword::IsSet()) << "20 zero bytes: an empty password";

    unsigned char padded[20] = {};
    std::memcpy(padded, "密码12", std::strlen("密码12"));
    StoreValue(padded, sizeof padded);
    EXPECT_TRUE(StartupPassword::IsSet());
    unsigned char stored[20];
    ASSERT_TRUE(StartupPassword::Read(stored));
    EXPECT_EQ(std::memcmp(stored, padded, 20), 0);

    // 19 characters and the terminating zero fill the 20 bytes exactly.
    std::string longest(19, 'x');
    StoreValue(longest.c_str(), 20);
    ASSERT_TRUE(StartupPassword::Read(stored));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(stored)), longest);
    ForgetValue();
}

TEST(OsVersion, EachReportedVersionSetsItsFamilyFlag) {
    struct Case {
        DWORD platform, major, minor;
        int win9598, nt4, winMe, win2000, winXP;
        bool ntFamily;
    } cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1, 0, 0, 0, 0, false},   // Windows 95
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1, 0, 0, 0, 0, false},  // Windows 98
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, 0, 1, 0, 0, false},  // Windows Me
        {VER_PLATFORM_WIN32_NT, 4, 0, 0, 1, 0, 0, 0, true},         // NT 4
        {VER_PLATFORM_WIN32_NT, 3, 51, 0, 1, 0, 0, 0, true},        // NT 3.51
        {VER_PLATFORM_WIN32_NT, 5, 0, 0, 0, 0, 1, 0, true},         // 2000
        {VER_PLATFORM_WIN32_NT, 5, 1, 0, 0, 0, 0, 1, true},         // XP
        {VER_PLATFORM_WIN32_NT, 6, 1, 0, 0, 0, 0, 0, true},         // later: NT family, no flag
    };
    for (const Case& c : cases) {
        OsVersionInfo info;
        info.Classify(c.platform, c.major, c.minor);
        std::string which = std::to_string(c.platform) + "/" + std::to_string(c.major) + "." + std::to_string(c.minor);
        EXPECT_EQ(info.win9598, c.win9598) << which;
        EXPECT_EQ(info.nt4, c.nt4) << which;
        EXPECT_EQ(info.winMe, c.winMe) << which;
        EXPECT_EQ(info.win2000, c.win2000) << which;
        EXPECT_EQ(info.winXP, c.winXP) << which;
        EXPECT_EQ(info.IsNtFamily(), c.ntFamily) << which;
    }
    OsVersionInfo here;
    EXPECT_TRUE(here.Detect());
    EXPECT_TRUE(here.IsNtFamily());
}
