// Desktop and session operations: ending the session, the screen saver,
// minimising windows, and the system's texts for the status bar and reports.
#pragma once

#include <windows.h>

#include <string>

#include "framework/KmxMiscellaneousText.h"

// The platform calls of ExitSession, so a test can stand in for them and
// never reach the real session end. Defaults to the system's functions.
struct TSessionApi {
    BOOL(WINAPI* GetVersionExW)(LPOSVERSIONINFOW info);
    BOOL(WINAPI* OpenProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* LookupPrivilegeValueW)(LPCWSTR systemName, LPCWSTR name, PLUID luid);
    BOOL(WINAPI* AdjustTokenPrivileges)(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                        DWORD bufferLength, PTOKEN_PRIVILEGES previousState, PDWORD returnLength);
    BOOL(WINAPI* ExitWindowsEx)(UINT flags, DWORD reason);
    // Writes one diagnostic line and its line break; false when it could not.
    bool (*WriteLine)(const std::string& line);
};

TSessionApi& SessionApi();
// The table of the system's own functions.
TSessionApi DefaultSessionApi();

// Asks the system to log off, restart, or shut down and power off (see
// SessionFlags). On the NT platform the shutdown privilege is enabled first;
// a step that fails is reported as a line on standard output and the request
// is made all the same, also when that line cannot be written. Returns once
// the request is handed to the system: true when the system took it; false
// when it refused, with the reason in the calling thread's last error.
bool ExitSession(bool logoff, bool reboot, bool shutdown, bool force);

// Enables the debug privilege when the process's token holds it (an elevated
// administrator's does), so that every process the system lets such a user
// read shows; says nothing when the token does not hold it.
void EnableDebugPrivilege();

// Posts the screen saver command to the desktop; returns at once.
void StartScreenSaver();

// Asks start and every visible window behind it in the Z-order to minimise;
// windows the system keeps from view (cloaked) are left alone.
void MinimizeAllWindows(HWND start);

// The time since the system started, from GetTickCount64 where the system
// has it (the 32-bit count wraps after 49.7 days).
std::string UptimeText();

// The system's wording of the calling thread's last error, as the system
// gives it (with its closing line break); empty when there is none.
std::string LastErrorText();
