#include "framework/KmxSessionFlags.h"

std::uint32_t SessionFlags(bool logoff, bool reboot, bool shutdown, bool force) {
    std::uint32_t flags = 0;
    if (force) flags |= SessionForce;
    flags |= reboot ? SessionReboot : SessionShutdown;
    if (shutdown && !reboot) flags |= SessionPowerOff;
    if (logoff) flags &= ~(SessionShutdown | SessionReboot | SessionPowerOff);
    return flags;
}
