// Prints the cost of the first click on a process with many modules (the
// child ManyModules, which loads about 90 system libraries and waits), to
// the module rows in view drawn with their icons and texts, against its
// floor: the module enumeration (as the floor of the module list has been:
// the process opened, its modules enumerated once and each module's path
// read) and, for each row in view, one version read, the shell's icon of the
// file's extension and one image added to an image list. Beside it, for
// information, the floor with the program's own enumeration (one
// enumeration and one module snapshot) in its place. The file information
// cache lives as long as the program and the shell library is loaded by the
// first module list, so the click and the floor each run in a process of
// their own (this program started again with --click or --floor),
// alternating which goes first. Also, for information: the longest round of
// the filling of the other rows between messages, the click on the same
// process again (the files read), and the enumeration alone. Every module
// row is then checked against its file's version texts; the program exits
// with 1 when one is not its own. Output lines: name value unit; medians,
// the least of the runs, and the median of each run's ratio to the floor
// beside it (_paired).
// Usage: ModuleBench [runs]
//        ModuleBench --click ID | --floor ID ROWS  (one measured process)
#include "bench/BenchSupport.h"
#include "bench/ListChecks.h"
#include "controllers/ControllerMain.h"
#include "framework/KmxFormat.h"
#include "widgets/Application.h"
#include "widgets/ListView.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using bench::Median;
using bench::Min;
using bench::TimeMilliseconds;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleModuleBench";

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

// The program started, its process list filled, then the click on the child.
int Click(DWORD childId) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    widgets::Application& application = widgets::Application::Instance();
    application.SetTitle("Ovrelle Module Bench");
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    auto controller = std::make_unique<TCMain>();
    TfrmMain& form = controller->Form();
    form.Show();
    bench::FillEveryRow();
    int childRow = -1;
    for (int row = 0; row < form.lsvProcesses.RowCount(); ++row)
        if (form.lsvProcesses.RowValue(row) == childId) childRow = row;
    if (childRow < 0) {
        std::fprintf(stderr, "the child is not in the process list\n");
        return 1;
    }
    form.lsvProcesses.SelectRow(childRow);
    form.lsvProcesses.FocusRow(childRow);
    HWND modules = form.lsvModules.Handle();
    double replaced = 0;
    auto click = [&] {
        return TimeMilliseconds([&] {
            replaced = TimeMilliseconds([&] { controller->ShowModules(); });
            RedrawWindow(modules, nullptr, nullptr, RDW_UPDATENOW);
        });
    };
    double first = click();
    const double firstReplaced = replaced;
    std::vector<int> inView = bench::RowsInView(form.lsvModules);
    int filledInView = 0;
    for (int row : inView) filledInView += form.lsvModules.RowFilled(row) ? 1 : 0;
    double longestRound = bench::FillEveryRow();
    std::string fault = bench::ListFault(form.lsvModules, false);
    const int rows = form.lsvModules.RowCount();
    std::vector<double> again;
    for (int i = 0; i < 5; ++i) {
        again.push_back(click());
        bench::FillEveryRow();
    }
    TStringList listed;
    double enumeration = TimeMilliseconds([&] { ListProcessModules(listed, childId, false); });

    std::printf("click %.3f ms\n", first);
    // The module list replaced, before its rows in view are drawn.
    std::printf("click_listed %.3f ms\n", firstReplaced);
    std::printf("rows %d count\n", rows);
    std::printf("rows_in_view %zu count\n", inView.size());
    std::printf("filled_in_view %d count\n", filledInView);
    std::printf("longest_fill_round %.3f ms\n", longestRound);
    std::printf("click_again %.3f ms\n", Median(again));
    std::printf("enumeration %.3f ms\n", enumeration);
    std::printf("entries %zu count\n", listed.size());
    if (!fault.empty()) std::fprintf(stderr, "ModuleBench --click: %s\n", fault.c_str());
    bool sound = fault.empty() && filledInView == static_cast<int>(inView.size()) && rows == static_cast<int>(listed.size());
    std::printf("sound %d count\n", sound ? 1 : 0);
    controller.reset();
    application.DestroyMainForm();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return 0;
}

