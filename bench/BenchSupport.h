// What the benchmarks share: a stopwatch and summaries of repeated runs, the
// child processes they run beside the program (build/children/*.exe), the
// floors (the bare platform calls that a process list and a module list
// cannot avoid), and the CPU time and memory of another process.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

template <typename Work>
double TimeMilliseconds(Work work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return MillisecondsSince(start);
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The median of the runs' ratios, each run's work over the floor measured
// right beside it: on a busy machine the pairs share its moment's load.
inline double PairedRatio(const std::vector<double>& work, const std::vector<double>& floor) {
    std::vector<double> ratios;
    for (size_t i = 0; i < work.size() && i < floor.size(); ++i)
        if (floor[i] > 0) ratios.push_back(work[i] / floor[i]);
    return Median(ratios);
}

inline double Min(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// The folder of this program, with its final backslash.
inline std::string OwnFolder() {
    char path[MAX_PATH * 2] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string exe(path, length);
    return exe.substr(0, exe.find_last_of('\\') + 1);
}

// children\<name>.exe beside this program.
inline std::string ChildPath(const char* name = "WindowChild") {
    return OwnFolder() + "children\\" + name + ".exe";
}

// A process started by a benchmark, by default a windowless child that waits
// until it is ended; it ends with the object. An access list (SDDL) makes
// the process grant other programs only what the list says, as services and
// other users' programs do; the handle kept here has every right anyway.
// Started without waiting, it is waited for by WaitIdle, so that many
// starts overlap.
class Child {
public:
    explicit Child(const std::string& exe, const std::string& arguments = "--none",
                   const wchar_t* accessList = nullptr, bool waitIdle = true) {
        std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
        if (accessList && !ConvertStringSecurityDescriptorToSecurityDescriptorW(accessList, SDDL_REVISION_1,
                                                                               &security.lpSecurityDescriptor, nullptr))
            return;
        // A loaded machine now and then refuses a start for a moment.
        bool started = false;
        for (int attempt = 0; attempt < 5 && !started; ++attempt) {
            started = CreateProcessA(exe.c_str(), commandLine.data(), accessList ? &security : nullptr, nullptr,
                                     FALSE, 0, nullptr, nullptr, &startup, &info_) != FALSE;
            if (!started) Sleep(200);
        }
        if (started && waitIdle) WaitIdle();
        LocalFree(security.lpSecurityDescriptor);
    }
    void WaitIdle() const {
        if (info_.hProcess) WaitForInputIdle(info_.hProcess, 20000);
    }
    ~Child() { End(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }

    // Closes the process's main windows as a person would, so that it ends
    // as it normally does; ends it outright when it has none or has not
    // ended after a while.
    void End() {
        if (!info_.hProcess) return;
        Closing closing{info_.dwProcessId, 0};
        EnumWindows(CloseWindowOf, reinterpret_cast<LPARAM>(&closing));
        if (closing.posted == 0 || WaitForSingleObject(info_.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(info_.hProcess, 0);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        info_ = PROCESS_INFORMATION{};
    }

private:
    struct Closing {
        DWORD processId;
        int posted;
    };
    static BOOL CALLBACK CloseWindowOf(HWND window, LPARAM param) {
        auto* closing = reinterpret_cast<Closing*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == closing->processId && IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            ++closing->posted;
        }
        return TRUE;
    }

    PROCESS_INFORMATION info_{};
};

// Calls visit for each record of one ToolHelp snapshot; false when the
// snapshot cannot be taken.
template <typename Record, typename Visit>
bool WalkSnapshot(DWORD flags, DWORD processId, BOOL(WINAPI* first)(HANDLE, Record*),
                  BOOL(WINAPI* next)(HANDLE, Record*), Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(flags, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    Record record{};
    record.dwSize = sizeof record;
    for (BOOL more = first(snapshot, &record); more; more = next(snapshot, &record)) visit(record);
    CloseHandle(snapshot);
    return true;
}

inline int ProcessCount() {
    int count = 0;
    WalkSnapshot(TH32CS_SNAPPROCESS, 0, Process32First, Process32Next, [&](const PROCESSENTRY32&) { ++count; });
    return count;
}

// The CPU time (user and kernel) that the live threads of a process have
// used. Wine answers GetProcessTimes for another process with a fixed value
// but GetThreadTimes from the thread's own counters (10 ms steps).
inline double CpuMilliseconds(DWORD processId) {
    double total = 0;
    WalkSnapshot(TH32CS_SNAPTHREAD, 0, Thread32First, Thread32Next, [&](const THREADENTRY32& entry) {
        if (entry.th32OwnerProcessID != processId) return;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) return;
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
            auto ticks = [](const FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
            total += double(ticks(kernel) + ticks(user)) / 10000.0;
        }
        CloseHandle(thread);
    });
    return total;
}

// Resident memory of a process (under Wine its resident set).
inline double WorkingSetMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// The floor of a process list: one snapshot walk, and each process opened
// (0x410) and its executable path read (GetModuleFileNameExA), as a reader
// without the limited query does. A process that refuses the open costs
// only the refused call. Returns the number of processes.
inline int ProcessListFloor() {
    int count = 0;
    WalkSnapshot(TH32CS_SNAPPROCESS, 0, Process32First, Process32Next, [&](const PROCESSENTRY32& record) {
        ++count;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, record.th32ProcessID);
        if (!process) return;
        char path[MAX_PATH] = {};
        GetModuleFileNameExA(process, nullptr, path, MAX_PATH);
        CloseHandle(process);
    });
    return count;
}

// What a process grants everyone when it grants only the least query
// rights: PROCESS_QUERY_LIMITED_INFORMATION and SYNCHRONIZE.
inline const wchar_t* LimitedAccessList() { return L"D:(A;;0x101000;;;WD)"; }

// Makes a child end with this program, also when it is stopped or crashes
// (the test children watch the process it names).
inline std::string ParentArgument() { return " --parent " + std::to_string(GetCurrentProcessId()); }

// The floor of a process list where the system has the limited query: one
// snapshot walk, and each process opened with the least query rights and
// its path read (QueryFullProcessImageNameW). Returns the number of processes.
inline int LimitedProcessListFloor() {
    int count = 0;
    WalkSnapshot(TH32CS_SNAPPROCESS, 0, Process32First, Process32Next, [&](const PROCESSENTRY32& record) {
        ++count;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.th32ProcessID);
        if (!process) return;
        wchar_t path[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH + 1;
        QueryFullProcessImageNameW(process, 0, path, &size);
        CloseHandle(process);
    });
    return count;
}

// The floor of what a list row needs of a file it has not seen: its version
// resource read (GetFileVersionInfoSizeW and GetFileVersionInfoW), its icon
// extracted at the large icon size (PrivateExtractIconsW) and added to an
// image list of the small size (ImageList_AddIcon). The icon is kept for
// the caller to destroy: the program keeps each file's icon too. False when
// the file has no version resource or no icon.
inline bool FileFloor(const std::wstring& path, HIMAGELIST images, std::vector<HICON>& icons) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<BYTE> resource(size);
    bool version = size > 0 && GetFileVersionInfoW(path.c_str(), handle, size, resource.data());
    HICON icon = nullptr;
    UINT found = PrivateExtractIconsW(path.c_str(), 0, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                      &icon, nullptr, 1, LR_DEFAULTCOLOR);
    if (found == 0xFFFFFFFF || found == 0 || !icon) return false;
    icons.push_back(icon);
    return version && ImageList_AddIcon(images, icon) >= 0;
}

// The floor of a module list: the process opened, its modules enumerated
// once and each module's path read. Returns the number of modules.
inline int ModuleListFloor(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return 0;
    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    int count = 0;
    if (EnumProcessModulesEx(process, modules.data(), DWORD(modules.size() * sizeof(HMODULE)), &needed,
                             LIST_MODULES_ALL)) {
        count = int(std::min<size_t>(needed / sizeof(HMODULE), modules.size()));
        for (int i = 0; i < count; ++i) {
            char path[MAX_PATH + 1] = {};
            GetModuleFileNameExA(process, modules[size_t(i)], path, sizeof path);
        }
    }
    CloseHandle(process);
    return count;
}

using Figures = std::map<std::string, double>;

// Runs this program again in a process of its own with the arguments and
// reads the "name value unit" lines it prints; a run that hangs is ended
// (exit code 1). Throws when it cannot start.
inline Figures RunSelfWithExitCode(const std::string& arguments, DWORD& exitCode, DWORD timeout = 300000) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) throw std::runtime_error("cannot make a pipe");
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    char self[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string commandLine = "\"" + std::string(self) + "\" " + arguments;
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
    exitCode = 1;
    if (started) {
        DWORD waited = 0;
        while (WaitForSingleObject(info.hProcess, 100) == WAIT_TIMEOUT) {
            drain();
            waited += 100;
            if (waited >= timeout) {
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
    if (!started) throw std::runtime_error("cannot start the measured run (" + arguments + ")");
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

// As RunSelfWithExitCode; also throws when the run exits with another code
// than 0.
inline Figures RunSelf(const std::string& arguments, DWORD timeout = 300000) {
    DWORD exitCode = 1;
    Figures figures = RunSelfWithExitCode(arguments, exitCode, timeout);
    if (exitCode != 0) throw std::runtime_error("the measured run (" + arguments + ") failed");
    return figures;
}

}  // namespace bench
