// A test child ends with the test program that started it, also when that
// program is stopped or crashes: "--parent <id>" names the process to watch.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

DWORD WINAPI EndWithParent(LPVOID parent) {
    WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
    ExitProcess(0);
}

void WatchParent(const char* commandLine) {
    const char* flag = std::strstr(commandLine, "--parent ");
    if (!flag) return;
    DWORD parentId = static_cast<DWORD>(std::strtoul(flag + 9, nullptr, 10));
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    // A parent that is already gone leaves nothing to wait for.
    if (!parent) ExitProcess(0);
    CloseHandle(CreateThread(nullptr, 0, EndWithParent, parent, 0, nullptr));
}

}  // namespace
