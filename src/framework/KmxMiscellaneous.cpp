#include "framework/KmxMiscellaneous.h"

#include "framework/KmxSessionFlags.h"
#include "widgets/Handle.h"

namespace {

// A windowed program usually has no standard output: the write is checked
// by its result, never assumed.
bool WriteStandardOutputLine(const std::string& line) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
    std::string text = line + "\r\n";
    DWORD written = 0;
    return WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// A report that cannot be written must not keep the session from ending.
void Report(const TSessionApi& api, const std::string& line) { api.WriteLine(line); }

void EnableShutdownPrivilege(const TSessionApi& api) {
    HANDLE rawToken = nullptr;
    if (!api.OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) {
        Report(api, "Cannot open process token. [" + LastErrorText() + "]");
        return;
    }
    widgets::UniqueKernelHandle token(rawToken);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!api.LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        Report(api, "Cannot find privilege value. [" + LastErrorText() + "]");
        return;
    }
    // The call succeeds even when the account lacks the privilege; only the
    // last error (ERROR_NOT_ALL_ASSIGNED) tells.
    DWORD returnLength = 0;
    SetLastError(ERROR_SUCCESS);
    api.AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, &returnLength);
    if (GetLastError() != ERROR_SUCCESS) Report(api, "Error adjusting process privileges.");
}

}  // namespace

TSessionApi DefaultSessionApi() {
    return TSessionApi{::GetVersionExA,  ::OpenProcessToken, ::LookupPrivilegeValueA, ::AdjustTokenPrivileges,
                       ::ExitWindowsEx, WriteStandardOutputLine};
}

TSessionApi& SessionApi() {
    static TSessionApi api = DefaultSessionApi();
    return api;
}

bool ExitSession(bool logoff, bool reboot, bool shutdown, bool force) {
    const TSessionApi& api = SessionApi();
    UINT flags = SessionFlags(logoff, reboot, shutdown, force);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (api.GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT) EnableShutdownPrivilege(api);
    return api.ExitWindowsEx(flags, 0) != FALSE;
}

void StartScreenSaver() { PostMessageA(GetDesktopWindow(), WM_SYSCOMMAND, SC_SCREENSAVE, 0); }

void MinimizeAllWindows(HWND start) {
    for (HWND window = start; window; window = GetWindow(window, GW_HWNDNEXT))
        if (IsWindowVisible(window)) PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

std::string UptimeText() { return UptimeText(static_cast<std::uint32_t>(GetTickCount())); }

std::string LastErrorText() {
    DWORD code = GetLastError();
    char buffer[512] = {};
    // Inserts stay as they are: there are no arguments to fill them with.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, sizeof buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}
