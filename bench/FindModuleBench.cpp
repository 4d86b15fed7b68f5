// Prints the cost of the search for a module that every process loads
// (ntdll.dll), through the search window, in the tests' world of about 180
// processes, against its floor measured in the same run: one module listing
// per process as the module list reads it (ListProcessModules, the ids from
// one EnumProcesses) and one version read (GetFileVersionInfoSizeW and
// GetFileVersionInfoW) of each distinct file found. Also the time from the
// start of the search to its first hit shown. The search is timed from its
// start in the open window, with the shell library loaded, as the first
// module list a click shows loads it: the window's first showing and the
// library's first load (for the hits' icons) are printed apart.
// The file information cache lives as long as the program, so each search
// runs cold in a process of its own (this program started again with
// --measure), which measures the floor right before and right after it and
// takes the mean of the two: what runs second meets the system's caches
// warmer. Exits non-zero when a search misses a process whose modules the
// floor found the file in.
// Output lines: name value unit; medians, extremes, and the median of each
// run's ratio to the floor measured beside it (_paired).
// Usage: FindModuleBench [runs]
//        FindModuleBench --measure   (one cold search and its floor)
#include "bench/BenchSupport.h"
#include "controllers/ControllerFindModule.h"
#include "controllers/ControllerMain.h"
#include "framework/KmxFileInfoClasses.h"
#include "support/World.h"
#include "widgets/Application.h"
#include "widgets/Utf16.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using bench::Median;
using bench::Min;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleFindBench";
const char kModule[] = "ntdll.dll";
const DWORD kMeasureTimeout = 300000;

bool IsModule(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\:") + 1);
    return widgets::SameTextIgnoringCase(name, kModule);
}

// The floor: the processes whose modules it read with the file among them.
double Floor(std::set<std::uint32_t>& loading, size_t& files) {
    auto start = std::chrono::steady_clock::now();
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes);
    ids.resize(bytes / sizeof(DWORD));
    std::set<std::string> paths;
    for (DWORD id : ids) {
        TStringList modules;
        if (!ListProcessModules(modules, id, false)) continue;
        for (const TStringListEntry& module : modules)
            if (IsModule(module.Text)) {
                loading.insert(id);
                paths.insert(module.Text);
            }
    }
    for (const std::string& path : paths) {
        std::wstring wide = widgets::Utf16(path);
        DWORD handle = 0;
        std::vector<BYTE> resource(GetFileVersionInfoSizeW(wide.c_str(), &handle));
        if (!resource.empty())
            GetFileVersionInfoW(wide.c_str(), 0, static_cast<DWORD>(resource.size()), resource.data());
    }
    files = paths.size();
    return bench::MillisecondsSince(start);
}

// ------------------------------------------------------------ measured part
int Measure() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Find Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    int result = 1;
    try {
        auto controller = std::make_unique<TCMain>();
        controller->Form().Show();
        application.ProcessMessages();
        std::set<std::uint32_t> loading;
        size_t files = 0;
        const double before = Floor(loading, files);

        // The window is open when a search starts (Enter in it, or a module's
        // command, which opens it first: its showing is printed apart).
        double shell = bench::TimeMilliseconds([] { DestroyIcon(ShellFileIcon(".txt", true)); });
        TCFindModule& finder = controller->FindModuleWindow();
        double show = bench::TimeMilliseconds([&] {
            finder.Show();
            application.ProcessMessages();
        });
        double firstHit = -1;
        auto start = std::chrono::steady_clock::now();
        finder.Find(kModule);
        // The window's loop, a message at a time: the first hit counts once
        // the list shows it (it is drawn in the same step).
        MSG message;
        while (finder.Searching()) {
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            } else {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            }
            if (firstHit < 0 && finder.Form().lsvHits.RowCount() > 0 && finder.Hits().Found() > 0)
                firstHit = bench::MillisecondsSince(start);
        }
        double search = bench::MillisecondsSince(start);
        const double after = Floor(loading, files);

        const TModuleHits& hits = finder.Hits();
        std::set<std::uint32_t> found;
        for (size_t i = 0; i < hits.Found(); ++i) found.insert(hits.Row(i).ProcessId);
        size_t missed = 0;
        for (std::uint32_t id : loading) missed += found.count(id) ? 0 : 1;
        std::printf("search %.3f ms\n", search);
        std::printf("first_hit %.3f ms\n", firstHit);
        std::printf("show_window %.3f ms\n", show);
        std::printf("shell_library_load %.3f ms\n", shell);
        std::printf("floor %.3f ms\n", (before + after) / 2);
        std::printf("floor_before %.3f ms\n", before);
        std::printf("floor_after %.3f ms\n", after);
        std::printf("hits %zu count\n", hits.Found());
        std::printf("unread %zu count\n", hits.Unread());
        std::printf("loading %zu count\n", loading.size());
        std::printf("files %zu count\n", files);
        std::printf("missed %zu count\n", missed);
        controller.reset();
        result = missed == 0 && !loading.empty() ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "FindModuleBench --measure: %s\n", error.what());
    }
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return result;
}

