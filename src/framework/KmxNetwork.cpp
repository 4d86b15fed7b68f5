#include "framework/KmxNetwork.h"

#include <windows.h>

std::string ComputerNameText() {
    char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof buffer;
    if (!GetComputerNameA(buffer, &size)) return {};
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}
