#include "framework/KmxNetwork.h"

#include "widgets/Utf16.h"

#include <windows.h>

std::string ComputerNameText() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &size)) return {};
    return widgets::Utf8UpToNul(buffer, MAX_COMPUTERNAME_LENGTH + 1);
}
