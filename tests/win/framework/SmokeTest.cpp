#include <gtest/gtest.h>
#include "WinApp.h"
TEST(Smoke, AnsiCodePageIsGbk) { EXPECT_EQ(GetACP(), 936u); }
