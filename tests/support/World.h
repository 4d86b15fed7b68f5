// A test world that looks like a real machine: some 170 processes started
// from the test children copied into a tree of folders as installed software
// lies (long paths with spaces, one past 300 characters, Swedish and Greek
// folder and file names, many processes of one file, one file name in two
// folders, files with a version resource and an icon and files with
// neither), processes that refuse most or all access as services do, one
// process with many modules, and one library that some programs load
// at one version and others at another, from a folder of their own. A
// GoogleTest environment: started once per test program that registers it,
// before its tests; every child ends with it, and with the test program if
// that is stopped.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

class PopulatedWorld : public ::testing::Environment {
public:
    // What a process lets programs of other users open it for: everything
    // (Wine's default), only its path and its end (services, elevated and
    // other users' processes as Windows shows them to a standard user), or
    // nothing at all.
    enum class Access { Full, Limited, Sealed };
    struct Process {
        std::string path;   // the Windows path of its executable
        std::string child;  // the test child it is a copy of
        Access access = Access::Full;
        DWORD id = 0;
        HANDLE handle = nullptr;
        std::string loads;  // the path of the library it loads, or empty
    };

    // The world of this test program; null before it is set up.
    static const PopulatedWorld* Current();

    void SetUp() override;
    void TearDown() override;

    const std::vector<Process>& Processes() const { return processes_; }
    // The one with more modules than the module list shows at once.
    Process ManyModules() const;
    // The processes run from the executable whose path ends in the text.
    std::vector<Process> RunningFrom(const std::string& pathEnd) const;

private:
    std::vector<Process> processes_;
};

}  // namespace testing_support
