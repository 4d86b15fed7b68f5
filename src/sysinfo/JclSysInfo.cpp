#include "sysinfo/JclSysInfo.h"

#include "res/Resources.h"
#include "widgets/Handle.h"

#include <algorithm>
#include <cstring>
#include <utility>

using widgets::UniqueFileHandle;
using widgets::UniqueKernelHandle;

namespace {

const DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x0410
const DWORD kListModulesAll = 0x03;
// Module handles asked for at once: more than most processes load.
const size_t kModulesAtFirst = 512;

TOsVersion ReadOsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return {0, 0, 0};
#pragma GCC diagnostic pop
    return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

TStartupFlags& MutableFlags() {
    static TStartupFlags flags;
    return flags;
}

// Computed during program initialisation, before any window exists.
const bool flagsComputed = (ComputeStartupFlags(), true);

std::string LoadText(UINT id, const char* fallback) {
    char buffer[128];
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string(fallback);
}

const std::string& SystemIdleProcessName() {
    static const std::string name = LoadText(IDS_SYSTEM_IDLE_PROCESS, "System Idle Process");
    return name;
}

const std::string& SystemProcessName() {
    static const std::string name = LoadText(IDS_SYSTEM_PROCESS, "System Process");
    return name;
}

std::string FileNamePart(const std::string& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string TextUpToNul(const char* buffer, size_t capacity) {
    size_t length = 0;
    while (length < capacity && buffer[length]) ++length;
    return std::string(buffer, length);
}

template <typename T>
T Resolve(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// ------------------------------------------------------- thin wrappers
BOOL CallEnumProcesses(DWORD* ids, DWORD size, DWORD* needed) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().EnumProcesses) return FALSE;
    return ProcessStatusApi().EnumProcesses(ids, size, needed);
}

BOOL CallEnumProcessModules(HANDLE process, HMODULE* modules, DWORD size, DWORD* needed) {
    if (!EnsureProcessStatusLibrary()) return FALSE;
    auto& api = ProcessStatusApi();
    // All modules, also of a 32-bit process seen from this 64-bit program.
    if (api.EnumProcessModulesEx) return api.EnumProcessModulesEx(process, modules, size, needed, kListModulesAll);
    if (api.EnumProcessModules) return api.EnumProcessModules(process, modules, size, needed);
    return FALSE;
}

DWORD CallGetModuleBaseName(HANDLE process, HMODULE module, char* buffer, DWORD size) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().GetModuleBaseNameA) return 0;
    return ProcessStatusApi().GetModuleBaseNameA(process, module, buffer, size);
}

DWORD CallGetModuleFileNameEx(HANDLE process, HMODULE module, char* buffer, DWORD size) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().GetModuleFileNameExA) return 0;
    return ProcessStatusApi().GetModuleFileNameExA(process, module, buffer, size);
}

BOOL CallGetModuleInformation(HANDLE process, HMODULE module, MODULEINFO* info, DWORD size) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().GetModuleInformation) return FALSE;
    return ProcessStatusApi().GetModuleInformation(process, module, info, size);
}

HANDLE CallCreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    if (!EnsureToolHelp()) return INVALID_HANDLE_VALUE;
    return ToolHelpApi().CreateToolhelp32Snapshot(flags, processId);
}

BOOL CallProcess32(TProcess32First entry, HANDLE snapshot, PROCESSENTRY32* record) {
    return EnsureToolHelp() && entry ? entry(snapshot, record) : FALSE;
}

BOOL CallModule32(TModule32First entry, HANDLE snapshot, MODULEENTRY32* record) {
    return EnsureToolHelp() && entry ? entry(snapshot, record) : FALSE;
}

