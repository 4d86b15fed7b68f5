#include "sysinfo/JclSysInfo.h"

#include "res/Resources.h"
#include "sysinfo/JclFileUtils.h"
#include "widgets/Handle.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>
#include <memory>
#include <utility>

using widgets::UniqueFileHandle;
using widgets::UniqueKernelHandle;
using widgets::Utf16;
using widgets::Utf8;
using widgets::Utf8UpToNul;

namespace {

const DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x0410
// What a process grants most readers, services and elevated ones included.
const DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
const DWORD kListModulesAll = 0x03;
// Module handles asked for at once: more than most processes load.
const size_t kModulesAtFirst = 512;
// The longest path the system gives, in UTF-16 units with its NUL.
const DWORD kLongestPath = 32768;

TOsVersion ReadOsVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return {0, 0, 0};
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
    wchar_t buffer[128];
    int length = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 128);
    return length > 0 ? Utf8(buffer, static_cast<size_t>(length)) : std::string(fallback);
}

const std::string& SystemIdleProcessName() {
    static const std::string name = LoadText(IDS_SYSTEM_IDLE_PROCESS, "System Idle Process");
    return name;
}

const std::string& SystemProcessName() {
    static const std::string name = LoadText(IDS_SYSTEM_PROCESS, "System Process");
    return name;
}

// A path read by a call that cuts what does not fit its buffer: the buffer
// grows until the path fits or is as long as any path can be. read(buffer,
// capacity) answers the length it wrote, 0 on failure.
template <typename Read>
std::string ReadPath(Read read) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD capacity = static_cast<DWORD>(buffer.size());
        DWORD length = read(buffer.data(), capacity);
        if (length == 0) return {};
        // A cut path fills the buffer (with or without its NUL).
        if (length < capacity - 1 || capacity >= kLongestPath) return Utf8UpToNul(buffer.data(), std::min(length, capacity));
        buffer.assign(std::min<size_t>(buffer.size() * 4, kLongestPath), L'\0');
    }
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

std::string ModuleBaseName(HANDLE process, HMODULE module) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().GetModuleBaseNameW) return {};
    return ReadPath([&](wchar_t* buffer, DWORD size) { return ProcessStatusApi().GetModuleBaseNameW(process, module, buffer, size); });
}

std::string ModuleFileName(HANDLE process, HMODULE module) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().GetModuleFileNameExW) return {};
    return ReadPath([&](wchar_t* buffer, DWORD size) { return ProcessStatusApi().GetModuleFileNameExW(process, module, buffer, size); });
}

BOOL CallGetModuleInformation(HANDLE process, HMODULE module, MODULEINFO* info, DWORD size) {
    if (!EnsureProcessStatusLibrary() || !ProcessStatusApi().GetModuleInformation) return FALSE;
    return ProcessStatusApi().GetModuleInformation(process, module, info, size);
}

HANDLE CallCreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    if (!EnsureToolHelp()) return INVALID_HANDLE_VALUE;
    return ToolHelpApi().CreateToolhelp32Snapshot(flags, processId);
}

BOOL CallProcess32(TProcess32FirstW entry, HANDLE snapshot, PROCESSENTRY32W* record) {
    return EnsureToolHelp() && entry ? entry(snapshot, record) : FALSE;
}

BOOL CallModule32(TModule32FirstW entry, HANDLE snapshot, MODULEENTRY32W* record) {
    return EnsureToolHelp() && entry ? entry(snapshot, record) : FALSE;
}