// What the rows in view need of the system at the least: the modules
// enumerated, and each shown file's version read, its extension's icon
// asked of the shell (loaded for it, as the program loads it for its first
// module list) and added to an image list.
int Floor(DWORD childId, int rowsInView) {
    TStringList modules;
    double listing = TimeMilliseconds([&] { ListProcessModules(modules, childId, false); });
    double enumeration = TimeMilliseconds([&] { bench::ModuleListFloor(childId); });
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         ILC_COLOR32 | ILC_MASK, 16, 16);
    int read = 0;
    double reads = TimeMilliseconds([&] {
        using GetFileInfo = DWORD_PTR(WINAPI*)(LPCWSTR, DWORD, SHFILEINFOW*, UINT, UINT);
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        auto getFileInfo = reinterpret_cast<GetFileInfo>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFileInfoW")));
        for (size_t i = 0; i < modules.size() && static_cast<int>(i) < rowsInView; ++i) {
            std::wstring path = widgets::Utf16(modules[i].Text);
            DWORD handle = 0;
            DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
            std::vector<BYTE> resource(size);
            if (size > 0) GetFileVersionInfoW(path.c_str(), 0, size, resource.data());
            std::wstring extension = path.substr(path.find_last_of(L'.'));
            SHFILEINFOW info{};
            getFileInfo(extension.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                        SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
            if (info.hIcon) {
                ImageList_AddIcon(images, info.hIcon);
                DestroyIcon(info.hIcon);
            }
            ++read;
        }
    });
    ImageList_Destroy(images);
    std::printf("floor_enumeration %.3f ms\n", enumeration);
    std::printf("floor_listing %.3f ms\n", listing);
    std::printf("floor_reads %.3f ms\n", reads);
    std::printf("floor %.3f ms\n", enumeration + reads);
    std::printf("listing_floor %.3f ms\n", listing + reads);
    std::printf("floor_files %d count\n", read);
    return 0;
}

int Parent(int runs) {
    bench::Child child(bench::ChildPath("ManyModules"));
    WaitForSettledModules(child.Id());
    const std::string id = std::to_string(child.Id());
    std::vector<double> click, listed, floor, listingFloor, again, enumeration, longest;
    bench::Figures lastClick, lastFloor;
    int unsound = 0;
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < 2; ++step) {
            bool isClick = (step == 0) == (run % 2 == 0);
            Sleep(1000);
            if (isClick) {
                lastClick = bench::RunSelf("--click " + id);
                click.push_back(lastClick["click"]);
                listed.push_back(lastClick["click_listed"]);
                again.push_back(lastClick["click_again"]);
                enumeration.push_back(lastClick["enumeration"]);
                longest.push_back(lastClick["longest_fill_round"]);
                unsound += lastClick["sound"] == 1 ? 0 : 1;
            } else {
                // As many rows as the module list shows at its designed size.
                const int rows = lastClick.count("rows_in_view") ? static_cast<int>(lastClick["rows_in_view"]) : 8;
                lastFloor = bench::RunSelf("--floor " + id + " " + std::to_string(rows));
                floor.push_back(lastFloor["floor"]);
                listingFloor.push_back(lastFloor["listing_floor"]);
                unsound += lastFloor["floor_files"] == rows ? 0 : 1;
            }
        }
    }
    std::printf("module_rows %.0f count\n", lastClick["rows"]);
    std::printf("module_entries %.0f count\n", lastClick["entries"]);
    std::printf("rows_in_view %.0f count\n", lastClick["rows_in_view"]);
    std::printf("filled_in_view %.0f count\n", lastClick["filled_in_view"]);
    std::printf("unsound_runs %d count\n", unsound);
    std::printf("first_click %.2f ms\n", Median(click));
    std::printf("first_click_min %.2f ms\n", Min(click));
    std::printf("floor %.2f ms\n", Median(floor));
    std::printf("floor_min %.2f ms\n", Min(floor));
    std::printf("floor_enumeration %.2f ms\n", lastFloor["floor_enumeration"]);
    std::printf("floor_reads %.2f ms\n", lastFloor["floor_reads"]);
    std::printf("first_click_to_floor %.3f ratio\n", Median(click) / std::max(0.01, Median(floor)));
    std::printf("first_click_to_floor_paired %.3f ratio\n", bench::PairedRatio(click, floor));
    std::printf("listing_floor %.2f ms\n", Median(listingFloor));
    std::printf("floor_listing %.2f ms\n", lastFloor["floor_listing"]);
    std::printf("first_click_to_listing_floor %.3f ratio\n", Median(click) / std::max(0.01, Median(listingFloor)));
    std::printf("first_click_to_listing_floor_paired %.3f ratio\n", bench::PairedRatio(click, listingFloor));
    std::printf("click_listed %.2f ms\n", Median(listed));
    std::printf("click_again %.2f ms\n", Median(again));
    std::printf("enumeration %.2f ms\n", Median(enumeration));
    std::printf("longest_fill_round %.2f ms\n", Median(longest));
    return unsound == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc > 2 && std::strcmp(argv[1], "--click") == 0) return Click(static_cast<DWORD>(std::atol(argv[2])));
        if (argc > 3 && std::strcmp(argv[1], "--floor") == 0)
            return Floor(static_cast<DWORD>(std::atol(argv[2])), std::atoi(argv[3]));
        int runs = argc > 1 ? std::atoi(argv[1]) : 9;
        return Parent(runs < 1 ? 1 : runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ModuleBench: %s\n", error.what());
    }
    return 1;
}
