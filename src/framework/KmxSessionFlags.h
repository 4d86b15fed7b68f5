// The request flags for ending the session (the values ExitWindowsEx takes),
// built from what the user asked for.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t SessionLogoff = 0x00000000;
inline constexpr std::uint32_t SessionShutdown = 0x00000001;
inline constexpr std::uint32_t SessionReboot = 0x00000002;
inline constexpr std::uint32_t SessionForce = 0x00000004;
inline constexpr std::uint32_t SessionPowerOff = 0x00000008;

// Logoff wins over the other two, Reboot over Shutdown (no power-off with a
// restart); with all three false the request is a shutdown without power-off.
std::uint32_t SessionFlags(bool logoff, bool reboot, bool shutdown, bool force);
