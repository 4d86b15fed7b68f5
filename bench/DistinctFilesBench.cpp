// Prints the cold start to the first screen of the process list (every row
// in view with its icon and texts) beside 150 processes of 150 distinct
// executables (copies of the child LedgerChild, which carries an icon and a
// version resource, under build\bench-files), against its floor: the same
// start beside 150 processes of one of those executables, plus for each more
// distinct file in view one version read, one icon extraction and one image
// added to an image list (bench::FileFloor), read right after the start
// beside distinct files. Also the time until every row is filled (between
// messages) and the longest round of that filling, for information; then
// every row is checked against the system (its own process's path, its own
// file's texts), and the program exits with 1 when one is not. The file
// information cache lives as long as the program, so each cold start runs
// in a process of its own: this program started again with --measure. The
// two cold starts alternate (distinct, same, same, distinct, ...), so each
// goes first as often and the processes are started again only when the
// kind changes. Output lines: name value unit; medians of the runs, the
// least of them, and the median of each run's ratio to the floor measured
// beside it (_paired).
// Usage: DistinctFilesBench [runs] [files]
//        DistinctFilesBench --measure distinct|same [files]  (one cold start)
#include "bench/BenchSupport.h"
#include "bench/ListChecks.h"
#include "controllers/ControllerMain.h"
#include "widgets/Application.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using bench::Child;
using bench::Median;
using bench::Min;
using bench::TimeMilliseconds;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleDistinctBench";
const char kProduct[] = "Nordlys Ledger";  // LedgerChild's product name
// How long one measured start may take before it counts as hung.
const DWORD kMeasureTimeout = 300000;

std::string FilePath(int index) {
    char relative[64];
    std::snprintf(relative, sizeof relative, "bench-files\\app-%03d\\Ledger%03d.exe", index, index);
    return bench::OwnFolder() + relative;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

ULONGLONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return ~0ULL;
    return (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The copies stay for the next run; one that differs in size is made again.
bool MakeCopies(int files) {
    const std::string source = bench::ChildPath("LedgerChild");
    CreateDirectoryA((bench::OwnFolder() + "bench-files").c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        std::string path = FilePath(i);
        CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
        if (FileSize(path) != FileSize(source) && !CopyFileA(source.c_str(), path.c_str(), FALSE)) return false;
    }
    return true;
}

// ------------------------------------------------------------ measured part
bool IsCopy(const std::string& path) { return path.find("\\bench-files\\app-") != std::string::npos; }

int Measure(const char* kind, int files) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Distinct Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    int result = 1;
    try {
        // To the first screen drawn, each row in view with its icon and texts.
        std::unique_ptr<TCMain> controller;
        auto start = std::chrono::steady_clock::now();
        controller = std::make_unique<TCMain>();
        TfrmMain& form = controller->Form();
        form.Show();
        RedrawWindow(form.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        double cold = bench::MillisecondsSince(start);
        std::vector<int> inView = bench::RowsInView(form.lsvProcesses);
        int filledInView = 0, copiesInView = 0;
        for (int row : inView) {
            filledInView += form.lsvProcesses.RowFilled(row) ? 1 : 0;
            copiesInView += IsCopy(form.lsvProcesses.RowData(row)) ? 1 : 0;
        }
        int filledAtFirst = 0;
        for (int row = 0; row < form.lsvProcesses.RowCount(); ++row)
            filledAtFirst += form.lsvProcesses.RowFilled(row) ? 1 : 0;
        // The rest between messages.
        std::vector<double> rounds = bench::FillRounds();
        double longestRound = rounds.empty() ? 0.0 : *std::max_element(rounds.begin(), rounds.end());
        double everyRow = bench::MillisecondsSince(start);
        std::string fault = bench::ListFault(form.lsvProcesses, true);
        int rows = form.lsvProcesses.RowCount(), ledgerRows = 0;
        for (int row = 0; row < rows; ++row)
            if (form.lsvProcesses.SubItem(row, 0) == kProduct) ++ledgerRows;
        std::printf("cold %.3f ms\n", cold);
        std::printf("every_row_filled %.3f ms\n", everyRow);
        std::printf("longest_fill_round %.3f ms\n", longestRound);
        std::printf("fill_rounds %zu count\n", rounds.size());
        std::printf("median_fill_round %.3f ms\n", Median(rounds));
        std::printf("fill_rounds_over_30_ms %.3f share\n", bench::ShareLongerThan(rounds, 30));
        std::printf("rows %d count\n", rows);
        std::printf("rows_in_view %zu count\n", inView.size());
        std::printf("filled_in_view %d count\n", filledInView);
        std::printf("filled_at_first_screen %d count\n", filledAtFirst);
        std::printf("copies_in_view %d count\n", copiesInView);
        std::printf("ledger_rows %d count\n", ledgerRows);
        std::printf("images %d count\n", form.ProcessIconList.Count());
        if (!fault.empty()) std::fprintf(stderr, "DistinctFilesBench --measure %s: %s\n", kind, fault.c_str());
        std::printf("sound %d count\n", fault.empty() && filledInView == static_cast<int>(inView.size()) ? 1 : 0);
        // The floor's part: for each row in view of the 150 processes, one
        // more file read (version, icon, image) than the start beside one
        // executable reads, measured in both kinds of start; right after
        // the start beside distinct files it shares that moment's load.
        HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             ILC_COLOR32 | ILC_MASK, 16, 16);
        std::vector<std::wstring> paths;
        for (int i = 1; i < copiesInView && i < files; ++i) paths.push_back(Wide(FilePath(i)));
        std::vector<HICON> icons;
        int read = 0;
        double part = TimeMilliseconds([&] {
            for (const std::wstring& path : paths) read += bench::FileFloor(path, images, icons) ? 1 : 0;
        });
        for (HICON icon : icons) DestroyIcon(icon);
        ImageList_Destroy(images);
        std::printf("file_part %.3f ms\n", part);
        std::printf("file_part_files %d count\n", read);
        result = 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "DistinctFilesBench --measure %s: %s\n", kind, error.what());
    }
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return result;
}

