#include <gtest/gtest.h>
#include <windows.h>
TEST(Smoke, AnsiCodePageIs1251) { EXPECT_EQ(GetACP(), 1251u); }