// The drives of the kernel's devices, read when a path first needs them:
// once per enumeration at most.
class TDriveDevices {
public:
    std::string DrivePath(const std::string& devicePath) {
        std::wstring path = Utf16(devicePath);
        for (const wchar_t* network : {L"\\Device\\Mup\\", L"\\Device\\LanmanRedirector\\"}) {
            if (!StartsWith(path, network)) continue;
            std::wstring rest = path.substr(std::wcslen(network));
            return rest.empty() || rest[0] != L';' ? Utf8(L"\\\\" + rest) : RedirectedDrivePath(rest);
        }
        if (!read_) Read();
        for (const auto& [device, drive] : drives_)
            if (StartsWith(path, device + L"\\")) return Utf8(drive + path.substr(device.size()));
        return {};
    }

private:
    // Device names compare as file names do: ordinally, ignoring case.
    static bool StartsWith(const std::wstring& text, const std::wstring& start) {
        return text.size() >= start.size() && widgets::SameTextIgnoringCase(Utf8(text.substr(0, start.size())),
                                                                            Utf8(start));
    }
    // A file of a mapped network drive as the redirector names it below its
    // device (";LanmanRedirector\;Z:<logon id>\server\share\dir\file.exe"
    // below \Device\Mup, ";Z:<logon id>\server\share\..." below the
    // redirector's own) is "Z:\dir\file.exe". Where no drive letter is
    // named, the file name is all that is sure.
    static std::string RedirectedDrivePath(const std::wstring& rest) {
        for (size_t part = 0; part < rest.size() && rest[part] == L';';) {
            size_t end = std::min(rest.find(L'\\', part), rest.size());
            wchar_t letter = rest[part + 1];
            bool drive = end - part >= 3 && std::iswalpha(letter) && rest[part + 2] == L':';
            part = end + 1;
            if (!drive) continue;
            // The server and the share follow: what comes after them lies on the drive.
            size_t share = rest.find(L'\\', part);
            size_t folder = share == std::wstring::npos ? share : rest.find(L'\\', share + 1);
            if (folder == std::wstring::npos) break;
            return Utf8(std::wstring{letter, L':'} + rest.substr(folder));
        }
        return FileNamePart(Utf8(rest));
    }
    void Read() {
        read_ = true;
        EnsureImagePathApi();
        if (!ImagePathApi().QueryDosDeviceW) return;
        DWORD present = GetLogicalDrives();
        for (int letter = 0; letter < 26; ++letter) {
            if (!(present & (1u << letter))) continue;
            const wchar_t drive[3] = {static_cast<wchar_t>(L'A' + letter), L':', 0};
            wchar_t device[MAX_PATH + 1] = {};
            // The first of the names the drive stands for.
            if (ImagePathApi().QueryDosDeviceW(drive, device, MAX_PATH) > 0 && device[0])
                drives_.emplace_back(device, drive);
        }
    }
    bool read_ = false;
    std::vector<std::pair<std::wstring, std::wstring>> drives_;
};

// What the system answers for SystemProcessIdInformation (class 88).
struct ProcessIdInformation {
    HANDLE ProcessId;
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
const ULONG kSystemProcessIdInformation = 88;
const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// The image path of a process by its id, with no handle: what the system
// gives a reader that the process refuses every access.
std::string ImagePathById(DWORD processId, TDriveDevices& drives) {
    EnsureImagePathApi();
    TNtQuerySystemInformation query = ImagePathApi().NtQuerySystemInformation;
    if (!query) return {};
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        ProcessIdInformation info{};
        info.ProcessId = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(processId));
        info.MaximumLength = static_cast<USHORT>(buffer.size() * sizeof(wchar_t));
        info.Buffer = buffer.data();
        LONG status = query(kSystemProcessIdInformation, &info, sizeof info, nullptr);
        if (status >= 0) {
            size_t units = std::min<size_t>(info.Length / sizeof(wchar_t), buffer.size());
            return units ? drives.DrivePath(Utf8(buffer.data(), units)) : std::string();
        }
        // Too short: the system says how long the path is.
        if (status != kInfoLengthMismatch || info.MaximumLength <= buffer.size() * sizeof(wchar_t)) return {};
        buffer.assign(info.MaximumLength / sizeof(wchar_t) + 1, L'\0');
        if (buffer.size() > 0x7FFF) buffer.resize(0x7FFF);
    }
    return {};
}

