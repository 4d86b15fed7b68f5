// Prints the cost of filling the process list beside a number of windowless
// children that carry an icon and a version resource, as real programs do
// (100 by default): the first (cold) refresh, which reads every file's icon
// and version resource, and warm refreshes, which find them in the cache,
// each against the floor (a bare snapshot walk, and each process opened and
// its path read) measured in the same runs. Output lines: name value unit;
// medians, and the least of the runs.
// Usage: RefreshBench [runs] [children]
#include "bench/BenchSupport.h"
#include "controllers/ControllerMain.h"
#include "widgets/Application.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using bench::Median;
using bench::Min;
using bench::TimeMilliseconds;

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (runs < 1) runs = 1;
    int childCount = argc > 2 ? std::atoi(argv[2]) : 100;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application::Instance().SetTitle("Ovrelle Bench");

    std::vector<std::unique_ptr<bench::Child>> children;
    for (int i = 0; i < childCount; ++i) children.push_back(std::make_unique<bench::Child>(bench::ChildPath()));
    Sleep(2000);

    double coldFloor = TimeMilliseconds([] { bench::ProcessListFloor(); });
    std::unique_ptr<TCMain> controller;
    double cold = TimeMilliseconds([&] { controller = std::make_unique<TCMain>(); });
    TfrmMain& form = controller->Form();

    std::vector<double> warm, floor, layout, enumeration, fill;
    unsigned long enumerationsBefore = ProcessEnumerationCount();
    for (int i = 0; i < runs; ++i) {
        warm.push_back(TimeMilliseconds([&] { controller->RefreshList(); }));
        floor.push_back(TimeMilliseconds([] { bench::ProcessListFloor(); }));
    }
    double enumerations = double(ProcessEnumerationCount() - enumerationsBefore) / runs;

    for (int i = 0; i < runs; ++i) {
        layout.push_back(TimeMilliseconds([&] { controller->ApplyColumnLayout(); }));
        TStringList paths;
        enumeration.push_back(TimeMilliseconds([&] { ListProcesses(paths, true); }));
        fill.push_back(TimeMilliseconds([&] { controller->FillList(form.lsvProcesses, form.ProcessIconList, paths, false); }));
    }
    std::printf("rows %d count\n", form.lsvProcesses.RowCount());
    std::printf("cold_start_to_filled_window %.2f ms\n", cold);
    std::printf("cold_floor %.2f ms\n", coldFloor);
    std::printf("warm_refresh %.2f ms\n", Median(warm));
    std::printf("warm_refresh_min %.2f ms\n", Min(warm));
    std::printf("floor %.2f ms\n", Median(floor));
    std::printf("floor_min %.2f ms\n", Min(floor));
    std::printf("refresh_to_floor %.2f ratio\n", Median(warm) / std::max(0.01, Median(floor)));
    std::printf("refresh_to_floor_paired %.2f ratio\n", bench::PairedRatio(warm, floor));
    std::printf("process_enumeration %.2f ms\n", Median(enumeration));
    std::printf("fill_list %.2f ms\n", Median(fill));
    std::printf("column_layout %.2f ms\n", Median(layout));
    std::printf("enumerations_per_refresh %.2f count\n", enumerations);
    controller.reset();
    children.clear();
    widgets::Application::Instance().DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillmar\\OvrelleBench");
    return 0;
}
