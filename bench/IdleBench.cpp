// Prints what Ovrelle costs while it sits idle, beside Wine's own Task
// Manager (taskmgr.exe, which refreshes every second) and beside the floor
// (the child IdleFloor: a window of the same size whose status bar, laid
// out as Ovrelle's, shows a text that changes once a second, and nothing
// else), all measured in the same run: they are started as child processes
// on a machine with about as many processes as a desktop (windowless
// children make up the number), and after start-up their resident memory is
// read, then the CPU time each uses over the measured period (five minutes
// by default: the system counts a thread's time in steps of 10 ms), given
// per minute; at the end Ovrelle's resident memory once more after a click
// has shown a module list. A second floor, which also reads the memory load
// at every tick as Ovrelle does, gives a ratio for information. Output
// lines: name value unit.
// Usage: IdleBench [seconds] [processes]
#include "bench/BenchSupport.h"
#include "sysinfo/JclAppInst.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Peer {
    const char* name;
    std::unique_ptr<bench::Child> process;
    double startupMb = 0, endMb = 0, cpuBefore = 0, cpuAfter = 0;
};

// Ovrelle's list view with this many columns (the process list has seven,
// the module list six), or null.
HWND OvrelleList(int columns) {
    HWND window = FindWindowA(ApplicationWindowClassName, "Ovrelle");
    if (!window) return nullptr;
    for (HWND list = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); list;
         list = FindWindowExA(window, list, WC_LISTVIEWA, nullptr)) {
        HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        if (SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) == columns) return list;
    }
    return nullptr;
}

// Clicks the first row of Ovrelle's process list, as a person does to see
// a process's modules; true once the module list shows them.
bool ShowFirstModuleList() {
    HWND processes = OvrelleList(7), modules = OvrelleList(6);
    if (!processes || !modules) return false;
    RECT header{};
    GetWindowRect(reinterpret_cast<HWND>(SendMessageA(processes, LVM_GETHEADER, 0, 0)), &header);
    POINT at{header.left + 60, header.bottom + 8};
    ScreenToClient(processes, &at);
    PostMessageA(processes, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(processes, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    for (int i = 0; i < 100; ++i) {
        if (SendMessageA(modules, LVM_GETITEMCOUNT, 0, 0) > 0) return true;
        Sleep(100);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
    if (seconds < 10) seconds = 10;
    int processes = argc > 2 ? std::atoi(argv[2]) : 57;

    // The four programs count among the processes.
    std::vector<std::unique_ptr<bench::Child>> children;
    while (bench::ProcessCount() + 4 < processes && children.size() < 1000)
        children.push_back(std::make_unique<bench::Child>(bench::ChildPath()));

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    Peer peers[] = {{"ovrelle", std::make_unique<bench::Child>(bench::OwnFolder() + "Ovrelle.exe", "")},
                    {"taskmgr", std::make_unique<bench::Child>(std::string(system) + "\\taskmgr.exe", "")},
                    {"floor", std::make_unique<bench::Child>(bench::ChildPath("IdleFloor"), "")},
                    {"floor_memory", std::make_unique<bench::Child>(bench::ChildPath("IdleFloor"), "memory")}};
    for (Peer& peer : peers) {
        if (!peer.process->Started()) {
            std::fprintf(stderr, "%s did not start\n", peer.name);
            return 1;
        }
    }
    // Start-up is over when the first refresh has filled the window; the
    // programs then only tick. The pointer rests on none of them, as for a
    // machine left alone: a pointer over a window has it watch the pointer.
    Sleep(5000);
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    for (Peer& peer : peers) peer.startupMb = bench::WorkingSetMb(peer.process->Handle());
    for (Peer& peer : peers) peer.cpuBefore = bench::CpuMilliseconds(peer.process->Id());
    Sleep(static_cast<DWORD>(seconds) * 1000);
    for (Peer& peer : peers) peer.cpuAfter = bench::CpuMilliseconds(peer.process->Id());
    for (Peer& peer : peers) peer.endMb = bench::WorkingSetMb(peer.process->Handle());

    std::printf("processes %d count\n", bench::ProcessCount());
    std::printf("measured %d s\n", seconds);
    for (const Peer& peer : peers) {
        std::printf("%s_idle_cpu_per_minute %.1f ms\n", peer.name, (peer.cpuAfter - peer.cpuBefore) * 60.0 / seconds);
        std::printf("%s_resident_after_start %.1f MB\n", peer.name, peer.startupMb);
        std::printf("%s_resident_at_end %.1f MB\n", peer.name, peer.endMb);
    }
    const Peer &ovrelle = peers[0], &taskmgr = peers[1], &floor = peers[2], &floorMemory = peers[3];
    auto cpu = [](const Peer& peer) { return peer.cpuAfter - peer.cpuBefore; };
    // GetThreadTimes counts in 10 ms steps: a floor that shows none counts as one.
    std::printf("idle_cpu_to_taskmgr %.3f ratio\n", cpu(taskmgr) > 0 ? cpu(ovrelle) / cpu(taskmgr) : 0.0);
    std::printf("idle_cpu_to_floor %.2f ratio\n", cpu(ovrelle) / std::max(10.0, cpu(floor)));
    // For information: the floor that also pays the memory-load query each tick.
    std::printf("idle_cpu_to_floor_memory %.2f ratio\n", cpu(ovrelle) / std::max(10.0, cpu(floorMemory)));
    std::printf("floor_idle_cpu_to_taskmgr %.3f ratio\n", cpu(taskmgr) > 0 ? cpu(floor) / cpu(taskmgr) : 0.0);
    std::printf("resident_to_taskmgr %.2f ratio\n", taskmgr.startupMb > 0 ? ovrelle.startupMb / taskmgr.startupMb : 0.0);
    std::printf("resident_to_floor %.2f ratio\n", floor.startupMb > 0 ? ovrelle.startupMb / floor.startupMb : 0.0);
    // The first module list loads the shell, which the process list does not need.
    if (ShowFirstModuleList()) {
        Sleep(2000);
        double shownMb = bench::WorkingSetMb(ovrelle.process->Handle());
        std::printf("ovrelle_resident_after_a_module_list %.1f MB\n", shownMb);
        std::printf("resident_after_a_module_list_to_taskmgr %.2f ratio\n",
                    taskmgr.startupMb > 0 ? shownMb / taskmgr.startupMb : 0.0);
    } else {
        std::fprintf(stderr, "no module list shown\n");
    }
    for (Peer& peer : peers) peer.process->End();
    return 0;
}
