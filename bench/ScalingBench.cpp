// Prints how the warm refresh of the process list grows with the number of
// running processes: 25, 100 and 200 extra windowless children that carry
// an icon and a version resource, as real programs do. At each size the
// floor (a bare snapshot walk, and each process opened and its path read)
// is measured in the same runs, interleaved with the refreshes, and the
// ratio printed, and the time the list then takes to draw the rows in view;
// then the cost of one more row from 25 to 100 and from 100 to 200
// processes, and their ratio (1 for a refresh whose cost per row is flat),
// of the medians and of the least runs, beside the same ratios of the floor.
// Output lines: name value unit; medians, and the least of the runs.
// Usage: ScalingBench [runs per size] [sizes...]
#include "bench/BenchSupport.h"
#include "controllers/ControllerMain.h"
#include "widgets/Application.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using bench::Child;
using bench::ChildPath;
using bench::Median;
using bench::Min;
using bench::TimeMilliseconds;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleScalingBench";

struct Sample {
    int children = 0;
    int rows = 0;
    double enumerations = 0;
    std::vector<double> refresh, floor, paint, enumeration, fill;
};

using Summary = double (*)(const std::vector<double>&);

double SlopeOfRows(Summary summary, const std::vector<double> Sample::*series, const Sample& low,
                   const Sample& high) {
    return (summary(high.*series) - summary(low.*series)) / std::max(1, high.rows - low.rows);
}

// The cost of one more row from the low to the middle size, and from the
// middle to the high size, and their ratio: about 1 when every row costs
// the same, well above 1 when rows cost more as they grow.
double RowCostRatio(Summary summary, const std::vector<double> Sample::*series, const Sample& low,
                    const Sample& mid, const Sample& high) {
    double lower = SlopeOfRows(summary, series, low, mid), upper = SlopeOfRows(summary, series, mid, high);
    return lower > 0 ? upper / lower : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    if (runs < 1) runs = 1;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        if (std::atoi(argv[i]) > 0) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {25, 100, 200};
    std::sort(sizes.begin(), sizes.end());

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Scaling Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);

    auto controller = std::make_unique<TCMain>();
    TfrmMain& form = controller->Form();
    form.Show();
    application.ProcessMessages();

    const std::string childExe = ChildPath();
    std::vector<std::unique_ptr<Child>> children;
    std::vector<Sample> samples;
    bool allStarted = true;
    for (int size : sizes) {
        while (static_cast<int>(children.size()) < size) {
            children.push_back(std::make_unique<Child>(childExe));
            allStarted = allStarted && children.back()->Started();
        }
        // New processes are still loading for a while after they wait for input.
        Sleep(2000);
        // One refresh reads the files of any new process; the runs are warm.
        controller->RefreshList();
        application.ProcessMessages();

        Sample sample;
        sample.children = size;
        unsigned long enumerationsBefore = ProcessEnumerationCount();
        for (int run = 0; run < runs; ++run) {
            sample.refresh.push_back(TimeMilliseconds([&] { controller->RefreshList(); }));
            // The list draws the rows in view after the refresh.
            sample.paint.push_back(TimeMilliseconds([&] { application.ProcessMessages(); }));
            sample.floor.push_back(TimeMilliseconds([] { bench::ProcessListFloor(); }));
        }
        sample.enumerations = double(ProcessEnumerationCount() - enumerationsBefore) / runs;
        sample.rows = form.lsvProcesses.RowCount();

        // Where the time goes: the enumeration, and the filling of the rows.
        TStringList paths;
        for (int run = 0; run < runs; ++run) {
            paths.clear();
            sample.enumeration.push_back(TimeMilliseconds([&] { ListProcesses(paths, true); }));
            sample.fill.push_back(TimeMilliseconds(
                [&] { controller->FillList(form.lsvProcesses, form.ProcessIconList, paths, false); }));
            application.ProcessMessages();
        }
        samples.push_back(sample);
    }

    bool oneEnumeration = true;
    for (const Sample& s : samples) {
        const int n = s.children;
        std::printf("rows_%d %d count\n", n, s.rows);
        std::printf("warm_refresh_%d %.2f ms\n", n, Median(s.refresh));
        std::printf("warm_refresh_min_%d %.2f ms\n", n, Min(s.refresh));
        std::printf("floor_%d %.2f ms\n", n, Median(s.floor));
        std::printf("floor_min_%d %.2f ms\n", n, Min(s.floor));
        std::printf("refresh_to_floor_%d %.2f ratio\n", n, Median(s.refresh) / std::max(0.01, Median(s.floor)));
        std::printf("refresh_to_floor_paired_%d %.2f ratio\n", n, bench::PairedRatio(s.refresh, s.floor));
        std::printf("refresh_per_row_%d %.3f ms\n", n, s.rows ? Median(s.refresh) / s.rows : 0.0);
        std::printf("paint_after_refresh_%d %.2f ms\n", n, Median(s.paint));
        std::printf("process_enumeration_%d %.2f ms\n", n, Median(s.enumeration));
        std::printf("fill_list_%d %.2f ms\n", n, Median(s.fill));
        std::printf("enumerations_per_refresh_%d %.2f count\n", n, s.enumerations);
        oneEnumeration = oneEnumeration && s.enumerations == 1.0;
    }
    if (samples.size() >= 3) {
        const Sample &low = samples.front(), &mid = samples[samples.size() / 2], &high = samples.back();
        auto median = [](const std::vector<double>& v) { return Median(v); };
        auto least = [](const std::vector<double>& v) { return Min(v); };
        std::printf("row_cost_%d_to_%d %.3f ms\n", low.children, mid.children,
                    SlopeOfRows(median, &Sample::refresh, low, mid));
        std::printf("row_cost_%d_to_%d %.3f ms\n", mid.children, high.children,
                    SlopeOfRows(median, &Sample::refresh, mid, high));
        std::printf("row_cost_ratio %.2f ratio\n", RowCostRatio(median, &Sample::refresh, low, mid, high));
        // Of the least runs: the machine's load adds less to them.
        std::printf("row_cost_ratio_min %.2f ratio\n", RowCostRatio(least, &Sample::refresh, low, mid, high));
        // The same of the floor: what the system's own calls do as the processes grow.
        std::printf("floor_row_cost_ratio %.2f ratio\n", RowCostRatio(median, &Sample::floor, low, mid, high));
        std::printf("floor_row_cost_ratio_min %.2f ratio\n", RowCostRatio(least, &Sample::floor, low, mid, high));
    }
    std::printf("children_started %zu count\n", children.size());

    children.clear();
    controller.reset();
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return allStarted && oneEnumeration ? 0 : 1;
}
