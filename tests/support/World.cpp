#include "support/World.h"

#include "support/TestSupport.h"
#include "widgets/Utf16.h"

#include <sddl.h>

#include <stdexcept>

namespace testing_support {

namespace {

using Access = PopulatedWorld::Access;

// Where each program lies under the world's folder, which test child it is
// a copy of, how many processes run from it and what they grant other
// users' programs. The texts are UTF-8.
struct Installed {
    const char* path;
    const char* child;
    int processes;
    Access access = Access::Full;
    const char* loads = nullptr;  // a library below, by its path
};

// The test library at two versions, as two programs install their own copy.
#define OVRELLE_NEW_ZIP "Program Files\\Quillmar\\Archiver\\quillzip.dll"
#define OVRELLE_OLD_ZIP "Program Files\\Fabrikam\\Backup\\quillzip.dll"
const struct {
    const char* path;
    const char* build;  // its folder among the children
} kLibraries[] = {{OVRELLE_NEW_ZIP, "quillzip-3.0.2.0"}, {OVRELLE_OLD_ZIP, "quillzip-2.4.1.0"}};

// Folders deep enough that the whole path passes 300 characters.
#define OVRELLE_LONG_FOLDER "A Folder Name Long Enough To Stand For The Deep Trees Some Installers Make"

const Installed kInstalled[] = {
    {"Program Files\\Nordlys Ledger\\Ledger.exe", "LedgerChild", 1},
    // Services and other users' programs grant a standard user only the
    // least query rights; some grant nothing at all.
    {"Program Files\\Nordlys Ledger\\Services\\Ledger Sync Service.exe", "LedgerChild", 3, Access::Limited},
    {"Program Files\\Nordlys Ledger\\Services\\ledger-indexer.exe", "LedgerChild", 2, Access::Limited},
    {"Program Files\\Contoso\\Sync\\ContosoSync.exe", "WindowChild", 2, Access::Limited},
    {"Program Files\\Fabrikam\\Shell\\explorer.exe", "LedgerChild", 1, Access::Sealed},
    {"ProgramData\\Guarded Service\\guardsvc.exe", "BareChild", 2, Access::Sealed},
    {"Program Files\\Skylark Browser\\Application\\skylark.exe", "WindowChild", 34},
    {"Program Files (x86)\\Quillmar\\Chart Viewer 3\\ChartViewer.exe", "WindowChild", 1},
    {"Program Files (x86)\\Quillmar\\Chart Viewer 3\\Plug-ins\\Render Host\\chart render host.exe",
     "WindowChild", 24},
    {"Program Files\\Fjällräven Verktyg\\Bildvisning för alla\\Förhandsgranskaren.exe", "WindowChild", 2},
    {"Program Files\\Common Files\\Shared Update Components For Every Installed Product\\Version 12.0.31\\"
     "UpdateAgent.exe",
     "LedgerChild", 4, Access::Limited},
    {"Users\\Test User\\AppData\\Local\\Programs\\A Rather Long Application Folder Name\\"
     "Another Long Subfolder Name\\tray helper.exe",
     "WindowChild", 6},
    {"Users\\Test User\\AppData\\Roaming\\Scripts\\watcher.exe", "BareChild", 20},
    {"Tools\\Render Farm\\node 1\\rendernode.exe", "BareChild", 8},
    {"Tools\\Render Farm\\node 2\\rendernode.exe", "BareChild", 8, Access::Limited},
    {"ProgramData\\Vendor Telemetry\\Collector\\telemetry collector.exe", "BareChild", 6, Access::Limited},
    {"Windows Apps\\Mail and Calendar\\mailsync.exe", "WindowChild", 12, Access::Limited},
    {"Games\\Östra Äventyr\\Spelstart.exe", "LedgerChild", 2},
    {"Program Files\\Ελληνικά Εργαλεία\\Εργαλείο.exe", "HellasChild", 2},
    {"Program Files\\" OVRELLE_LONG_FOLDER "\\" OVRELLE_LONG_FOLDER " Again\\" OVRELLE_LONG_FOLDER
     " Once More\\Very Long Path Viewer.exe",
     "LedgerChild", 1, Access::Limited},
    {"Tools\\procwatch64.exe", "BareChild", 24},
    {"Program Files\\Quillmar\\Module Heavy\\ModuleHeavy.exe", "ManyModules", 1},
    {"Program Files\\Quillmar\\Archiver\\Archiver.exe", "WindowChild", 4, Access::Full, OVRELLE_NEW_ZIP},
    {"Program Files\\Fabrikam\\Backup\\Backup Agent.exe", "LedgerChild", 2, Access::Full, OVRELLE_OLD_ZIP},
    {"Program Files\\Fabrikam\\Backup\\Backup Service.exe", "LedgerChild", 1, Access::Limited, OVRELLE_OLD_ZIP},
};

PopulatedWorld* current = nullptr;

// Paths past MAX_PATH take the wide calls with the "\\\\?\\" prefix.
std::wstring LongPath(const std::string& path) { return L"\\\\?\\" + widgets::Utf16(path); }

void CreateFolders(const std::string& filePath) {
    for (size_t cut = filePath.find('\\', 3); cut != std::string::npos; cut = filePath.find('\\', cut + 1))
        CreateDirectoryW(LongPath(filePath.substr(0, cut)).c_str(), nullptr);
}

bool SameSize(const std::string& a, const std::string& b) {
    WIN32_FILE_ATTRIBUTE_DATA first{}, second{};
    return GetFileAttributesExW(LongPath(a).c_str(), GetFileExInfoStandard, &first) &&
           GetFileAttributesExW(LongPath(b).c_str(), GetFileExInfoStandard, &second) &&
           first.nFileSizeLow == second.nFileSizeLow && first.nFileSizeHigh == second.nFileSizeHigh;
}

// A process's own access list: everyone may ask the least of it (its path,
// its end), or nothing at all.
const wchar_t* AccessList(Access access) {
    switch (access) {
        case Access::Limited: return L"D:(A;;0x101000;;;WD)";  // query limited, synchronize
        case Access::Sealed: return L"D:";
        case Access::Full: break;
    }
    return nullptr;
}

}  // namespace

const PopulatedWorld* PopulatedWorld::Current() { return current; }

void PopulatedWorld::SetUp() {
    // build/world, beside the children.
    wchar_t fullRoot[MAX_PATH * 2] = {};
    GetFullPathNameW(widgets::Utf16(WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/../world/")).c_str(),
                     MAX_PATH * 2, fullRoot, nullptr);
    const std::string root = widgets::Utf8UpToNul(fullRoot, MAX_PATH * 2);
    for (const Installed& program : kInstalled) {
        std::string path = root + std::string(program.path);
        CreateFolders(path);
        std::string source = ChildExe(program.child);
        if (!SameSize(source, path)) CopyFileW(LongPath(source).c_str(), LongPath(path).c_str(), FALSE);
        ASSERT_TRUE(SameSize(source, path)) << "cannot copy " << source << " to " << path;
    }
    for (const auto& library : kLibraries) {
        std::string source = WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/" + library.build + "/quillzip.dll");
        if (!SameSize(source, root + library.path))
            CopyFileW(LongPath(source).c_str(), LongPath(root + library.path).c_str(), FALSE);
        ASSERT_TRUE(SameSize(source, root + library.path)) << "cannot copy " << source;
    }
    current = this;
    // Started all at once, then waited for: the starts overlap.
    for (const Installed& program : kInstalled) {
        for (int i = 0; i < program.processes; ++i) {
            Process process;
            process.path = root + std::string(program.path);
            process.child = program.child;
            process.access = program.access;
            if (program.loads) process.loads = root + program.loads;
            std::wstring commandLine = widgets::Utf16("\"" + process.path + "\" --none" +
                                                      (program.loads ? " --load \"" + process.loads + "\"" : "") +
                                                      ParentArgument());
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
            if (const wchar_t* list = AccessList(program.access)) {
                ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(list, SDDL_REVISION_1,
                                                                                 &security.lpSecurityDescriptor,
                                                                                 nullptr));
            }
            DWORD error = 0;
            // Wine starts a program from a path past MAX_PATH only by a name
            // relative to the current folder; the child starts in the world's.
            const size_t cut = process.path.rfind('\\');
            const bool longPath = process.path.size() >= MAX_PATH;
            const std::wstring application = longPath ? L".\\" + widgets::Utf16(process.path.substr(cut + 1))
                                                      : widgets::Utf16(process.path);
            wchar_t saved[MAX_PATH] = {};
            if (longPath) {
                GetCurrentDirectoryW(MAX_PATH, saved);
                SetCurrentDirectoryW(widgets::Utf16(process.path.substr(0, cut)).c_str());
            }
            const bool started = StartProcess(application.c_str(), commandLine,
                                              security.lpSecurityDescriptor ? &security : nullptr,
                                              widgets::Utf16(root).c_str(), startup, info, error);
            if (longPath) SetCurrentDirectoryW(saved);
            LocalFree(security.lpSecurityDescriptor);
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
