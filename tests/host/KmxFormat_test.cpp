#include "framework/KmxFormat.h"

#include <gtest/gtest.h>

TEST(ProcessIdText, PadsToFourUpperCaseDigits) {
    EXPECT_EQ(ProcessIdText(4), "0004");
    EXPECT_EQ(ProcessIdText(1234), "04D2");
    EXPECT_EQ(ProcessIdText(0xABCDE), "ABCDE");
    EXPECT_EQ(ProcessIdText(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(ProcessIdFromText, ReadsWhatTheRowsShow) {
    EXPECT_EQ(ProcessIdFromText("0004"), 4);
    EXPECT_EQ(ProcessIdFromText("04d2"), 1234);
    EXPECT_EQ(ProcessIdFromText("  1F"), 31);
    EXPECT_EQ(ProcessIdFromText("7FFFFFFF"), 0x7FFFFFFF);
    EXPECT_EQ(ProcessIdFromText("80000000"), INT32_MIN);
}

TEST(ProcessIdFromText, AnythingElseIsMinusOne) {
    EXPECT_EQ(ProcessIdFromText("FFFFFFFF"), -1);
    EXPECT_EQ(ProcessIdFromText(""), -1);
    EXPECT_EQ(ProcessIdFromText("   "), -1);
    EXPECT_EQ(ProcessIdFromText("-"), -1);
    EXPECT_EQ(ProcessIdFromText("12 "), -1);
    EXPECT_EQ(ProcessIdFromText("0x10"), -1);
    EXPECT_EQ(ProcessIdFromText("100000000"), -1);
}
