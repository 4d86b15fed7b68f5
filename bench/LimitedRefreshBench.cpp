// Prints the cost of the warm refresh of the process list beside 200
// windowless children that carry an icon and a version resource, a fifth of
// which grant other programs only the least query rights, as services and
// other users' programs do. The floor is the one of a reader without the
// limited query: a bare snapshot walk, and each process opened (0x410) and
// its path read (GetModuleFileNameExA); the limited processes refuse that
// open. Beside it, for information, the floor of a reader with it: each
// process opened with the least query rights and its path read
// (QueryFullProcessImageNameW). Refreshes and both floors are measured in
// the same runs, interleaved, each run in another order. Output lines:
// name value unit; medians, and the least of the runs.
// Usage: LimitedRefreshBench [runs] [children] [limited children]
#include "bench/BenchSupport.h"
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

int Run(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (runs < 1) runs = 1;
    int childCount = argc > 2 ? std::atoi(argv[2]) : 200;
    if (childCount < 0) childCount = 0;
    int limitedCount = argc > 3 ? std::atoi(argv[3]) : childCount / 5;
    limitedCount = std::max(0, std::min(limitedCount, childCount));

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();

    // The limited ones spread among the others, so they are not all at one
    // end of the snapshot.
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

    // The limited children must refuse what the old floor asks and grant
    // what the program asks, or the runs measure something else.
    int refusing = 0, granting = 0;
    for (DWORD id : limitedIds) {
        refusing += Opens(id, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ) ? 0 : 1;
        granting += Opens(id, PROCESS_QUERY_LIMITED_INFORMATION) ? 1 : 0;
    }

    std::unique_ptr<TCMain> controller;
    double cold = TimeMilliseconds([&] { controller = std::make_unique<TCMain>(); });
    TfrmMain& form = controller->Form();
    form.Show();
    application.ProcessMessages();
    // One more refresh settles the list's layout; the runs are warm.
    controller->RefreshList();
    application.ProcessMessages();

    std::vector<double> warm, oldFloor, newFloor;
    auto refresh = [&] {
        warm.push_back(TimeMilliseconds([&] { controller->RefreshList(); }));
        // The list draws the rows in view after the refresh, outside the measure.
        application.ProcessMessages();
    };
    auto measureOld = [&] { oldFloor.push_back(TimeMilliseconds([] { bench::ProcessListFloor(); })); };
    auto measureNew = [&] { newFloor.push_back(TimeMilliseconds([] { bench::LimitedProcessListFloor(); })); };
    unsigned long enumerationsBefore = ProcessEnumerationCount();
    for (int run = 0; run < runs; ++run) {
        // Each of the three goes first, second and last as often.
        switch (run % 3) {
            case 0: refresh(); measureOld(); measureNew(); break;
            case 1: measureOld(); measureNew(); refresh(); break;
            default: measureNew(); refresh(); measureOld(); break;
        }
    }
    double enumerations = double(ProcessEnumerationCount() - enumerationsBefore) / runs;

    // The limited children's rows show their paths, not bare names.
    int rows = form.lsvProcesses.RowCount();
    int limitedRows = 0, limitedRowsWithFolder = 0;
    for (int row = 0; row < rows; ++row) {
        std::int32_t id = ProcessIdFromText(form.lsvProcesses.SubItem(row, 5));
        if (id < 0 || !limitedIds.count(static_cast<DWORD>(id))) continue;
        ++limitedRows;
        if (form.lsvProcesses.RowData(row).find('\\') != std::string::npos) ++limitedRowsWithFolder;
    }

    std::printf("children_started %d count\n", started);
    std::printf("limited_children %zu count\n", limitedIds.size());
    std::printf("limited_refusing_0x410 %d count\n", refusing);
    std::printf("limited_granting_0x1000 %d count\n", granting);
    std::printf("rows %d count\n", rows);
    std::printf("limited_rows_with_path %d count\n", limitedRowsWithFolder);
    std::printf("cold_start_to_filled_window %.2f ms\n", cold);
    std::printf("warm_refresh %.2f ms\n", Median(warm));
    std::printf("warm_refresh_min %.2f ms\n", Min(warm));
    std::printf("old_floor %.2f ms\n", Median(oldFloor));
    std::printf("old_floor_min %.2f ms\n", Min(oldFloor));
    std::printf("refresh_to_old_floor %.2f ratio\n", Median(warm) / std::max(0.01, Median(oldFloor)));
    std::printf("refresh_to_old_floor_paired %.2f ratio\n", bench::PairedRatio(warm, oldFloor));
    std::printf("new_floor %.2f ms\n", Median(newFloor));
    std::printf("new_floor_min %.2f ms\n", Min(newFloor));
    std::printf("refresh_to_new_floor %.2f ratio\n", Median(warm) / std::max(0.01, Median(newFloor)));
    std::printf("refresh_to_new_floor_paired %.2f ratio\n", bench::PairedRatio(warm, newFloor));
    std::printf("new_floor_to_old_floor %.2f ratio\n", Median(newFloor) / std::max(0.01, Median(oldFloor)));
    std::printf("refresh_per_row %.3f ms\n", rows ? Median(warm) / rows : 0.0);
    std::printf("enumerations_per_refresh %.2f count\n", enumerations);

    bool sound = started == childCount && refusing == static_cast<int>(limitedIds.size()) &&
                 granting == refusing && limitedRowsWithFolder == limitedRows && limitedRows == limitedCount;
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