// ------------------------------------------------------------------- parent
using bench::Figures;

// Runs this program with --measure in a process of its own and reads the
// lines it prints; an invocation that hangs is ended.
Figures RunMeasure(bool& sound) {
    DWORD exitCode = 1;
    Figures figures = bench::RunSelfWithExitCode("--measure", exitCode, kMeasureTimeout);
    sound = exitCode == 0;
    return figures;
}

int Parent(int runs) {
    testing_support::PopulatedWorld world;
    world.SetUp();
    if (world.Processes().empty()) {
        std::fprintf(stderr, "FindModuleBench: the world did not start\n");
        world.TearDown();
        return 1;
    }
    // New processes are still loading for a while after they wait for input.
    Sleep(3000);
    std::vector<double> search, floor, firstHit, show, before, after, shell;
    Figures last;
    int unsound = 0;
    for (int run = 0; run < runs; ++run) {
        bool sound = false;
        last = RunMeasure(sound);
        unsound += sound ? 0 : 1;
        search.push_back(last["search"]);
        floor.push_back(last["floor"]);
        firstHit.push_back(last["first_hit"]);
        show.push_back(last["show_window"]);
        shell.push_back(last["shell_library_load"]);
        before.push_back(last["floor_before"]);
        after.push_back(last["floor_after"]);
        Sleep(1000);
    }
    const size_t worldProcesses = world.Processes().size();
    world.TearDown();
    std::printf("runs %d count\n", runs);
    std::printf("world_processes %zu count\n", worldProcesses);
    std::printf("hits %.0f count\n", last["hits"]);
    std::printf("unread %.0f count\n", last["unread"]);
    std::printf("processes_loading %.0f count\n", last["loading"]);
    std::printf("distinct_files %.0f count\n", last["files"]);
    // Searches that missed a process the floor found the file in.
    std::printf("unsound_searches %d count\n", unsound);
    std::printf("search %.2f ms\n", Median(search));
    std::printf("search_min %.2f ms\n", Min(search));
    std::printf("floor %.2f ms\n", Median(floor));
    std::printf("floor_min %.2f ms\n", Min(floor));
    std::printf("floor_before_search %.2f ms\n", Median(before));
    std::printf("floor_after_search %.2f ms\n", Median(after));
    std::printf("first_hit %.2f ms\n", Median(firstHit));
    std::printf("first_hit_max %.2f ms\n", *std::max_element(firstHit.begin(), firstHit.end()));
    std::printf("show_window %.2f ms\n", Median(show));
    std::printf("shell_library_load %.2f ms\n", Median(shell));
    std::printf("search_to_floor %.3f ratio\n", Median(search) / std::max(0.01, Median(floor)));
    std::printf("search_to_floor_paired %.3f ratio\n", bench::PairedRatio(search, floor));
    return unsound == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--measure") == 0) return Measure();
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;
    try {
        return Parent(runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "FindModuleBench: %s\n", error.what());
    }
    return 1;
}
