#include "framework/KmxSessionFlags.h"

#include <gtest/gtest.h>

TEST(SessionFlags, TheSystemMenuCommands) {
    EXPECT_EQ(SessionFlags(true, false, false, false), 0x00000000u);  // Logout
    EXPECT_EQ(SessionFlags(false, true, false, false), 0x00000002u);  // Reboot
    EXPECT_EQ(SessionFlags(false, false, true, false), 0x00000009u);  // Shutdown, power off
}

TEST(SessionFlags, LogoffWinsAndKeepsOnlyForce) {
    EXPECT_EQ(SessionFlags(true, false, false, true), 0x00000004u);
    EXPECT_EQ(SessionFlags(true, true, true, false), 0x00000000u);
    EXPECT_EQ(SessionFlags(true, true, true, true), 0x00000004u);
}

TEST(SessionFlags, RebootWinsOverShutdown) {
    EXPECT_EQ(SessionFlags(false, true, true, false), 0x00000002u);
    EXPECT_EQ(SessionFlags(false, true, true, true), 0x00000006u);
}

TEST(SessionFlags, NothingAskedIsAShutdownWithoutPowerOff) {
    EXPECT_EQ(SessionFlags(false, false, false, false), 0x00000001u);
    EXPECT_EQ(SessionFlags(false, false, false, true), 0x00000005u);
    EXPECT_EQ(SessionFlags(false, false, true, true), 0x0000000Du);
}
