// Texts about the system that need no system call: the uptime shown in the
// status bar.
#pragma once

#include <cstdint>
#include <string>

// Hours:minutes:seconds from a millisecond tick count, each at least two
// digits; the hours are not limited to a day (90,061,000 ms is "25:01:01").
std::string UptimeText(std::uint64_t tickCount);