LONGLONG FileTimeValue(const FILETIME& time) {
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// The path through a handle with the least rights a process grants. With a
// creation time, only of the process created then: the id may have passed
// to another since it was listed (otherProcess tells).
std::string LimitedImagePath(DWORD processId, const LONGLONG* createTime = nullptr, bool* otherProcess = nullptr) {
    UniqueKernelHandle process(ImagePathApi().OpenProcess(kQueryLimited, FALSE, processId));
    if (!process) return {};
    if (createTime) {
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return {};
        if (FileTimeValue(created) != *createTime) {
            if (otherProcess) *otherProcess = true;
            return {};
        }
    }
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (ImagePathApi().QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &size))
            return Utf8(buffer.data(), std::min<size_t>(size, buffer.size()));
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= kLongestPath) return {};
        buffer.assign(std::min<size_t>(buffer.size() * 4, kLongestPath), L'\0');
    }
}

std::string ImageName(DWORD processId, bool fullPaths, TDriveDevices& drives) {
    EnsureImagePathApi();
    const TOsVersion& version = OsVersion();
    if (version.PlatformId == VER_PLATFORM_WIN32_NT && version.Major >= 6 && ImagePathApi().QueryFullProcessImageNameW) {
        std::string path = LimitedImagePath(processId);
        if (path.empty()) path = ImagePathById(processId, drives);
        return fullPaths ? path : FileNamePart(path);
    }
    UniqueKernelHandle process(OpenProcess(kQueryAndRead, FALSE, processId));
    if (!process) return {};
    return fullPaths ? ModuleFileName(process.get(), nullptr) : ModuleBaseName(process.get(), nullptr);
}

// ------------------------------------------------------------ strategies
// What the one call tells of a process.
struct TListedProcess {
    DWORD Id;
    LONGLONG CreateTime;
    std::string Name;
};

const ULONG kSystemProcessInformation = 5;
// Far more than any machine's process table: a table that keeps outgrowing
// the buffer while it is read ends the tries there.
const ULONG kLargestProcessTable = 64u << 20;

// The name of a record, when it lies inside the buffer the call filled.
std::string RecordName(const UNICODE_STRING& name, const std::uint8_t* begin, const std::uint8_t* end) {
    const auto* text = reinterpret_cast<const std::uint8_t*>(name.Buffer);
    if (!text || text < begin || text > end || name.Length > end - text) return {};
    std::vector<wchar_t> units(name.Length / sizeof(wchar_t));
    std::memcpy(units.data(), text, units.size() * sizeof(wchar_t));
    return Utf8UpToNul(units.data(), units.size());
}

// Every process in one call (SystemProcessInformation), the buffer grown
// while the system says it is too short, within a bound. False when the
// call fails.
bool QueryProcessTable(std::vector<TListedProcess>& processes) {
    EnsureImagePathApi();
    TNtQuerySystemInformation query = ImagePathApi().NtQuerySystemInformation;
    if (!query) return false;
    // The size that held the table the last time: it grows with the machine.
    static ULONG capacity = 256u << 10;
    std::unique_ptr<ULONGLONG[]> buffer;
    for (int attempt = 0; attempt < 5; ++attempt) {
        buffer.reset(new ULONGLONG[capacity / sizeof(ULONGLONG)]);
        ULONG needed = 0;
        LONG status = query(kSystemProcessInformation, buffer.get(), capacity, &needed);
        if (status == kInfoLengthMismatch) {
            ULONG grown = std::max<ULONG>(capacity * 2, needed + needed / 4);
            if (grown > kLargestProcessTable || grown <= capacity) return false;
            capacity = grown;
            continue;
        }
        if (status < 0) return false;
        const auto* begin = reinterpret_cast<const std::uint8_t*>(buffer.get());
        const std::uint8_t* end = begin + capacity;
        const size_t known = offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId) + sizeof(HANDLE);
        for (size_t offset = 0; offset + known <= capacity;) {
            SYSTEM_PROCESS_INFORMATION record{};
            std::memcpy(&record, begin + offset, std::min<size_t>(sizeof record, capacity - offset));
            processes.push_back({static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record.UniqueProcessId)),
                                 record.CreateTime.QuadPart, RecordName(record.ImageName, begin, end)});
            if (record.NextEntryOffset == 0) break;
            offset += record.NextEntryOffset;
        }
        return true;
    }
    return false;
}

