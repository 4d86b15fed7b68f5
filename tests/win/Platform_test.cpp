// The test programs carry the program's manifest, so their ANSI calls take UTF-8 as its do.
#include <gtest/gtest.h>
#include <windows.h>

TEST(Platform, RunsWithUtf8CodePage) { EXPECT_EQ(GetACP(), 65001u); }
