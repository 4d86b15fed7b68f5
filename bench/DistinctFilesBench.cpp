// Prints the cold start to a filled process list beside 150 processes of 150
// distinct executables (copies of the child LedgerChild, which carries an
// icon and a version resource, under build\bench-files), against its floor:
// the cold start beside 150 processes of one of those executables, whose
// icon and version are read once, plus for each of the other 149 files one
// version read, one icon extraction and one image added to an image list
// (bench::FileFloor), read right after the start beside distinct files (and,
// to compare, after the other start too). The file information cache lives
// as long as the program, so each cold start runs in a process of its own:
// this program started again with --measure. The two cold starts alternate
// (distinct, same, same, distinct, ...), so each goes first as often and the
// processes are started again only when the kind changes. Output lines:
// name value unit; medians of the runs, the least of them, and the median
// of each run's ratio to the floor measured beside it (_paired).
// Usage: DistinctFilesBench [runs] [files]
//        DistinctFilesBench --measure distinct|same [files]  (one cold start)
#include "bench/BenchSupport.h"
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
int Measure(const char* kind, int files) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Distinct Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    int result = 1;
    try {
        std::unique_ptr<TCMain> controller;
        double cold = TimeMilliseconds([&] { controller = std::make_unique<TCMain>(); });
        TfrmMain& form = controller->Form();
        int rows = form.lsvProcesses.RowCount(), ledgerRows = 0;
        for (int row = 0; row < rows; ++row)
            if (form.lsvProcesses.SubItem(row, 0) == kProduct) ++ledgerRows;
        std::printf("cold %.3f ms\n", cold);
        std::printf("rows %d count\n", rows);
        std::printf("ledger_rows %d count\n", ledgerRows);
        std::printf("images %d count\n", form.ProcessIconList.Count());
        // The floor's part, the files of every copy but the first, read
        // in both kinds of start: right after the start beside distinct
        // files it shares that moment's load.
        HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             ILC_COLOR32 | ILC_MASK, 16, 16);
        std::vector<std::wstring> paths;
        for (int i = 1; i < files; ++i) paths.push_back(Wide(FilePath(i)));
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
using Figures = std::map<std::string, double>;

// Runs this program with --measure in a process of its own and reads the
// lines it prints; an invocation that hangs is ended.
Figures RunMeasure(const char* kind, int files) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) throw std::runtime_error("cannot make a pipe");
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    char self[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string commandLine = "\"" + std::string(self) + "\" --measure " + kind + " " + std::to_string(files);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    BOOL started = CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(writeEnd);
    std::string output;
    auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0) break;
            output.append(buffer, got);
        }
    };
    DWORD exitCode = 1;
    if (started) {
        DWORD waited = 0;
        while (WaitForSingleObject(info.hProcess, 100) == WAIT_TIMEOUT) {
            drain();
            waited += 100;
            if (waited >= kMeasureTimeout) {
                TerminateProcess(info.hProcess, 1);
                WaitForSingleObject(info.hProcess, 5000);
                break;
            }
        }
        drain();
        GetExitCodeProcess(info.hProcess, &exitCode);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(readEnd);
    if (!started || exitCode != 0) throw std::runtime_error(std::string("the measured start (") + kind + ") failed");
    Figures figures;
    size_t begin = 0;
    while (begin < output.size()) {
        size_t end = output.find('\n', begin);
        if (end == std::string::npos) end = output.size();
        char name[64] = {};
        double value = 0;
        if (std::sscanf(output.substr(begin, end - begin).c_str(), "%63s %lf", name, &value) == 2) figures[name] = value;
        begin = end + 1;
    }
    return figures;
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
    std::vector<double> distinct, same, part, partBesideOne, floor;
    Figures lastDistinct, lastSame;
    int sound = 0;
    for (int run = 0; run < runs; ++run) {
        bool distinctFirst = run % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            bool isDistinct = (step == 0) == distinctFirst;
            processes.Start(isDistinct, files);
            // Every measured start follows the same pause, whether the
            // processes were just started or the last measured one just ended.
            Sleep(2000);
            Figures figures = RunMeasure(isDistinct ? "distinct" : "same", files);
            sound += figures["ledger_rows"] >= files && figures["file_part_files"] == files - 1 ? 0 : 1;
            if (isDistinct) {
                distinct.push_back(figures["cold"]);
                part.push_back(figures["file_part"]);
                lastDistinct = figures;
                sound += figures["images"] >= files ? 0 : 1;
            } else {
                same.push_back(figures["cold"]);
                partBesideOne.push_back(figures["file_part"]);
                lastSame = figures;
            }
        }
        // The load of a shared machine changes within seconds: the floor's
        // part is the one read right after the start it is compared with.
        floor.push_back(same.back() + part.back());
    }
    const int others = std::max(1, files - 1);
    std::printf("files %d count\n", files);
    std::printf("runs %d count\n", runs);
    std::printf("rows_distinct %.0f count\n", lastDistinct["rows"]);
    std::printf("ledger_rows_distinct %.0f count\n", lastDistinct["ledger_rows"]);
    std::printf("images_distinct %.0f count\n", lastDistinct["images"]);
    std::printf("rows_same %.0f count\n", lastSame["rows"]);
    std::printf("images_same %.0f count\n", lastSame["images"]);
    std::printf("file_part_files %.0f count\n", lastSame["file_part_files"]);
    // Measured starts that did not show every copy's product and icon.
    std::printf("unsound_starts %d count\n", sound);
    std::printf("cold_start_distinct %.2f ms\n", Median(distinct));
    std::printf("cold_start_distinct_min %.2f ms\n", Min(distinct));
    std::printf("cold_start_same %.2f ms\n", Median(same));
    std::printf("cold_start_same_min %.2f ms\n", Min(same));
    std::printf("file_part %.2f ms\n", Median(part));
    std::printf("file_part_min %.2f ms\n", Min(part));
    std::printf("file_part_per_file %.3f ms\n", Median(part) / others);
    // The same part read beside one executable, by files the process had
    // not read before: as long when no cache of the system helps the other.
    std::printf("file_part_beside_one %.2f ms\n", Median(partBesideOne));
    std::printf("floor %.2f ms\n", Median(floor));
    std::printf("floor_min %.2f ms\n", Min(floor));
    std::printf("distinct_to_floor %.3f ratio\n", Median(distinct) / std::max(0.01, Median(floor)));
    std::printf("distinct_to_floor_paired %.3f ratio\n", bench::PairedRatio(distinct, floor));
    // What the program spends on each more file, beside what the floor does.
    std::printf("cost_per_distinct_file %.3f ms\n", (Median(distinct) - Median(same)) / others);
    return sound == 0 ? 0 : 1;
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
