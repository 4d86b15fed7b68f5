#include "framework/KmxMiscellaneousText.h"

#include <cstdio>

std::string UptimeText(std::uint32_t tickCount) {
    const std::uint32_t msPerDay = 86400000, msPerHour = 3600000, msPerMinute = 60000;
    std::uint32_t days = tickCount / msPerDay;
    std::uint32_t rest = tickCount - days * msPerDay;
    std::uint32_t hours = rest / msPerHour;
    rest -= hours * msPerHour;
    std::uint32_t minutes = rest / msPerMinute;
    rest -= minutes * msPerMinute;
    std::uint32_t seconds = rest / 1000;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2u:%.2u:%.2u", static_cast<unsigned>(hours + 24 * days),
                  static_cast<unsigned>(minutes), static_cast<unsigned>(seconds));
    return buffer;
}
