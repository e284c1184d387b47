#include <gtest/gtest.h>

#include "GbkText.h"

// Source is UTF-8; the GBK bytes of the names are spelled out so the host test sees what Windows sees.
// 禱 = B6 5C, 告 = B8 E6, 淺 = 9C 5C.
const std::string kPrayer = "\xB6\x5C\xB8\xE6";  // 禱告
const std::string kShallow = "\x9C\x5C";         // 淺

TEST(GbkPath, SplitsAtTheLastRealBackslash) {
    struct Case {
        std::string path, folder, name;
    } cases[] = {
        {"C:\\a\\report.doc", "C:\\a", "report.doc"},
        {"C:\\t\\" + kPrayer + ".txt", "C:\\t", kPrayer + ".txt"},
        {"C:\\" + kShallow, "C:", kShallow},                       // ends in a trail byte 0x5C
        {"C:\\" + kShallow + "\\x", "C:\\" + kShallow, "x"},
        {"report.doc", "", "report.doc"},
        {"D:", "", "D:"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gbk::FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(gbk::NameOf(c.path), c.name) << c.path;
    }
}

TEST(GbkPath, AppendsABackslashOnlyWhenNoneEndsThePath) {
    EXPECT_EQ(gbk::WithBackslash("C:\\a"), "C:\\a\\");
    EXPECT_EQ(gbk::WithBackslash("C:\\"), "C:\\");
    // "C:\淺" ends in byte 0x5C, which is half of 淺, not a separator.
    EXPECT_EQ(gbk::WithBackslash("C:\\" + kShallow), "C:\\" + kShallow + "\\");
    EXPECT_FALSE(gbk::EndsWithBackslash("C:\\" + kShallow));
    EXPECT_TRUE(gbk::EndsWithBackslash("C:\\" + kShallow + "\\"));
}

TEST(GbkPath, ALoneLeadByteAtTheEndIsNotAPairWithNothing) {
    // A truncated character must not hide a backslash before it nor read past the end.
    EXPECT_EQ(gbk::FindLastBackslash("a\\\xB6"), 1u);
    EXPECT_EQ(gbk::FindLastBackslash(std::string()), std::string::npos);
}
