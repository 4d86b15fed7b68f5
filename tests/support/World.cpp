#include "support/World.h"

#include "support/TestSupport.h"

#include <stdexcept>

namespace testing_support {

namespace {

// Where each program lies under the world's folder, which test child it is
// a copy of, and how many processes run from it. The texts are UTF-8, as the
// test programs' code page is.
struct Installed {
    const char* path;
    const char* child;
    int processes;
};

const Installed kInstalled[] = {
    {"Program Files\\Nordlys Ledger\\Ledger.exe", "LedgerChild", 1},
    {"Program Files\\Nordlys Ledger\\Services\\Ledger Sync Service.exe", "LedgerChild", 3},
    {"Program Files\\Nordlys Ledger\\Services\\ledger-indexer.exe", "LedgerChild", 2},
    {"Program Files\\Skylark Browser\\Application\\skylark.exe", "WindowChild", 34},
    {"Program Files (x86)\\Quillmar\\Chart Viewer 3\\ChartViewer.exe", "WindowChild", 1},
    {"Program Files (x86)\\Quillmar\\Chart Viewer 3\\Plug-ins\\Render Host\\chart render host.exe",
     "WindowChild", 24},
    {"Program Files\\Fjällräven Verktyg\\Bildvisning för alla\\Förhandsgranskaren.exe", "WindowChild", 2},
    {"Program Files\\Common Files\\Shared Update Components For Every Installed Product\\Version 12.0.31\\"
     "UpdateAgent.exe",
     "LedgerChild", 4},
    {"Users\\Test User\\AppData\\Local\\Programs\\A Rather Long Application Folder Name\\"
     "Another Long Subfolder Name\\tray helper.exe",
     "WindowChild", 6},
    {"Users\\Test User\\AppData\\Roaming\\Scripts\\watcher.exe", "BareChild", 20},
    {"Tools\\Render Farm\\node 1\\rendernode.exe", "BareChild", 8},
    {"Tools\\Render Farm\\node 2\\rendernode.exe", "BareChild", 8},
    {"ProgramData\\Vendor Telemetry\\Collector\\telemetry collector.exe", "BareChild", 6},
    {"Windows Apps\\Mail and Calendar\\mailsync.exe", "WindowChild", 12},
    {"Games\\Östra Äventyr\\Spelstart.exe", "LedgerChild", 2},
    {"Tools\\procwatch64.exe", "BareChild", 24},
    {"Program Files\\Quillmar\\Module Heavy\\ModuleHeavy.exe", "ManyModules", 1},
};

PopulatedWorld* current = nullptr;

void CreateFolders(const std::string& filePath) {
    for (size_t cut = filePath.find('\\', 3); cut != std::string::npos; cut = filePath.find('\\', cut + 1))
        CreateDirectoryA(filePath.substr(0, cut).c_str(), nullptr);
}

bool SameSize(const std::string& a, const std::string& b) {
    WIN32_FILE_ATTRIBUTE_DATA first{}, second{};
    return GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &first) &&
           GetFileAttributesExA(b.c_str(), GetFileExInfoStandard, &second) &&
           first.nFileSizeLow == second.nFileSizeLow && first.nFileSizeHigh == second.nFileSizeHigh;
}

}  // namespace

const PopulatedWorld* PopulatedWorld::Current() { return current; }

void PopulatedWorld::SetUp() {
    // build/world, beside the children.
    char root[MAX_PATH * 2] = {};
    GetFullPathNameA(WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/../world/").c_str(), sizeof root, root,
                     nullptr);
    for (const Installed& program : kInstalled) {
        std::string path = root + std::string(program.path);
        CreateFolders(path);
        std::string source = ChildExe(program.child);
        if (!SameSize(source, path)) CopyFileA(source.c_str(), path.c_str(), FALSE);
        ASSERT_TRUE(SameSize(source, path)) << "cannot copy " << source << " to " << path;
    }
    current = this;
    // Started all at once, then waited for: the starts overlap.
    for (const Installed& program : kInstalled) {
        for (int i = 0; i < program.processes; ++i) {
            Process process;
            process.path = root + std::string(program.path);
            process.child = program.child;
            std::string commandLine = "\"" + process.path + "\" --none" + ParentArgument();
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            // A loaded machine now and then refuses a start for a moment.
            bool started = false;
            DWORD error = 0;
            for (int attempt = 0; attempt < 5 && !started; ++attempt) {
                started = CreateProcessA(process.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                         nullptr, nullptr, &startup, &info) != FALSE;
                if (!started) {
                    error = GetLastError();
                    Sleep(200);
                }
            }
            ASSERT_TRUE(started) << "cannot start " << process.path << ": error " << error;
            CloseHandle(info.hThread);
            process.id = info.dwProcessId;
            process.handle = info.hProcess;
            processes_.push_back(process);
        }
    }
    for (const Process& process : processes_) {
        WaitForInputIdle(process.handle, 60000);
        ASSERT_EQ(WaitForSingleObject(process.handle, 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << process.path << " ended at its start";
    }
}

void PopulatedWorld::TearDown() {
    for (const Process& process : processes_) TerminateProcess(process.handle, 0);
    for (const Process& process : processes_) {
        WaitForSingleObject(process.handle, 5000);
        CloseHandle(process.handle);
    }
    processes_.clear();
    current = nullptr;
}

PopulatedWorld::Process PopulatedWorld::ManyModules() const {
    std::vector<Process> found = RunningFrom("\\ModuleHeavy.exe");
    if (found.empty()) throw std::logic_error("the world has no process with many modules");
    return found.front();
}

std::vector<PopulatedWorld::Process> PopulatedWorld::RunningFrom(const std::string& pathEnd) const {
    std::vector<Process> found;
    for (const Process& process : processes_)
        if (process.path.size() >= pathEnd.size() &&
            process.path.compare(process.path.size() - pathEnd.size(), pathEnd.size(), pathEnd) == 0)
            found.push_back(process);
    return found;
}

}  // namespace testing_support
