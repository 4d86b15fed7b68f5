// Prints the cost of the module list of a process with many modules (the
// child ManyModules, which loads system libraries and waits): the module
// enumeration alone and the whole module list the click on a process row
// fills, each against the floor measured in the same runs (the process
// opened, its modules enumerated once and each module's path read), and
// one module snapshot of the same process for comparison, and the time the
// list then takes to draw the rows in view. Output lines:
// name value unit; medians, and the least of the runs.
// Usage: ModuleBench [runs]
#include "bench/BenchSupport.h"
#include "controllers/ControllerMain.h"
#include "framework/KmxFormat.h"
#include "widgets/Application.h"
#include "widgets/ListView.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using bench::Median;
using bench::Min;
using bench::TimeMilliseconds;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleModuleBench";

int ModuleSnapshot(DWORD processId) {
    int count = 0;
    bench::WalkSnapshot(TH32CS_SNAPMODULE, processId, Module32First, Module32Next,
                        [&](const MODULEENTRY32&) { ++count; });
    return count;
}

// A new process goes on loading for a while after it waits for input.
void WaitForSettledModules(DWORD processId) {
    int last = -1, stable = 0;
    for (int i = 0; i < 100 && stable < 4; ++i) {
        int count = bench::ModuleListFloor(processId);
        stable = count == last ? stable + 1 : 0;
        last = count;
        Sleep(100);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (runs < 1) runs = 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Module Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);

    bench::Child child(bench::ChildPath("ManyModules"));
    WaitForSettledModules(child.Id());

    auto controller = std::make_unique<TCMain>();
    TfrmMain& form = controller->Form();
    form.Show();
    application.ProcessMessages();
    const std::string childIdText = ProcessIdText(child.Id());
    int childRow = -1;
    for (int row = 0; row < form.lsvProcesses.RowCount(); ++row)
        if (form.lsvProcesses.SubItem(row, 5) == childIdText) childRow = row;
    if (childRow < 0) {
        std::fprintf(stderr, "the child is not in the process list\n");
        return 1;
    }
    form.lsvProcesses.SelectRow(childRow);
    form.lsvProcesses.FocusRow(childRow);
    controller->ShowModules();  // the files' icons and versions are read once

    std::vector<double> listing, shown, paint, floor, snapshot;
    size_t entries = 0;
    int modules = 0, snapshotModules = 0;
    for (int run = 0; run < runs; ++run) {
        TStringList list;
        listing.push_back(TimeMilliseconds([&] { ListProcessModules(list, child.Id(), false); }));
        entries = list.size();
        shown.push_back(TimeMilliseconds([&] { controller->ShowModules(); }));
        paint.push_back(TimeMilliseconds([&] { application.ProcessMessages(); }));
        floor.push_back(TimeMilliseconds([&] { modules = bench::ModuleListFloor(child.Id()); }));
        snapshot.push_back(TimeMilliseconds([&] { snapshotModules = ModuleSnapshot(child.Id()); }));
    }
    double floorMs = std::max(0.01, Median(floor));
    std::printf("modules %d count\n", modules);
    std::printf("module_entries %zu count\n", entries);
    std::printf("module_rows %d count\n", form.lsvModules.RowCount());
    std::printf("snapshot_modules %d count\n", snapshotModules);
    std::printf("list_process_modules %.2f ms\n", Median(listing));
    std::printf("list_process_modules_min %.2f ms\n", Min(listing));
    std::printf("module_list %.2f ms\n", Median(shown));
    std::printf("module_list_min %.2f ms\n", Min(shown));
    std::printf("paint_after_module_list %.2f ms\n", Median(paint));
    std::printf("module_floor %.2f ms\n", Median(floor));
    std::printf("module_floor_min %.2f ms\n", Min(floor));
    std::printf("module_snapshot %.2f ms\n", Median(snapshot));
    std::printf("list_process_modules_to_floor %.2f ratio\n", Median(listing) / floorMs);
    std::printf("module_list_to_floor %.2f ratio\n", Median(shown) / floorMs);
    std::printf("module_list_to_floor_paired %.2f ratio\n", bench::PairedRatio(shown, floor));

    controller.reset();
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return entries == static_cast<size_t>(modules) ? 0 : 1;
}
