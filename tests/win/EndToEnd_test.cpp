// The program as a user starts it: its window, its lists, and a clean exit.
#include "support/TestSupport.h"
#include "sysinfo/JclSysInfo.h"

#include <gtest/gtest.h>

#include <set>

using namespace testing_support;

namespace {
const int kProcessListId = 101;
const int kModuleListId = 102;
const int kPidColumn = 6;

void NudgeSize(HWND window) {
    // A resize schedules a refresh at the next timer tick.
    RECT r{};
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + 1, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}
}  // namespace

TEST(EndToEnd, ShowsOneRowPerRunningProcessAndExitsCleanly) {
    ChildProcess app(OvrelleExe());
    HWND window = WaitForWindow(app.Id(), "Ovrelle");
    ASSERT_NE(window, nullptr) << "no main window titled Ovrelle";
    HWND processes = GetDlgItem(window, kProcessListId);
    HWND modules = GetDlgItem(window, kModuleListId);
    ASSERT_NE(processes, nullptr);
    ASSERT_NE(modules, nullptr);

    // Processes may come and go around the two enumerations: compare the
    // sets of ids, and let the program refresh again when they differ.
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
    EXPECT_TRUE(shown.count([] {
        char text[16];
        wsprintfA(text, "%04X", static_cast<unsigned>(GetCurrentProcessId()));
        return std::string(text);
    }()));

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitExit(15000), 0u);
}
