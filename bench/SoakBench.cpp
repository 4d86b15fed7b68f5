// A long run of the main controller: cold start to a filled window, the
// working set after start-up and after 100 refreshes, then 2,000 refreshes
// and 2,000 module-list fills of a child it started. Prints what the program
// holds (icons, images, GDI objects, kernel, file and registry handles,
// mapped views, DCs, menus, windows, working set) after the first hundred
// and at the end; every count must be the same at both points and the
// working set within a small bound. Output lines: name value unit; the exit
// code is 1 when something grew.
// Usage: SoakBench [cycles]
#include "bench/BenchSupport.h"
#include "controllers/ControllerMain.h"
#include "framework/KmxFileInfoClasses.h"
#include "framework/KmxFormat.h"
#include "tests/support/ResourceCounts.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Handle.h"
#include "widgets/ListView.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using bench::Child;
using bench::ChildPath;
using bench::MillisecondsSince;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleSoakBench";
const int kFirstCycles = 100;
// Allocator pools and Wine's own caches settle slowly; more than this is a leak.
const double kWorkingSetBoundMb = 4.0;

struct Counts {
    testing_support::ResourceCounts items;
    double workingSetMb = 0;
};

Counts Take() { return {testing_support::TakeResourceCounts(), testing_support::WorkingSetMb()}; }

void Print(const Counts& counts, const char* when) {
    for (const auto& item : counts.items) std::printf("%s_%s %ld count\n", item.first.c_str(), when, item.second);
    std::printf("working_set_%s %.2f MB\n", when, counts.workingSetMb);
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (cycles <= kFirstCycles) cycles = kFirstCycles + 1;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Soak Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    long dialogs = 0;
    widgets::SetDialogHook([&dialogs](const std::string& text, widgets::DialogKind, widgets::DialogButtons) {
        ++dialogs;
        std::fprintf(stderr, "dialog: %s\n", text.c_str());
        return widgets::DialogResult::OK;
    });

    Child child(ChildPath());
    const std::string childIdText = ProcessIdText(child.Id());

    auto start = std::chrono::steady_clock::now();
    auto controller = std::make_unique<TCMain>();
    controller->Form().Show();
    double cold = MillisecondsSince(start);
    application.ProcessMessages();
    double startupSet = testing_support::WorkingSetMb();
    for (int i = 0; i < 100; ++i) {
        controller->RefreshList();
        application.ProcessMessages();
    }
    double refreshedSet = testing_support::WorkingSetMb();
    std::printf("cold_start_to_filled_window %.2f ms\n", cold);
    std::printf("working_set_after_start %.2f MB\n", startupSet);
    std::printf("working_set_after_100_refreshes %.2f MB\n", refreshedSet);

    TfrmMain& form = controller->Form();
    long emptyModuleLists = 0;
    double refreshMs = 0, modulesMs = 0, messagesMs = 0;
    auto cycle = [&] {
        auto begin = std::chrono::steady_clock::now();
        controller->RefreshList();
        refreshMs += MillisecondsSince(begin);
        controller->TimerTick();
        for (int row = 0; row < form.lsvProcesses.RowCount(); ++row) {
            if (form.lsvProcesses.SubItem(row, 5) != childIdText) continue;
            form.lsvProcesses.SelectRow(row);
            form.lsvProcesses.FocusRow(row);
            break;
        }
        begin = std::chrono::steady_clock::now();
        controller->ShowModules();
        modulesMs += MillisecondsSince(begin);
        if (form.lsvModules.RowCount() == 0) ++emptyModuleLists;
        begin = std::chrono::steady_clock::now();
        application.ProcessMessages();
        messagesMs += MillisecondsSince(begin);
    };

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFirstCycles; ++i) cycle();
    Counts first = Take();
    for (int i = kFirstCycles; i < cycles; ++i) cycle();
    double elapsed = MillisecondsSince(start);
    Counts last = Take();

    Print(first, "after_100_cycles");
    Print(last, "at_end");
    int changed = 0;
    for (std::size_t i = 0; i < first.items.size(); ++i)
        if (first.items[i].second != last.items[i].second) ++changed;
    double growth = last.workingSetMb - first.workingSetMb;
    std::printf("cycles %d count\n", cycles);
    std::printf("cycle_time %.2f ms\n", elapsed / cycles);
    std::printf("refresh_time %.2f ms\n", refreshMs / cycles);
    std::printf("module_list_fill_time %.2f ms\n", modulesMs / cycles);
    std::printf("message_handling_time %.2f ms\n", messagesMs / cycles);
    std::printf("module_rows %d count\n", form.lsvModules.RowCount());
    std::printf("empty_module_lists %ld count\n", emptyModuleLists);
    std::printf("dialogs %ld count\n", dialogs);
    std::printf("changed_counts %d count\n", changed);
    std::printf("working_set_growth %.2f MB\n", growth);

    controller.reset();
    application.DestroyMainForm();
    widgets::SetDialogHook(nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    bool held = changed == 0 && growth < kWorkingSetBoundMb && emptyModuleLists == 0 && dialogs == 0;
    return held ? 0 : 1;
}