// ------------------------------------------------------------------- parent
using bench::Figures;

Figures RunMeasure(const char* kind, int files) {
    return bench::RunSelf(std::string("--measure ") + kind + " " + std::to_string(files), kMeasureTimeout);
}

// The processes of one kind of run: one of each copy, or as many of one.
class ProcessSet {
public:
    void Start(bool distinct, int files) {
        if (!children_.empty() && distinct_ == distinct) return;
        children_.clear();
        distinct_ = distinct;
        const std::string arguments = "--none" + bench::ParentArgument();
        for (int i = 0; i < files; ++i)
            children_.push_back(std::make_unique<Child>(FilePath(distinct ? i : 0), arguments, nullptr, false));
        for (const auto& child : children_) {
            child->WaitIdle();
            if (!child->Started()) throw std::runtime_error("cannot start a child");
        }
        // New processes are still loading for a while after they wait for input.
        Sleep(2000);
    }

private:
    bool distinct_ = false;
    std::vector<std::unique_ptr<Child>> children_;
};

int Parent(int runs, int files) {
    if (!MakeCopies(files)) throw std::runtime_error("cannot copy LedgerChild into bench-files");
    ProcessSet processes;
    std::vector<double> distinct, same, part, floor, everyRow, longestRound;
    Figures lastDistinct, lastSame;
    int unsound = 0;
    for (int run = 0; run < runs; ++run) {
        bool distinctFirst = run % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            bool isDistinct = (step == 0) == distinctFirst;
            processes.Start(isDistinct, files);
            // Every measured start follows the same pause, whether the
            // processes were just started or the last measured one just ended.
            Sleep(2000);
            Figures figures = RunMeasure(isDistinct ? "distinct" : "same", files);
            unsound += figures["sound"] == 1 && figures["ledger_rows"] >= files ? 0 : 1;
            if (isDistinct) {
                distinct.push_back(figures["cold"]);
                part.push_back(figures["file_part"]);
                everyRow.push_back(figures["every_row_filled"]);
                longestRound.push_back(figures["longest_fill_round"]);
                lastDistinct = figures;
                unsound += figures["images"] >= files && figures["file_part_files"] == figures["copies_in_view"] - 1 ? 0 : 1;
            } else {
                same.push_back(figures["cold"]);
                lastSame = figures;
            }
        }
        // The load of a shared machine changes within seconds: the floor's
        // part is the one read right after the start it is compared with.
        floor.push_back(same.back() + part.back());
    }
    std::printf("files %d count\n", files);
    std::printf("runs %d count\n", runs);
    std::printf("rows_distinct %.0f count\n", lastDistinct["rows"]);
    std::printf("rows_in_view %.0f count\n", lastDistinct["rows_in_view"]);
    std::printf("filled_at_first_screen %.0f count\n", lastDistinct["filled_at_first_screen"]);
    std::printf("copies_in_view %.0f count\n", lastDistinct["copies_in_view"]);
    std::printf("ledger_rows_distinct %.0f count\n", lastDistinct["ledger_rows"]);
    std::printf("images_distinct %.0f count\n", lastDistinct["images"]);
    std::printf("rows_same %.0f count\n", lastSame["rows"]);
    std::printf("images_same %.0f count\n", lastSame["images"]);
    std::printf("file_part_files %.0f count\n", lastDistinct["file_part_files"]);
    // Measured starts that did not end with every row its own.
    std::printf("unsound_starts %d count\n", unsound);
    std::printf("first_screen_distinct %.2f ms\n", Median(distinct));
    std::printf("first_screen_distinct_min %.2f ms\n", Min(distinct));
    std::printf("first_screen_same %.2f ms\n", Median(same));
    std::printf("first_screen_same_min %.2f ms\n", Min(same));
    std::printf("file_part %.2f ms\n", Median(part));
    std::printf("floor %.2f ms\n", Median(floor));
    std::printf("floor_min %.2f ms\n", Min(floor));
    std::printf("distinct_to_floor %.3f ratio\n", Median(distinct) / std::max(0.01, Median(floor)));
    std::printf("distinct_to_floor_paired %.3f ratio\n", bench::PairedRatio(distinct, floor));
    std::printf("every_row_filled_distinct %.2f ms\n", Median(everyRow));
    std::printf("longest_fill_round %.2f ms\n", Median(longestRound));
    std::printf("longest_fill_round_max %.2f ms\n", longestRound.empty() ? 0.0 : *std::max_element(longestRound.begin(), longestRound.end()));
    std::printf("fill_rounds %.0f count\n", lastDistinct["fill_rounds"]);
    std::printf("median_fill_round %.2f ms\n", lastDistinct["median_fill_round"]);
    std::printf("fill_rounds_over_30_ms %.3f share\n", lastDistinct["fill_rounds_over_30_ms"]);
    return unsound == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--measure") == 0) {
        int files = argc > 3 ? std::atoi(argv[3]) : 150;
        return Measure(argv[2], std::max(1, files));
    }
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;
    int files = argc > 2 ? std::atoi(argv[2]) : 150;
    if (files < 2) files = 2;
    // Caught, an error still ends every child before the program does.
    try {
        return Parent(runs, files);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "DistinctFilesBench: %s\n", error.what());
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return 1;
}
