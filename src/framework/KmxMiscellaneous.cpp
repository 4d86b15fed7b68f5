#include "framework/KmxMiscellaneous.h"

#include "framework/KmxSessionFlags.h"
#include "sysinfo/JclSysInfo.h"
#include "widgets/Handle.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

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

// Enables one privilege in the process's token; report is called for the
// step that fails, when there is one to call.
void EnablePrivilege(const TSessionApi& api, const wchar_t* name, void (*report)(const TSessionApi&, const std::string&)) {
    HANDLE rawToken = nullptr;
    if (!api.OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) {
        if (report) report(api, "Cannot open process token. [" + LastErrorText() + "]");
        return;
    }
    widgets::UniqueKernelHandle token(rawToken);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!api.LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
        if (report) report(api, "Cannot find privilege value. [" + LastErrorText() + "]");
        return;
    }
    // The call succeeds even when the account lacks the privilege; only the
    // last error (ERROR_NOT_ALL_ASSIGNED) tells.
    DWORD returnLength = 0;
    SetLastError(ERROR_SUCCESS);
    api.AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, &returnLength);
    if (GetLastError() != ERROR_SUCCESS && report) report(api, "Error adjusting process privileges.");
}

}  // namespace

TSessionApi DefaultSessionApi() {
    return TSessionApi{::GetVersionExW,  ::OpenProcessToken, ::LookupPrivilegeValueW, ::AdjustTokenPrivileges,
                       ::ExitWindowsEx, WriteStandardOutputLine};
}

TSessionApi& SessionApi() {
    static TSessionApi api = DefaultSessionApi();
    return api;
}

bool ExitSession(bool logoff, bool reboot, bool shutdown, bool force) {
    const TSessionApi& api = SessionApi();
    UINT flags = SessionFlags(logoff, reboot, shutdown, force);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (api.GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT)
        EnablePrivilege(api, L"SeShutdownPrivilege", Report);
    return api.ExitWindowsEx(flags, 0) != FALSE;
}

void EnableDebugPrivilege() { EnablePrivilege(SessionApi(), L"SeDebugPrivilege", nullptr); }

void StartScreenSaver() { PostMessageW(GetDesktopWindow(), WM_SYSCOMMAND, SC_SCREENSAVE, 0); }

void MinimizeAllWindows(HWND start) {
    for (HWND window = start; window; window = GetWindow(window, GW_HWNDNEXT))
        if (IsWindowVisible(window) && !IsWindowCloaked(window)) PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

std::string UptimeText() {
    // The 32-bit count wraps after 49.7 days; the 64-bit one came with NT 6.
    static widgets::SystemFunction<ULONGLONG WINAPI()> tickCount64(widgets::Kernel32Library(), "GetTickCount64");
    return UptimeText(tickCount64 ? static_cast<std::uint64_t>(tickCount64.Get()()) : GetTickCount());
}

std::string LastErrorText() {
    DWORD code = GetLastError();
    wchar_t buffer[512] = {};
    // Inserts stay as they are: there are no arguments to fill them with.
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, 512, nullptr);
    if (length == 0 || length >= 512) return {};
    return widgets::Utf8(buffer, length);
}