// The paths found at the last enumeration with paths, by process id and
// creation time.
using TProcessKey = std::pair<DWORD, LONGLONG>;
std::map<TProcessKey, std::string>& KnownPaths() {
    static std::map<TProcessKey, std::string> paths;
    return paths;
}

// The path of a process not seen before, by the strongest source, and only
// when it is that process's.
std::string PathOfNewProcess(const TListedProcess& process, TDriveDevices& drives) {
    bool otherProcess = false;
    std::string path = LimitedImagePath(process.Id, &process.CreateTime, &otherProcess);
    if (path.empty() && !otherProcess) {
        path = ImagePathById(process.Id, drives);
        // No handle holds the process here: a path of another file names another process.
        if (!path.empty() && !process.Name.empty() && !widgets::SameTextIgnoringCase(FileNamePart(path), process.Name))
            path.clear();
    }
    return path;
}

bool ProcessesBySystemInformation(TStringList& list, bool fullPaths) {
    std::vector<TListedProcess> processes;
    if (!QueryProcessTable(processes)) return false;
    std::map<TProcessKey, std::string>& known = KnownPaths();
    std::map<TProcessKey, std::string> seen;
    TDriveDevices drives;
    for (const TListedProcess& process : processes) {
        std::string text;
        if (process.Id == 0) {
            text = SystemIdleProcessName();
        } else if (fullPaths) {
            TProcessKey key{process.Id, process.CreateTime};
            auto found = known.find(key);
            std::string path = found != known.end() ? std::move(found->second) : PathOfNewProcess(process, drives);
            // A process that gives no path (yet) is asked again next time.
            if (!path.empty()) text = seen.emplace(key, std::move(path)).first->second;
            else text = process.Name;
        } else {
            text = process.Name;
        }
        list.push_back({text, process.Id});
    }
    // Ended processes are forgotten; their ids may come again.
    if (fullPaths) known.swap(seen);
    return true;
}

