#include "framework/KmxMiscellaneousText.h"

#include <gtest/gtest.h>

TEST(UptimeText, TruncatesToWholeSeconds) {
    EXPECT_EQ(UptimeText(0), "00:00:00");
    EXPECT_EQ(UptimeText(999), "00:00:00");
    EXPECT_EQ(UptimeText(1000), "00:00:01");
}

TEST(UptimeText, DaysCountAsHoursWithoutALimit) {
    EXPECT_EQ(UptimeText(90061000), "25:01:01");
    EXPECT_EQ(UptimeText(4294967295u), "1193:02:47");
    // Past the 32-bit count, which wraps after 49.7 days: 60 days.
    EXPECT_EQ(UptimeText(5184000000ull), "1440:00:00");
}
