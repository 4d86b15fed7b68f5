// The program as a user starts it: its window, its lists, a clean exit, and
// its size and columns kept for the next start.
#include "support/TestSupport.h"
#include "sysinfo/JclSysInfo.h"

#include <gtest/gtest.h>

#include <set>

using namespace testing_support;

namespace {
const int kProcessListId = 101;
const int kPidColumn = 6;

void NudgeSize(HWND window) {
    // A resize schedules a refresh at the next timer tick.
    RECT r{};
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + 1, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

// Processes may come and go around the two enumerations: compare the sets
// of ids, and let the program refresh again when they differ.
void ExpectOneRowPerRunningProcess(HWND window) {
    HWND processes = GetDlgItem(window, kProcessListId);
    ASSERT_NE(processes, nullptr);
    std::set<std::string> expected, shown;
    for (int attempt = 0; attempt < 8; ++attempt) {
        TStringList list;
        ASSERT_TRUE(ListProcesses(list, true));
        expected.clear();
        for (const auto& entry : list) {
            char text[16];
            wsprintfA(text, "%04X", static_cast<unsigned>(entry.Data));
            expected.insert(text);
        }
        shown.clear();
        int rows = RemoteListViewRowCount(processes);
        for (int row = 0; row < rows; ++row) shown.insert(RemoteListViewText(processes, row, kPidColumn));
        if (shown == expected && rows == static_cast<int>(list.size())) break;
        NudgeSize(window);
        Sleep(1500);
    }
    EXPECT_EQ(shown, expected);
    char self[16];
    wsprintfA(self, "%04X", static_cast<unsigned>(GetCurrentProcessId()));
    EXPECT_TRUE(shown.count(self));
}

const char kProgramKey[] = "Software\\Quillmar\\Ovrelle";

std::string StoredText(const char* section, const char* name) {
    char data[64] = {};
    DWORD size = sizeof data - 1;
    std::string key = std::string(kProgramKey) + "\\" + section;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return "<missing>";
    return data;
}
}  // namespace

TEST(EndToEnd, ShowsEveryProcessAndRemembersItsSizeAndColumnsAcrossRestarts) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    {
        ChildProcess app(OvrelleExe());
        HWND window = WaitForWindow(app.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr) << "no main window titled Ovrelle";
        ExpectOneRowPerRunningProcess(window);
        SetWindowPos(window, nullptr, 0, 0, 700, 450, SWP_NOMOVE | SWP_NOZORDER);
        PostMessageA(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(app.WaitExit(15000), 0u);
    }
    EXPECT_EQ(StoredText("Forms", "frmMainWidth"), "700");
    EXPECT_EQ(StoredText("Forms", "frmMainHeight"), "450");
    EXPECT_NE(StoredText("Forms", "frmMainTop"), "<missing>");
    EXPECT_NE(StoredText("Forms", "frmMainLeft"), "<missing>");
    EXPECT_EQ(StoredText("Items", "1width"), "235");
    EXPECT_EQ(StoredText("Items", "5visible"), "0");

    {
        ChildProcess app(OvrelleExe());
        HWND window = WaitForWindow(app.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr);
        RECT r{};
        GetWindowRect(window, &r);
        EXPECT_EQ(r.right - r.left, 700);
        EXPECT_EQ(r.bottom - r.top, 450);
        PostMessageA(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(app.WaitExit(15000), 0u);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
}
