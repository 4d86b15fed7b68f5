// Prints the cost of the warm refresh of the process list, to the first
// screen drawn again, beside 200 windowless children that carry an icon and
// a version resource, a fifth of which grant other programs only the least
// query rights, as services and other users' programs do: once with no new
// process, and once with 20 processes ended and 20 new ones started before
// each refresh. The floor is the one of a reader that opens every process:
// a snapshot walk, and each process opened with the least query rights and
// its path read (QueryFullProcessImageNameW). Beside it, for information,
// the floor of the one call that lists every process
// (NtQuerySystemInformation) and the list's visible rows drawn again.
// Refreshes and floors are measured in the same runs, interleaved, each run
// in another order. At the end every row is checked against the system: its
// path is its own process's, its texts its own file's; the program exits
// with 1 when one is not. Output lines: name value unit; medians, the least
// of the runs, and the median of each run's ratio to the floor measured
// beside it (_paired).
// Usage: LimitedRefreshBench [runs] [children] [limited children] [new per run]
#include "bench/BenchSupport.h"
#include "bench/ListChecks.h"
#include "controllers/ControllerMain.h"
#include "framework/KmxFormat.h"
#include "widgets/Application.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

using bench::Child;
using bench::Median;
using bench::Min;
using bench::TimeMilliseconds;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleLimitedBench";

bool Opens(DWORD processId, DWORD access) {
    HANDLE process = OpenProcess(access, FALSE, processId);
    if (process) CloseHandle(process);
    return process != nullptr;
}

// The one call that lists every process, with a buffer that holds the table.
using TQuery = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
void ListEveryProcess() {
    static TQuery query =
        reinterpret_cast<TQuery>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    static std::vector<ULONGLONG> buffer(1 << 19);
    ULONG needed = 0;
    query(5, buffer.data(), static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)), &needed);
}

struct Series {
    std::vector<double> refresh, floor, callFloor;
};

void Print(const char* name, const Series& series) {
    std::printf("%s %.2f ms\n", name, Median(series.refresh));
    std::printf("%s_min %.2f ms\n", name, Min(series.refresh));
    std::printf("%s_to_limited_floor %.3f ratio\n", name, Median(series.refresh) / std::max(0.01, Median(series.floor)));
    std::printf("%s_to_limited_floor_paired %.3f ratio\n", name, bench::PairedRatio(series.refresh, series.floor));
    std::printf("%s_to_call_and_paint_floor %.2f ratio\n", name,
                Median(series.refresh) / std::max(0.01, Median(series.callFloor)));
}

