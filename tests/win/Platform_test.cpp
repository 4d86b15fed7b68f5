#include "framework/KmxFormat.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(Platform, RunsWithUtf8CodePage) { EXPECT_EQ(GetACP(), 65001u); }
