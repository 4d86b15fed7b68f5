// Used by run.sh for its screenshot: reads Ovrelle's window from outside, as
// another program on the desktop can.
//   own-row            waits for Ovrelle's process list to show Ovrelle's own
//                      row (its Process ID cell holds Ovrelle's process id),
//                      scrolls it into view and prints the screen position
//                      of a point in its Process cell: "x y"
//   own-row modules    waits until the module list shows rows
// Exit code 0 when found, 1 after 60 seconds without.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/TestSupport.h"
#include "sysinfo/JclAppInst.h"

namespace {

HWND MainWindow() {
    HWND window = FindWindowA(ApplicationWindowClassName, "Ovrelle");
    return window && IsWindowVisible(window) ? window : nullptr;
}

struct ListSearch {
    int columns;
    HWND found;
};

BOOL CALLBACK MatchList(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ListSearch*>(param);
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) != WC_LISTVIEWA) return TRUE;
    HWND header = reinterpret_cast<HWND>(SendMessageA(child, LVM_GETHEADER, 0, 0));
    if (SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) != search->columns) return TRUE;
    search->found = child;
    return FALSE;
}

// The process list has seven columns, the module list six.
HWND ListWithColumns(HWND window, int columns) {
    ListSearch search{columns, nullptr};
    EnumChildWindows(window, MatchList, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int RowOfProcess(HWND list, DWORD processId) {
    int rows = testing_support::RemoteListViewRowCount(list);
    for (int row = 0; row < rows; ++row) {
        std::string text = testing_support::RemoteListViewText(list, row, 6);
        if (!text.empty() && std::strtoul(text.c_str(), nullptr, 16) == processId) return row;
    }
    return -1;
}

// The row's bounds in the list's client area, asked in the list's own process.
bool RowBounds(HWND list, int row, RECT& bounds) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return false;
    bool done = false;
    if (void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE)) {
        RECT asked{LVIR_BOUNDS, 0, 0, 0};
        SIZE_T moved = 0;
        done = WriteProcessMemory(process, remote, &asked, sizeof asked, &moved) &&
               SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote)) &&
               ReadProcessMemory(process, remote, &bounds, sizeof bounds, &moved);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return done;
}

bool PrintOwnRow() {
    HWND window = MainWindow();
    HWND list = window ? ListWithColumns(window, 7) : nullptr;
    if (!list) return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    int row = RowOfProcess(list, processId);
    if (row < 0) return false;
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT bounds{};
    if (!RowBounds(list, row, bounds)) return false;
    // Past the icon column, inside the Process column.
    POINT at{bounds.left + 60, (bounds.top + bounds.bottom) / 2};
    ClientToScreen(list, &at);
    std::printf("%ld %ld\n", at.x, at.y);
    return true;
}

bool ModulesShown() {
    HWND window = MainWindow();
    HWND list = window ? ListWithColumns(window, 6) : nullptr;
    return list && testing_support::RemoteListViewRowCount(list) > 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool modules = argc > 1 && std::string(argv[1]) == "modules";
    for (int i = 0; i < 600; ++i) {
        if (modules ? ModulesShown() : PrintOwnRow()) return 0;
        Sleep(100);
    }
    std::fprintf(stderr, modules ? "own-row: the module list stays empty\n"
                                 : "own-row: no row of Ovrelle's own process in its process list\n");
    return 1;
}