// ------------------------------------------------------------ strategies
bool ProcessesBySnapshot(TStringList& list, bool fullPaths) {
    UniqueFileHandle snapshot(CallCreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 record{};
    record.dwSize = sizeof record;
    const TStartupFlags& flags = StartupFlags();
    for (BOOL more = CallProcess32(ToolHelpApi().Process32First, snapshot.get(), &record); more;
         more = CallProcess32(ToolHelpApi().Process32Next, snapshot.get(), &record)) {
        DWORD pid = record.th32ProcessID;
        std::string exeFile = TextUpToNul(record.szExeFile, sizeof record.szExeFile);
        std::string text;
        if (pid == 0) {
            text = SystemIdleProcessName();
        } else if (flags.IsNt5x || flags.ReadsImagePaths) {
            text = ProcessImageName(pid, fullPaths);
            if (text.empty()) text = exeFile;
        } else {
            text = fullPaths ? exeFile : FileNamePart(exeFile);
        }
        list.push_back({text, pid});
    }
    return true;
}

bool ProcessesByProcessStatus(TStringList& list, bool fullPaths) {
    DWORD ids[1025];
    DWORD bytes = 0;
    if (!CallEnumProcesses(ids, sizeof ids, &bytes)) return false;
    DWORD count = bytes / sizeof(DWORD);
    if (count > 1025) count = 1025;
    for (DWORD i = 0; i < count; ++i) {
        std::string text;
        if (ids[i] == 0) text = SystemIdleProcessName();
        else if (ids[i] == 2 && StartupFlags().IsNt4) text = SystemProcessName();
        else text = ProcessImageName(ids[i], fullPaths);
        if (!text.empty()) list.push_back({text, ids[i]});
    }
    return true;
}

bool ModulesByMemoryWalk(TStringList& list, HANDLE process, bool handlesOnly) {
    MEMORY_BASIC_INFORMATION info{};
    std::uintptr_t address = 0;
    if (VirtualQueryEx(process, nullptr, &info, sizeof info) != sizeof info) return false;
    void* lastBase = nullptr;
    for (;;) {
        if (info.AllocationBase != lastBase) {
            if (info.Type == MEM_IMAGE)
                AddModuleEntry(list, process, static_cast<HMODULE>(info.AllocationBase), handlesOnly);
            lastBase = info.AllocationBase;
        }
        std::uintptr_t next = address + info.RegionSize;
        if (info.RegionSize == 0 || next <= address) break;  // the end of the address space
        address = next;
        info = MEMORY_BASIC_INFORMATION{};
        if (VirtualQueryEx(process, reinterpret_cast<void*>(address), &info, sizeof info) != sizeof info)
            break;
    }
    return true;
}

// The modules' handles as EnumProcessModulesEx gives them, in one call for
// all but processes with very many modules: each call walks the target's
// loader list once. False when the process's modules cannot be enumerated.
bool EnumerateModules(HANDLE process, std::vector<HMODULE>& modules) {
    modules.resize(kModulesAtFirst);
    // A process that keeps loading libraries could outgrow every buffer;
    // after the last try the modules that fitted are listed.
    for (int attempt = 1;; ++attempt) {
        DWORD capacity = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        DWORD needed = 0;
        if (!CallEnumProcessModules(process, modules.data(), capacity, &needed)) {
            // Only the first refusal means the modules cannot be enumerated.
            modules.clear();
            return attempt > 1;
        }
        if (needed <= capacity || attempt == 4) {
            modules.resize(std::min(needed, capacity) / sizeof(HMODULE));
            return true;
        }
        modules.resize(needed / sizeof(HMODULE) + kModulesAtFirst / 4);
    }
}

// Calls visit for each record of one module snapshot of the process; false
// when the snapshot cannot be taken.
template <typename Visit>
bool WalkModuleSnapshot(DWORD processId, Visit visit) {
    UniqueFileHandle snapshot(CallCreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot) return false;
    MODULEENTRY32 record{};
    record.dwSize = sizeof record;
    for (BOOL more = CallModule32(ToolHelpApi().Module32First, snapshot.get(), &record); more;
         more = CallModule32(ToolHelpApi().Module32Next, snapshot.get(), &record)) {
        visit(record);
        // A record filled only in part must not show the last one's path.
        std::memset(record.szExePath, 0, sizeof record.szExePath);
    }
    return true;
}

// Module paths by base address from one module snapshot: one walk of the
// target's loader list, where reading each path on its own walks the list
// once per module. A path that may have been cut to the snapshot's record
// is not taken.
class TModulePaths {
public:
    explicit TModulePaths(DWORD processId) {
        WalkModuleSnapshot(processId, [this](const MODULEENTRY32& record) {
            std::string path = TextUpToNul(record.szExePath, sizeof record.szExePath);
            // A UTF-8 path cut to the record may end up to four bytes short of it.
            if (!path.empty() && path.size() < sizeof record.szExePath - 4)
                paths_.push_back({reinterpret_cast<std::uintptr_t>(record.modBaseAddr), std::move(path)});
        });
        std::sort(paths_.begin(), paths_.end());
    }

    const std::string* Find(std::uintptr_t base) const {
        auto found = std::lower_bound(paths_.begin(), paths_.end(), base,
                                      [](const auto& entry, std::uintptr_t key) { return entry.first < key; });
        return found != paths_.end() && found->first == base ? &found->second : nullptr;
    }

private:
    std::vector<std::pair<std::uintptr_t, std::string>> paths_;
};

void AddModulePath(TStringList& list, HANDLE process, HMODULE module, std::uintptr_t base) {
    char buffer[MAX_PATH + 1] = {};
    if (CallGetModuleFileNameEx(process, module, buffer, MAX_PATH + 1) > 0)
        list.push_back({TextUpToNul(buffer, sizeof buffer), base});
}

bool ModulesByProcessStatus(TStringList& list, DWORD processId, bool handlesOnly) {
    UniqueKernelHandle process(OpenProcess(kQueryAndRead, FALSE, processId));
    if (!process) return false;
    std::vector<HMODULE> modules;
    if (!EnumerateModules(process.get(), modules)) return ModulesByMemoryWalk(list, process.get(), handlesOnly);
    // On the NT platform a module's handle is its base address.
    if (handlesOnly) {
        for (HMODULE module : modules) list.push_back({std::string(), reinterpret_cast<std::uintptr_t>(module)});
        return true;
    }
    // The loader list may change between the enumeration and the snapshot:
    // a module the snapshot does not show at the same base reads its own path.
    TModulePaths known(processId);
    for (HMODULE module : modules) {
        std::uintptr_t base = reinterpret_cast<std::uintptr_t>(module);
        if (const std::string* path = known.Find(base)) list.push_back({*path, base});
        else AddModulePath(list, process.get(), module, base);
    }
    return true;
}

bool ModulesBySnapshot(TStringList& list, DWORD processId, bool handlesOnly) {
    return WalkModuleSnapshot(processId, [&](const MODULEENTRY32& record) {
        list.push_back({handlesOnly ? std::string() : TextUpToNul(record.szExePath, sizeof record.szExePath),
                        reinterpret_cast<std::uintptr_t>(record.hModule)});
    });
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool HasDirectoryPart(const std::string& text) { return text.find_first_of("\\:") != std::string::npos; }

}  // namespace

// ------------------------------------------------------------------ versions
TWindowsVersion WindowsVersionClassOf(const TOsVersion& v) {
    if (v.PlatformId == VER_PLATFORM_WIN32_NT) {
        if (v.Major == 3 && (v.Minor == 1 || v.Minor == 5 || v.Minor == 51)) return TWindowsVersion::Nt3;
        if (v.Major == 4) return TWindowsVersion::Nt4;
        if (v.Major == 5 && v.Minor == 0) return TWindowsVersion::Nt50;
        if (v.Major == 5 && v.Minor == 1) return TWindowsVersion::Nt51;
        if (v.Major == 5 && v.Minor == 2) return TWindowsVersion::Nt52;
        return TWindowsVersion::Unknown;
    }
    if (v.PlatformId == VER_PLATFORM_WIN32_WINDOWS && v.Minor <= 90) return TWindowsVersion::Win9x;
    return TWindowsVersion::Unknown;
}

TOsVersion& OsVersion() {
    static TOsVersion version = ReadOsVersion();
    return version;
}

TWindowsVersion WindowsVersionClass() { return WindowsVersionClassOf(OsVersion()); }

const TStartupFlags& StartupFlags() { return MutableFlags(); }

void ComputeStartupFlags() {
    TWindowsVersion kind = WindowsVersionClass();
    TStartupFlags& flags = MutableFlags();
    flags.PlatformIsNt = OsVersion().PlatformId == VER_PLATFORM_WIN32_NT;
    flags.IsNt4 = kind == TWindowsVersion::Nt4;
    flags.IsNt5x = kind == TWindowsVersion::Nt50 || kind == TWindowsVersion::Nt51 || kind == TWindowsVersion::Nt52;
    flags.ReadsImagePaths = flags.PlatformIsNt && OsVersion().Major >= 5;
}

// -------------------------------------------------------------- entry points
TProcessStatusApi& ProcessStatusApi() {
    static TProcessStatusApi api;
    return api;
}

TToolHelpApi& ToolHelpApi() {
    static TToolHelpApi api;
    return api;
}

bool EnsureProcessStatusLibrary() {
    TProcessStatusApi& api = ProcessStatusApi();
    if (api.Library) return true;
    HMODULE library = LoadLibraryA("PSAPI.dll");
    if (reinterpret_cast<UINT_PTR>(library) < 32) return false;
    api.Library = library;
    api.EnumProcesses = Resolve<TEnumProcesses>(library, "EnumProcesses");
    api.EnumProcessModules = Resolve<TEnumProcessModules>(library, "EnumProcessModules");
    api.EnumProcessModulesEx = Resolve<TEnumProcessModulesEx>(library, "EnumProcessModulesEx");
    api.GetModuleBaseNameA = Resolve<TGetModuleBaseNameA>(library, "GetModuleBaseNameA");
    api.GetModuleFileNameExA = Resolve<TGetModuleFileNameExA>(library, "GetModuleFileNameExA");
    api.GetModuleInformation = Resolve<TGetModuleInformation>(library, "GetModuleInformation");
    return true;
}

bool EnsureToolHelp() {
    TToolHelpApi& api = ToolHelpApi();
    if (!api.Resolved) {
        api.Resolved = true;
        api.Kernel = GetModuleHandleA("kernel32.dll");
        if (api.Kernel) {
            api.CreateToolhelp32Snapshot = Resolve<TCreateToolhelp32Snapshot>(api.Kernel, "CreateToolhelp32Snapshot");
            api.Process32First = Resolve<TProcess32First>(api.Kernel, "Process32First");
            api.Process32Next = Resolve<TProcess32First>(api.Kernel, "Process32Next");
            api.Module32First = Resolve<TModule32First>(api.Kernel, "Module32First");
            api.Module32Next = Resolve<TModule32First>(api.Kernel, "Module32Next");
        }
    }
    return api.Kernel && api.CreateToolhelp32Snapshot;
}

// ----------------------------------------------------------------- processes
namespace {
unsigned long enumerations = 0;
}

unsigned long ProcessEnumerationCount() { return enumerations; }

bool ListProcesses(TStringList& list, bool fullPaths) {
    ++enumerations;
    TWindowsVersion kind = WindowsVersionClass();
    if (kind == TWindowsVersion::Nt3 || kind == TWindowsVersion::Nt4) return ProcessesByProcessStatus(list, fullPaths);
    return ProcessesBySnapshot(list, fullPaths);
}

std::string ProcessImageName(DWORD processId, bool fullPaths) {
    UniqueKernelHandle process(OpenProcess(kQueryAndRead, FALSE, processId));
    if (!process) return {};
    char buffer[MAX_PATH] = {};
    DWORD length = fullPaths ? CallGetModuleFileNameEx(process.get(), nullptr, buffer, MAX_PATH)
                             : CallGetModuleBaseName(process.get(), nullptr, buffer, MAX_PATH);
    return length > 0 ? TextUpToNul(buffer, MAX_PATH) : std::string();
}

// ------------------------------------------------------------------- modules
bool ListProcessModules(TStringList& list, DWORD processId, bool handlesOnly) {
    if (StartupFlags().PlatformIsNt) return ModulesByProcessStatus(list, processId, handlesOnly);
    return ModulesBySnapshot(list, processId, handlesOnly);
}

void AddModuleEntry(TStringList& list, HANDLE process, HMODULE module, bool handlesOnly) {
    MODULEINFO info{};
    if (!CallGetModuleInformation(process, module, &info, sizeof info)) return;
    std::uintptr_t base = reinterpret_cast<std::uintptr_t>(info.lpBaseOfDll);
    if (handlesOnly) list.push_back({std::string(), base});
    else AddModulePath(list, process, module, base);
}

// ------------------------------------------------------------------- queries
std::string CurrentUserName() {
    char buffer[257] = {};
    DWORD size = sizeof buffer;
    if (!GetUserNameA(buffer, &size)) return {};
    return TextUpToNul(buffer, sizeof buffer);
}

DWORD ProcessIdOfName(const std::string& nameOrPath) {
    TStringList list;
    if (!ListProcesses(list, HasDirectoryPart(nameOrPath))) return 0xFFFFFFFF;
    return FindProcessId(list, nameOrPath);
}

DWORD FindProcessId(const TStringList& processes, const std::string& nameOrPath) {
    for (const auto& entry : processes)
        if (SameTextIgnoringCase(entry.Text, nameOrPath)) return static_cast<DWORD>(entry.Data);
    return 0xFFFFFFFF;
}

namespace {
struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsMainApplicationWindow(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND MainWindowOfProcess(DWORD processId) {
    WindowSearch search{processId, nullptr};
    EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsMainApplicationWindow(HWND window) {
    if (!IsWindowVisible(window)) return false;
    HWND owner = reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_HWNDPARENT));
    if (owner && owner != GetDesktopWindow()) return false;
    LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    return !(exStyle & WS_EX_TOOLWINDOW) || (exStyle & WS_EX_APPWINDOW);
}

std::uint8_t MemoryLoadPercent() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return static_cast<std::uint8_t>(status.dwMemoryLoad);
}
