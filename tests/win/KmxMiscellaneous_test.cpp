#include "framework/KmxMiscellaneous.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "framework/KmxNetwork.h"
#include "support/TestSupport.h"

using testing_support::ChildExe;
using testing_support::ChildProcess;
using testing_support::WaitForWindow;

namespace {

// ---------------------------------------------------------------- session end

// What the stand-ins for the platform calls saw, and how they answer.
struct SessionRecord {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD openTokenError = 0;
    DWORD lookupError = 0;
    DWORD adjustError = 0;
    bool writeSucceeds = true;
    DWORD exitError = 0;  // the system refuses the request with it

    std::vector<std::string> calls;
    DWORD tokenAccess = 0;
    bool lookupOnLocalSystem = false;
    std::string privilegeName;
    BOOL disableAll = TRUE;
    TOKEN_PRIVILEGES adjusted{};
    DWORD bufferLength = 99;
    bool previousStateAsked = true;
    std::vector<std::string> lines;
    UINT exitFlags = 0xFFFFFFFF;
};
SessionRecord* record = nullptr;

BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOW info) {
    record->calls.push_back("GetVersionEx");
    info->dwPlatformId = record->platform;
    return TRUE;
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    record->calls.push_back("OpenProcessToken");
    record->tokenAccess = access;
    if (record->openTokenError) {
        SetLastError(record->openTokenError);
        return FALSE;
    }
    return ::OpenProcessToken(process, TOKEN_QUERY, token);  // a real handle for the code to close
}

BOOL WINAPI FakeLookupPrivilegeValue(LPCWSTR systemName, LPCWSTR name, PLUID luid) {
    record->calls.push_back("LookupPrivilegeValue");
    record->lookupOnLocalSystem = systemName == nullptr;
    record->privilegeName = widgets::Utf8(name);
    if (record->lookupError) {
        SetLastError(record->lookupError);
        return FALSE;
    }
    luid->LowPart = 19;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                                      PTOKEN_PRIVILEGES previousState, PDWORD) {
    record->calls.push_back("AdjustTokenPrivileges");
    record->disableAll = disableAll;
    record->adjusted = *newState;
    record->bufferLength = bufferLength;
    record->previousStateAsked = previousState != nullptr;
    SetLastError(record->adjustError);
    return TRUE;  // also when the account lacks the privilege
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD) {
    record->calls.push_back("ExitWindowsEx");
    record->exitFlags = flags;
    if (!record->exitError) return TRUE;
    SetLastError(record->exitError);
    return FALSE;
}

bool FakeWriteLine(const std::string& line) {
    record->calls.push_back("WriteLine");
    record->lines.push_back(line);
    return record->writeSucceeds;
}

class ExitSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = SessionApi();
        SessionApi() = TSessionApi{FakeGetVersionEx,          FakeOpenProcessToken, FakeLookupPrivilegeValue,
                                   FakeAdjustTokenPrivileges, FakeExitWindowsEx,    FakeWriteLine};
        record = &record_;
    }
    void TearDown() override {
        SessionApi() = saved_;
        record = nullptr;
    }

    SessionRecord record_;

private:
    TSessionApi saved_{};
};

using Calls = std::vector<std::string>;

