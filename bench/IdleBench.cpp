// Prints what Ovrelle costs while it sits idle, beside Wine's own Task
// Manager (taskmgr.exe, which refreshes every second) measured in the same
// run: both are started as child processes on a machine with about as many
// processes as a desktop (windowless children make up the number), and
// after start-up their resident memory is read, then the CPU time each uses
// over the measured period, given per minute. Output lines: name value unit.
// Usage: IdleBench [seconds] [processes]
#include "bench/BenchSupport.h"

#include <windows.h>

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

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    if (seconds < 10) seconds = 10;
    int processes = argc > 2 ? std::atoi(argv[2]) : 57;

    // The two programs count among the processes.
    std::vector<std::unique_ptr<bench::Child>> children;
    while (bench::ProcessCount() + 2 < processes && children.size() < 1000)
        children.push_back(std::make_unique<bench::Child>(bench::ChildPath()));

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    Peer peers[] = {{"ovrelle", std::make_unique<bench::Child>(bench::OwnFolder() + "Ovrelle.exe", "")},
                    {"taskmgr", std::make_unique<bench::Child>(std::string(system) + "\\taskmgr.exe", "")}};
    for (Peer& peer : peers) {
        if (!peer.process->Started()) {
            std::fprintf(stderr, "%s did not start\n", peer.name);
            return 1;
        }
    }
    // Start-up is over when the first refresh has filled the window; both
    // programs then only tick.
    Sleep(5000);
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
    const Peer &ovrelle = peers[0], &taskmgr = peers[1];
    double ovrelleCpu = ovrelle.cpuAfter - ovrelle.cpuBefore, taskmgrCpu = taskmgr.cpuAfter - taskmgr.cpuBefore;
    std::printf("idle_cpu_to_taskmgr %.3f ratio\n", taskmgrCpu > 0 ? ovrelleCpu / taskmgrCpu : 0.0);
    std::printf("resident_to_taskmgr %.2f ratio\n", taskmgr.startupMb > 0 ? ovrelle.startupMb / taskmgr.startupMb : 0.0);
    for (Peer& peer : peers) peer.process->End();
    return 0;
}