bool ProcessesBySnapshot(TStringList& list, bool fullPaths) {
    UniqueFileHandle snapshot(CallCreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W record{};
    record.dwSize = sizeof record;
    const TStartupFlags& flags = StartupFlags();
    TDriveDevices drives;
    for (BOOL more = CallProcess32(ToolHelpApi().Process32FirstW, snapshot.get(), &record); more;
         more = CallProcess32(ToolHelpApi().Process32NextW, snapshot.get(), &record)) {
        DWORD pid = record.th32ProcessID;
        std::string exeFile = Utf8UpToNul(record.szExeFile, MAX_PATH);
        std::string text;
        if (pid == 0) {
            text = SystemIdleProcessName();
        } else if (flags.IsNt5x || flags.ReadsImagePaths) {
            // The snapshot names the file only: what is left when no source gives the path.
            text = ImageName(pid, fullPaths, drives);
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
    TDriveDevices drives;
    for (DWORD i = 0; i < count; ++i) {
        std::string text;
        if (ids[i] == 0) text = SystemIdleProcessName();
        else if (ids[i] == 2 && StartupFlags().IsNt4) text = SystemProcessName();
        else text = ImageName(ids[i], fullPaths, drives);
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
bool WalkModuleSnapshot(DWORD processId, DWORD flags, Visit visit) {
    UniqueFileHandle snapshot(CallCreateToolhelp32Snapshot(flags, processId));
    if (!snapshot) return false;
    MODULEENTRY32W record{};
    record.dwSize = sizeof record;
    for (BOOL more = CallModule32(ToolHelpApi().Module32FirstW, snapshot.get(), &record); more;
         more = CallModule32(ToolHelpApi().Module32NextW, snapshot.get(), &record)) {
        visit(record);
        // A record filled only in part must not show the last one's path.
        std::memset(record.szExePath, 0, sizeof record.szExePath);
    }
    return true;
}

// From a 64-bit program the 32-bit modules of a 32-bit process come only
// when asked for.
#ifdef _WIN64
const DWORD kAllModules = TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32;
#else
const DWORD kAllModules = TH32CS_SNAPMODULE;
#endif

// Module paths by base address from one module snapshot: one walk of the
// target's loader list, where reading each path on its own walks the list
// once per module. A path that may have been cut to the snapshot's record
// is not taken.
class TModulePaths {
public:
    explicit TModulePaths(DWORD processId) {
        WalkModuleSnapshot(processId, kAllModules, [this](const MODULEENTRY32W& record) {
            size_t length = 0;
            while (length < MAX_PATH && record.szExePath[length]) ++length;
            // A path as long as the record may have been cut to it.
            if (length > 0 && length < MAX_PATH - 1)
                paths_.push_back({reinterpret_cast<std::uintptr_t>(record.modBaseAddr), Utf8(record.szExePath, length)});
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
    std::string path = ModuleFileName(process, module);
    if (!path.empty()) list.push_back({std::move(path), base});
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
    return WalkModuleSnapshot(processId, TH32CS_SNAPMODULE, [&](const MODULEENTRY32W& record) {
        list.push_back({handlesOnly ? std::string() : Utf8UpToNul(record.szExePath, MAX_PATH),
                        reinterpret_cast<std::uintptr_t>(record.hModule)});
    });
}

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
    HMODULE library = LoadLibraryW(L"PSAPI.dll");
    if (reinterpret_cast<UINT_PTR>(library) < 32) return false;
    api.Library = library;
    api.EnumProcesses = Resolve<TEnumProcesses>(library, "EnumProcesses");
    api.EnumProcessModules = Resolve<TEnumProcessModules>(library, "EnumProcessModules");
    api.EnumProcessModulesEx = Resolve<TEnumProcessModulesEx>(library, "EnumProcessModulesEx");
    api.GetModuleBaseNameW = Resolve<TGetModuleBaseNameW>(library, "GetModuleBaseNameW");
    api.GetModuleFileNameExW = Resolve<TGetModuleFileNameExW>(library, "GetModuleFileNameExW");
    api.GetModuleInformation = Resolve<TGetModuleInformation>(library, "GetModuleInformation");
    return true;
}

bool EnsureToolHelp() {
    TToolHelpApi& api = ToolHelpApi();
    if (!api.Resolved) {
        api.Resolved = true;
        api.Kernel = GetModuleHandleW(L"kernel32.dll");
        if (api.Kernel) {
            api.CreateToolhelp32Snapshot = Resolve<TCreateToolhelp32Snapshot>(api.Kernel, "CreateToolhelp32Snapshot");
            api.Process32FirstW = Resolve<TProcess32FirstW>(api.Kernel, "Process32FirstW");
            api.Process32NextW = Resolve<TProcess32FirstW>(api.Kernel, "Process32NextW");
            api.Module32FirstW = Resolve<TModule32FirstW>(api.Kernel, "Module32FirstW");
            api.Module32NextW = Resolve<TModule32FirstW>(api.Kernel, "Module32NextW");
        }
    }
    return api.Kernel && api.CreateToolhelp32Snapshot;
}

TImagePathApi& ImagePathApi() {
    static TImagePathApi api;
    return api;
}

void EnsureImagePathApi() {
    TImagePathApi& api = ImagePathApi();
    if (api.Resolved) return;
    api.Resolved = true;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (kernel) {
        api.QueryFullProcessImageNameW = Resolve<TQueryFullProcessImageNameW>(kernel, "QueryFullProcessImageNameW");
        api.QueryDosDeviceW = Resolve<TQueryDosDeviceW>(kernel, "QueryDosDeviceW");
    }
    if (ntdll) api.NtQuerySystemInformation = Resolve<TNtQuerySystemInformation>(ntdll, "NtQuerySystemInformation");
    api.OpenProcess = ::OpenProcess;
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
    const TOsVersion& version = OsVersion();
    if (version.PlatformId == VER_PLATFORM_WIN32_NT && version.Major >= 6 &&
        ProcessesBySystemInformation(list, fullPaths))
        return true;
    // Where the one call fails, the snapshot lists them as on older systems.
    return ProcessesBySnapshot(list, fullPaths);
}

std::string ProcessImageName(DWORD processId, bool fullPaths) {
    TDriveDevices drives;
    return ImageName(processId, fullPaths, drives);
}

std::string DrivePathOfDevicePath(const std::string& devicePath) {
    TDriveDevices drives;
    return drives.DrivePath(devicePath);
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
    wchar_t buffer[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(buffer, &size)) return {};
    return Utf8UpToNul(buffer, 257);
}

DWORD ProcessIdOfName(const std::string& nameOrPath) {
    TStringList list;
    if (!ListProcesses(list, HasDirectoryPart(nameOrPath))) return 0xFFFFFFFF;
    return FindProcessId(list, nameOrPath);
}

DWORD FindProcessId(const TStringList& processes, const std::string& nameOrPath) {
    for (const auto& entry : processes)
        if (widgets::SameTextIgnoringCase(entry.Text, nameOrPath)) return static_cast<DWORD>(entry.Data);
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
    if (!IsWindowVisible(window) || IsWindowCloaked(window)) return false;
    HWND owner = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_HWNDPARENT));
    if (owner && owner != GetDesktopWindow()) return false;
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    return !(exStyle & WS_EX_TOOLWINDOW) || (exStyle & WS_EX_APPWINDOW);
}

TDwmGetWindowAttribute& DwmGetWindowAttributeEntry() {
    static TDwmGetWindowAttribute entry =
        reinterpret_cast<TDwmGetWindowAttribute>(widgets::DwmapiLibrary().Find("DwmGetWindowAttribute"));
    return entry;
}

bool IsWindowCloaked(HWND window) {
    TDwmGetWindowAttribute query = DwmGetWindowAttributeEntry();
    const DWORD kCloaked = 14;  // DWMWA_CLOAKED
    DWORD cloaked = 0;
    return query && SUCCEEDED(query(window, kCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
}

std::uint8_t MemoryLoadPercent() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return static_cast<std::uint8_t>(status.dwMemoryLoad);
}

TNtQueryInformationProcess& NtQueryInformationProcessEntry() {
    static TNtQueryInformationProcess entry = reinterpret_cast<TNtQueryInformationProcess>(
        widgets::NtdllLibrary().Find("NtQueryInformationProcess"));
    return entry;
}

bool IsCriticalProcess(DWORD processId) {
    const ULONG kProcessBreakOnTermination = 29;
    TNtQueryInformationProcess query = NtQueryInformationProcessEntry();
    if (!query) return false;
    // The least rights first (all that a protected process grants; they
    // answer from 8.1 on), then the query rights of the systems before.
    for (DWORD access : {kQueryLimited, static_cast<DWORD>(PROCESS_QUERY_INFORMATION)}) {
        UniqueKernelHandle process(OpenProcess(access, FALSE, processId));
        ULONG breakOnTermination = 0;
        if (process && query(process.get(), kProcessBreakOnTermination, &breakOnTermination,
                             sizeof breakOnTermination, nullptr) >= 0)
            return breakOnTermination != 0;
    }
    return false;
}
