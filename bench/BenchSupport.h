// What the benchmarks share: a stopwatch and the windowless child processes
// they run beside the program (build/children/WindowChild.exe "--none").
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace bench {

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// children\WindowChild.exe beside this program.
inline std::string ChildPath() {
    char path[MAX_PATH * 2] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string exe(path, length);
    return exe.substr(0, exe.find_last_of('\\') + 1) + "children\\WindowChild.exe";
}

// A windowless child that waits until it is ended; it ends with the object.
class Child {
public:
    explicit Child(const std::string& exe) {
        std::string commandLine = "\"" + exe + "\" --none";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info_))
            WaitForInputIdle(info_.hProcess, 10000);
    }
    ~Child() {
        if (!info_.hProcess) return;
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace bench
