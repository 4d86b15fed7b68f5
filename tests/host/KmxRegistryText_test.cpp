#include "framework/KmxRegistryText.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(RegistryText, WritesDecimalIntegersAndOneCharacterBooleans) {
    EXPECT_EQ(IntegerToRegistryText(0), "0");
    EXPECT_EQ(IntegerToRegistryText(235), "235");
    EXPECT_EQ(IntegerToRegistryText(-1), "-1");
    EXPECT_EQ(IntegerToRegistryText(INT32_MIN), "-2147483648");
    EXPECT_EQ(BooleanToRegistryText(true), "1");
    EXPECT_EQ(BooleanToRegistryText(false), "0");
}

TEST(RegistryText, EveryWrittenIntegerReadsBack) {
    for (std::int32_t value : {0, 1, -1, 300, -32000, INT32_MAX, INT32_MIN})
        EXPECT_EQ(RegistryTextToInteger(IntegerToRegistryText(value), 42), value) << value;
}

TEST(RegistryText, SignedDecimalTextConverts) {
    EXPECT_EQ(RegistryTextToInteger("7", 0), 7);
    EXPECT_EQ(RegistryTextToInteger("-1", 0), -1);
    EXPECT_EQ(RegistryTextToInteger("+007", 0), 7);
    EXPECT_EQ(RegistryTextToInteger("-0", 5), 0);
    EXPECT_EQ(RegistryTextToInteger("2147483647", 0), INT32_MAX);
    EXPECT_EQ(RegistryTextToInteger("-2147483648", 0), INT32_MIN);
    EXPECT_EQ(RegistryTextToInteger("00000000000000000000012", 0), 12);
}

TEST(RegistryText, AnythingElseGivesTheDefault) {
    for (const char* text : {"", "abc", "-", "+", "--1", " 7", "7 ", "7x", "0x10", "$10", "1e3",
                             "1.5", "2147483648", "-2147483649", "99999999999",
                             "99999999999999999999999999"})
        EXPECT_EQ(RegistryTextToInteger(text, -77), -77) << '"' << text << '"';
    EXPECT_EQ(RegistryTextToInteger(std::string("1\0" "2", 3), 9), 9);
}

TEST(RegistryText, BooleansAreNonZeroIntegers) {
    EXPECT_TRUE(RegistryTextToBoolean("1", false));
    EXPECT_TRUE(RegistryTextToBoolean("7", false));
    EXPECT_TRUE(RegistryTextToBoolean("-1", false));
    EXPECT_FALSE(RegistryTextToBoolean("0", true));
    EXPECT_TRUE(RegistryTextToBoolean("abc", true));
    EXPECT_FALSE(RegistryTextToBoolean("abc", false));
    EXPECT_FALSE(RegistryTextToBoolean("", false));
    EXPECT_TRUE(RegistryTextToBoolean("99999999999", true));
}

TEST(CompactTitle, DropsSpacesApostrophesAndSurroundingBlanks) {
    EXPECT_EQ(CompactTitle("Ovrelle"), "Ovrelle");
    EXPECT_EQ(CompactTitle(" Ovr elle "), "Ovrelle");
    EXPECT_EQ(CompactTitle("Ovr'elle"), "Ovrelle");
    EXPECT_EQ(CompactTitle("Ovrelle Store' Test"), "OvrelleStoreTest");
    EXPECT_EQ(CompactTitle("\t\r\nOvrelle\x01"), "Ovrelle");
    EXPECT_EQ(CompactTitle("Ovr\telle"), "Ovr\telle");
    EXPECT_EQ(CompactTitle(""), "");
    EXPECT_EQ(CompactTitle(" ' "), "");
    // Trimming comes before the apostrophes go, so a blank behind one stays.
    EXPECT_EQ(CompactTitle("'\tOvrelle"), "\tOvrelle");
    EXPECT_EQ(CompactTitle("Caf\xC3\xA9"), "Caf\xC3\xA9");
}
