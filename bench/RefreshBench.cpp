// Prints the cost of filling the process list: the first (cold) refresh,
// which reads every file's icon and version resource, and warm refreshes,
// which find them in the cache. Output lines: name value unit.
#include "bench/BenchSupport.h"
#include "controllers/ControllerMain.h"
#include "widgets/Application.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

using bench::MillisecondsSince;

int main(int argc, char** argv) {
    int warmRuns = argc > 1 ? std::atoi(argv[1]) : 20;
    if (warmRuns < 1) warmRuns = 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application::Instance().SetTitle("Ovrelle Bench");

    auto start = std::chrono::steady_clock::now();
    auto controller = std::make_unique<TCMain>();
    double cold = MillisecondsSince(start);

    unsigned long enumerationsBefore = ProcessEnumerationCount();
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < warmRuns; ++i) controller->RefreshList();
    double warm = MillisecondsSince(start) / warmRuns;
    double enumerations = double(ProcessEnumerationCount() - enumerationsBefore) / warmRuns;

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < warmRuns; ++i) controller->ApplyColumnLayout();
    double layout = MillisecondsSince(start) / warmRuns;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < warmRuns; ++i) {
        TStringList list;
        ListProcesses(list, true);
    }
    double enumeration = MillisecondsSince(start) / warmRuns;
    TStringList paths;
    ListProcesses(paths, true);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < warmRuns; ++i) {
        controller->Form().lsvProcesses.Clear();
        controller->Form().ProcessIconList.Clear();
        controller->FillList(controller->Form().lsvProcesses, controller->Form().ProcessIconList, paths, false);
    }
    double fill = MillisecondsSince(start) / warmRuns;
    std::printf("fill_list %.2f ms\n", fill);
    std::printf("column_layout %.2f ms\n", layout);
    std::printf("process_enumeration %.2f ms\n", enumeration);
    std::printf("rows %d count\n", controller->Form().lsvProcesses.RowCount());
    std::printf("cold_start_to_filled_window %.2f ms\n", cold);
    std::printf("warm_refresh %.2f ms\n", warm);
    std::printf("enumerations_per_refresh %.2f count\n", enumerations);
    controller.reset();
    widgets::Application::Instance().DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillmar\\OvrelleBench");
    return 0;
}
