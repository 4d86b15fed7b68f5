// Prints how the warm refresh of the process list grows with the number of
// running processes: 25, 50, 100 and 200 extra windowless children, the
// rows and enumerations per refresh at each size, and a straight-line fit
// of refresh time against rows. Output lines: name value unit.
// Usage: ScalingBench [runs per size] [sizes...]
#include "bench/BenchSupport.h"
#include "controllers/ControllerMain.h"
#include "widgets/Application.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using bench::Child;
using bench::ChildPath;
using bench::MillisecondsSince;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleScalingBench";

struct Sample {
    int children;
    int rows;
    double refreshMs;
    double enumerations;
    double enumerationMs;  // ListProcesses alone
    double fillMs;         // FillList alone, on the paths of one enumeration
    double layoutMs;       // ApplyColumnLayout alone
    double bestRefreshMs;
};

// Least squares of refresh time against rows.
struct Fit {
    double slope = 0, intercept = 0, r2 = 0;
};

Fit FitLine(const std::vector<Sample>& samples) {
    Fit fit;
    double n = static_cast<double>(samples.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    for (const Sample& s : samples) {
        sx += s.rows;
        sy += s.refreshMs;
        sxx += double(s.rows) * s.rows;
        sxy += s.rows * s.refreshMs;
        syy += s.refreshMs * s.refreshMs;
    }
    double dx = n * sxx - sx * sx, dy = n * syy - sy * sy;
    if (n < 2 || dx <= 0) return fit;
    fit.slope = (n * sxy - sx * sy) / dx;
    fit.intercept = (sy - fit.slope * sx) / n;
    fit.r2 = dy > 0 ? std::pow(n * sxy - sx * sy, 2) / (dx * dy) : 1;
    return fit;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    if (runs < 1) runs = 1;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        if (std::atoi(argv[i]) > 0) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {25, 50, 100, 200};

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Scaling Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);

    auto controller = std::make_unique<TCMain>();
    controller->Form().Show();
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
        unsigned long enumerationsBefore = ProcessEnumerationCount();
        double total = 0, best = 1e300;
        for (int run = 0; run < runs; ++run) {
            auto start = std::chrono::steady_clock::now();
            controller->RefreshList();
            double elapsed = MillisecondsSince(start);
            total += elapsed;
            best = std::min(best, elapsed);
            application.ProcessMessages();
        }
        double enumerations = double(ProcessEnumerationCount() - enumerationsBefore) / runs;
        int rows = controller->Form().lsvProcesses.RowCount();

        // Where the time goes: the enumeration, and the filling of the rows.
        double enumerationTotal = 0, fillTotal = 0;
        TStringList paths;
        for (int run = 0; run < runs; ++run) {
            paths.clear();
            auto start = std::chrono::steady_clock::now();
            ListProcesses(paths, true);
            enumerationTotal += MillisecondsSince(start);
        }
        TfrmMain& form = controller->Form();
        for (int run = 0; run < runs; ++run) {
            form.lsvProcesses.Clear();
            form.ProcessIconList.Clear();
            auto start = std::chrono::steady_clock::now();
            controller->FillList(form.lsvProcesses, form.ProcessIconList, paths, false);
            fillTotal += MillisecondsSince(start);
            application.ProcessMessages();
        }
        double layoutTotal = 0;
        for (int run = 0; run < runs; ++run) {
            auto start = std::chrono::steady_clock::now();
            controller->ApplyColumnLayout();
            layoutTotal += MillisecondsSince(start);
            application.ProcessMessages();
        }
        samples.push_back({size, rows, total / runs, enumerations, enumerationTotal / runs, fillTotal / runs,
                           layoutTotal / runs, best});
    }

    bool oneEnumeration = true;
    for (const Sample& s : samples) {
        std::printf("warm_refresh_%d %.2f ms\n", s.children, s.refreshMs);
        std::printf("rows_%d %d count\n", s.children, s.rows);
        std::printf("enumerations_per_refresh_%d %.2f count\n", s.children, s.enumerations);
        std::printf("refresh_per_row_%d %.3f ms\n", s.children, s.rows ? s.refreshMs / s.rows : 0.0);
        std::printf("process_enumeration_%d %.2f ms\n", s.children, s.enumerationMs);
        std::printf("fill_list_%d %.2f ms\n", s.children, s.fillMs);
        std::printf("column_layout_%d %.2f ms\n", s.children, s.layoutMs);
        std::printf("best_refresh_%d %.2f ms\n", s.children, s.bestRefreshMs);
        oneEnumeration = oneEnumeration && s.enumerations == 1.0;
    }
    Fit fit = FitLine(samples);
    std::printf("refresh_cost_per_row %.3f ms\n", fit.slope);
    std::printf("refresh_fixed_cost %.2f ms\n", fit.intercept);
    std::printf("linear_fit_r2 %.4f ratio\n", fit.r2);
    if (samples.size() >= 3) {
        // Cost of one added row in the upper half against the lower half:
        // about 1 for a linear refresh, well above 1 for a quadratic one.
        const Sample &low = samples.front(), &mid = samples[samples.size() / 2], &high = samples.back();
        double lower = (mid.refreshMs - low.refreshMs) / std::max(1, mid.rows - low.rows);
        double upper = (high.refreshMs - mid.refreshMs) / std::max(1, high.rows - mid.rows);
        std::printf("marginal_row_cost_ratio %.2f ratio\n", lower > 0 ? upper / lower : 0.0);
    }
    std::printf("children_started %zu count\n", children.size());

    children.clear();
    controller.reset();
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return allStarted && oneEnumeration ? 0 : 1;
}