TEST_F(ExitSessionTest, EnablesTheShutdownPrivilegeThenRequestsTheSessionEnd) {
    EXPECT_TRUE(ExitSession(false, false, true, false));
    EXPECT_EQ(record_.calls, (Calls{"GetVersionEx", "OpenProcessToken", "LookupPrivilegeValue",
                                    "AdjustTokenPrivileges", "ExitWindowsEx"}));
    EXPECT_EQ(record_.tokenAccess, 0x28u);
    EXPECT_TRUE(record_.lookupOnLocalSystem);
    EXPECT_EQ(record_.privilegeName, "SeShutdownPrivilege");
    EXPECT_FALSE(record_.disableAll);
    EXPECT_EQ(record_.adjusted.PrivilegeCount, 1u);
    EXPECT_EQ(record_.adjusted.Privileges[0].Luid.LowPart, 19u);
    EXPECT_EQ(record_.adjusted.Privileges[0].Attributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
    EXPECT_EQ(record_.bufferLength, 0u);
    EXPECT_FALSE(record_.previousStateAsked);
    EXPECT_TRUE(record_.lines.empty());
    EXPECT_EQ(record_.exitFlags, 0x00000009u);
}

// A step of the privilege that fails is reported as a line and ends the
// privilege part; the request is made all the same, also when the line
// cannot be written, and a refusal is returned with the system's reason.
TEST_F(ExitSessionTest, AFailedStepIsReportedAndTheRequestMadeAllTheSame) {
    const Calls reportedAdjust = {"GetVersionEx", "OpenProcessToken", "LookupPrivilegeValue",
                                  "AdjustTokenPrivileges", "WriteLine"};
    struct Case {
        const char* name;
        void (*prepare)(SessionRecord&);
        Calls callsBeforeRequest;
        Calls lines;
    } cases[] = {
        {"not NT", [](SessionRecord& r) { r.platform = VER_PLATFORM_WIN32_WINDOWS; }, {"GetVersionEx"}, {}},
        {"no token", [](SessionRecord& r) { r.openTokenError = ERROR_ACCESS_DENIED; },
         {"GetVersionEx", "OpenProcessToken", "WriteLine"},
         {"Cannot open process token. [Access denied.\r\n]"}},
        {"no privilege value", [](SessionRecord& r) { r.lookupError = ERROR_ACCESS_DENIED; },
         {"GetVersionEx", "OpenProcessToken", "LookupPrivilegeValue", "WriteLine"},
         {"Cannot find privilege value. [Access denied.\r\n]"}},
        {"privilege not held", [](SessionRecord& r) { r.adjustError = ERROR_NOT_ALL_ASSIGNED; }, reportedAdjust,
         {"Error adjusting process privileges."}},
        {"no standard output",
         [](SessionRecord& r) {
             r.adjustError = ERROR_NOT_ALL_ASSIGNED;
             r.writeSucceeds = false;
         },
         reportedAdjust, {"Error adjusting process privileges."}},
    };
    for (const Case& c : cases) {
        record_ = SessionRecord{};
        c.prepare(record_);
        record_.exitError = ERROR_PRIVILEGE_NOT_HELD;
        EXPECT_FALSE(ExitSession(false, true, false, false)) << c.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD)) << c.name;
        Calls calls = c.callsBeforeRequest;
        calls.push_back("ExitWindowsEx");
        EXPECT_EQ(record_.calls, calls) << c.name;
        EXPECT_EQ(record_.lines, c.lines) << c.name;
        EXPECT_EQ(record_.exitFlags, 0x00000002u) << c.name;
    }
}

// The real line writer, on a pipe and with no standard output at all.
TEST(SessionReportLine, IsWrittenToStandardOutputAndFailsWithoutIt) {
    auto writeLine = DefaultSessionApi().WriteLine;
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 4096));

    SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    bool written = writeLine("Error adjusting process privileges.");
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    bool writtenWithoutOutput = writeLine("lost");
    SetStdHandle(STD_OUTPUT_HANDLE, saved);

    EXPECT_TRUE(written);
    EXPECT_FALSE(writtenWithoutOutput);
    CloseHandle(writeEnd);
    char buffer[128] = {};
    DWORD read = 0;
    ReadFile(readEnd, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(readEnd);
    EXPECT_EQ(std::string(buffer, read), "Error adjusting process privileges.\r\n");
}

// ---------------------------------------------------------------- system texts

TEST(SystemTexts, AreTheSystemsOwnWordingAndName) {
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorText(), "Access denied.\r\n");
    SetLastError(0xE0001234);  // no system text
    EXPECT_EQ(LastErrorText(), "");

    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    ASSERT_GT(size, 0u);
    EXPECT_EQ(ComputerNameText(), name);
}

// ---------------------------------------------------------------- desktop actions

// The start window and every visible window behind it are asked to
// minimise; a hidden start window is skipped, and no start does nothing.
TEST(MinimizeAllWindows, MinimisesTheVisibleWindowsFromTheStartBackwards) {
    ChildProcess peer(ChildExe("guard_child"), "window BehindPeer");
    HWND behind = WaitForWindow(peer.Id(), "BehindPeer");
    ASSERT_NE(behind, nullptr);
    MinimizeAllWindows(nullptr);
    SendMessageA(behind, WM_NULL, 0, 0);  // anything posted before has been handled
    EXPECT_FALSE(IsIconic(behind));

    // A new top-level window goes in front of the others in the Z-order.
    HWND hidden = CreateWindowExA(0, "STATIC", "hidden", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(hidden, nullptr);
    SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    MinimizeAllWindows(hidden);
    bool minimised = false;
    for (int i = 0; i < 100 && !minimised; ++i, Sleep(50)) minimised = IsIconic(behind) != FALSE;
    EXPECT_TRUE(minimised);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_FALSE(IsIconic(hidden));

    ShowWindow(hidden, SW_SHOWNOACTIVATE);
    MinimizeAllWindows(hidden);
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_TRUE(IsIconic(hidden));
    DestroyWindow(hidden);
}

}  // namespace