int Run(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (runs < 1) runs = 1;
    int childCount = argc > 2 ? std::atoi(argv[2]) : 200;
    if (childCount < 0) childCount = 0;
    int limitedCount = argc > 3 ? std::atoi(argv[3]) : childCount / 5;
    limitedCount = std::max(0, std::min(limitedCount, childCount));
    int newPerRun = argc > 4 ? std::atoi(argv[4]) : 20;
    newPerRun = std::max(0, std::min(newPerRun, childCount - limitedCount));

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    // The limited ones spread among the others, so they are not all at one
    // end of the list.
    std::vector<std::unique_ptr<Child>> children;
    std::set<DWORD> limitedIds;
    const std::string exe = bench::ChildPath();
    const std::string arguments = "--none" + bench::ParentArgument();
    for (int i = 0; i < childCount; ++i) {
        bool limited = static_cast<int>(limitedIds.size()) < (i + 1) * limitedCount / std::max(1, childCount);
        children.push_back(
            std::make_unique<Child>(exe, arguments, limited ? bench::LimitedAccessList() : nullptr, false));
        if (limited && children.back()->Started()) limitedIds.insert(children.back()->Id());
    }
    int started = 0;
    for (const auto& child : children) {
        child->WaitIdle();
        started += child->Started() ? 1 : 0;
    }
    // New processes are still loading for a while after they wait for input.
    Sleep(2000);

    // The limited children must refuse the full query and grant the least
    // one, or the runs measure something else.
    int refusing = 0, granting = 0;
    for (DWORD id : limitedIds) {
        refusing += Opens(id, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ) ? 0 : 1;
        granting += Opens(id, PROCESS_QUERY_LIMITED_INFORMATION) ? 1 : 0;
    }

    std::unique_ptr<TCMain> controller;
    double cold = TimeMilliseconds([&] { controller = std::make_unique<TCMain>(); });
    TfrmMain& form = controller->Form();
    HWND list = form.lsvProcesses.Handle();
    form.Show();
    bench::FillEveryRow();
    // One more refresh settles the list's layout; the runs are warm.
    controller->RefreshList();
    bench::FillEveryRow();

    auto measure = [&](Series& series) {
        auto refresh = [&] {
            series.refresh.push_back(TimeMilliseconds([&] {
                controller->RefreshList();
                RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW);
            }));
            // The rows out of view are filled between messages, outside the measure.
            bench::FillEveryRow();
        };
        auto floor = [&] { series.floor.push_back(TimeMilliseconds([] { bench::LimitedProcessListFloor(); })); };
        auto callFloor = [&] {
            series.callFloor.push_back(TimeMilliseconds([&] {
                ListEveryProcess();
                InvalidateRect(list, nullptr, TRUE);
                RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW);
            }));
        };
        // Each of the three goes first, second and last as often.
        switch (series.refresh.size() % 3) {
            case 0: refresh(); floor(); callFloor(); break;
            case 1: floor(); callFloor(); refresh(); break;
            default: callFloor(); refresh(); floor(); break;
        }
    };

    Series known, withNew;
    unsigned long enumerationsBefore = ProcessEnumerationCount();
    for (int run = 0; run < runs; ++run) measure(known);
    double enumerations = double(ProcessEnumerationCount() - enumerationsBefore) / runs;

    // The last full-access children are ended and started again, so that
    // each refresh finds that many processes it has not seen.
    std::vector<size_t> renewable;
    for (size_t i = children.size(); i-- > 0 && renewable.size() < static_cast<size_t>(newPerRun);)
        if (!limitedIds.count(children[i]->Id())) renewable.push_back(i);
    size_t renewed = 0;
    for (int run = 0; run < runs && newPerRun > 0; ++run) {
        for (size_t i : renewable) children[i] = std::make_unique<Child>(exe, arguments, nullptr, false);
        for (size_t i : renewable) {
            children[i]->WaitIdle();
            renewed += children[i]->Started() ? 1 : 0;
        }
        Sleep(1000);
        measure(withNew);
    }

    // Every row, filled between messages, is checked against the system.
    controller->RefreshList();
    double longestRound = bench::FillEveryRow();
    std::string fault = bench::ListFault(form.lsvProcesses, true);
    int rows = form.lsvProcesses.RowCount();
    int limitedRows = 0, limitedRowsWithFolder = 0;
    for (int row = 0; row < rows; ++row) {
        if (!limitedIds.count(static_cast<DWORD>(form.lsvProcesses.RowValue(row)))) continue;
        ++limitedRows;
        if (form.lsvProcesses.RowData(row).find('\\') != std::string::npos) ++limitedRowsWithFolder;
    }

    std::printf("children_started %d count\n", started);
    std::printf("limited_children %zu count\n", limitedIds.size());
    std::printf("limited_refusing_0x410 %d count\n", refusing);
    std::printf("limited_granting_0x1000 %d count\n", granting);
    std::printf("rows %d count\n", rows);
    std::printf("limited_rows_with_path %d count\n", limitedRowsWithFolder);
    std::printf("new_processes_per_run %d count\n", newPerRun);
    std::printf("cold_start_to_filled_window %.2f ms\n", cold);
    std::printf("limited_floor %.2f ms\n", Median(known.floor));
    std::printf("limited_floor_min %.2f ms\n", Min(known.floor));
    std::printf("call_and_paint_floor %.2f ms\n", Median(known.callFloor));
    Print("warm_refresh", known);
    if (newPerRun > 0) Print("refresh_with_new", withNew);
    std::printf("refresh_per_row %.3f ms\n", rows ? Median(known.refresh) / rows : 0.0);
    std::printf("enumerations_per_refresh %.2f count\n", enumerations);
    std::printf("longest_fill_round %.2f ms\n", longestRound);
    if (!fault.empty()) std::fprintf(stderr, "LimitedRefreshBench: %s\n", fault.c_str());

    bool sound = started == childCount && refusing == static_cast<int>(limitedIds.size()) && granting == refusing &&
                 limitedRowsWithFolder == limitedRows && limitedRows == limitedCount &&
                 renewed == static_cast<size_t>(runs * newPerRun) && fault.empty();
    std::printf("sound %d count\n", sound ? 1 : 0);
    return sound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Limited Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    // Caught, an error still ends the children and the window before the
    // settings key goes.
    int result = 1;
    try {
        result = Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "LimitedRefreshBench: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "LimitedRefreshBench: unknown error\n");
    }
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return result;
}
