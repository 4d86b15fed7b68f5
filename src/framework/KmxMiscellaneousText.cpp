#include "framework/KmxMiscellaneousText.h"

#include <cstdio>

std::string UptimeText(std::uint64_t tickCount) {
    const std::uint64_t msPerHour = 3600000, msPerMinute = 60000;
    std::uint64_t hours = tickCount / msPerHour;
    std::uint64_t rest = tickCount - hours * msPerHour;
    std::uint64_t minutes = rest / msPerMinute;
    rest -= minutes * msPerMinute;
    std::uint64_t seconds = rest / 1000;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.2llu:%.2llu:%.2llu", static_cast<unsigned long long>(hours),
                  static_cast<unsigned long long>(minutes), static_cast<unsigned long long>(seconds));
    return buffer;
}
