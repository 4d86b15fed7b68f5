// The process and module lists and the process queries, against the real
// system and, through the entry-point tables, against a system that answers
// as older versions or failing calls would. Processes that cannot be read
// and module lists of processes that have just ended are tested through the
// window in Robustness.
#include "support/TestSupport.h"
#include "sysinfo/JclSysInfo.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

using testing_support::ChildExe;
using testing_support::ChildProcess;
using testing_support::WaitForWindow;

namespace {

std::string OwnPath() {
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return buffer;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

using Entries = std::vector<std::pair<std::string, std::uintptr_t>>;

Entries EntriesOf(const TStringList& list, bool upperCase = false) {
    Entries entries;
    for (const auto& entry : list) entries.emplace_back(upperCase ? Upper(entry.Text) : entry.Text, entry.Data);
    return entries;
}

// Restores the real system after a test has substituted parts of it.
class SystemSeams : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureToolHelp();
        EnsureProcessStatusLibrary();
        EnsureImagePathApi();
        savedVersion_ = OsVersion();
        savedToolHelp_ = ToolHelpApi();
        savedStatus_ = ProcessStatusApi();
        savedImagePath_ = ImagePathApi();
    }
    void TearDown() override {
        OsVersion() = savedVersion_;
        ComputeStartupFlags();
        ToolHelpApi() = savedToolHelp_;
        ProcessStatusApi() = savedStatus_;
        ImagePathApi() = savedImagePath_;
    }
    void UseVersion(DWORD platform, DWORD major, DWORD minor) {
        OsVersion() = {platform, major, minor};
        ComputeStartupFlags();
    }

private:
    TOsVersion savedVersion_{};
    TToolHelpApi savedToolHelp_{};
    TProcessStatusApi savedStatus_{};
    TImagePathApi savedImagePath_{};
};

// A fake process snapshot: the records it walks.
std::vector<PROCESSENTRY32W> fakeRecords;
size_t fakeNext = 0;
HANDLE WINAPI FakeSnapshot(DWORD, DWORD) { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
HANDLE WINAPI RefuseSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
BOOL WINAPI FakeNext(HANDLE, PROCESSENTRY32W* record) {
    if (fakeNext >= fakeRecords.size()) return FALSE;
    *record = fakeRecords[fakeNext++];
    return TRUE;
}
BOOL WINAPI FakeFirst(HANDLE snapshot, PROCESSENTRY32W* record) {
    fakeNext = 0;
    return FakeNext(snapshot, record);
}
PROCESSENTRY32W Record(DWORD pid, const wchar_t* exeFile) {
    PROCESSENTRY32W record{};
    record.dwSize = sizeof record;
    record.th32ProcessID = pid;
    std::wcsncpy(record.szExeFile, exeFile, MAX_PATH - 1);
    return record;
}

LONG WINAPI RefuseQuery(ULONG, PVOID, ULONG, PULONG) { return static_cast<LONG>(0xC0000001); }

std::vector<DWORD> fakeIds;
BOOL WINAPI FakeEnumProcesses(DWORD* ids, DWORD size, DWORD* bytes) {
    DWORD count = std::min<DWORD>(static_cast<DWORD>(fakeIds.size()), size / sizeof(DWORD));
    std::copy(fakeIds.begin(), fakeIds.begin() + count, ids);
    *bytes = count * sizeof(DWORD);
    return TRUE;
}

// A new window process goes on loading libraries for a while after its
// window shows; comparisons wait until its module list stays the same.
void WaitForSettledModules(DWORD processId) {
    size_t last = 0;
    int stable = 0;
    for (int i = 0; i < 100 && stable < 4; ++i) {
        TStringList modules;
        ListProcessModules(modules, processId, true);
        stable = modules.size() == last ? stable + 1 : 0;
        last = modules.size();
        Sleep(100);
    }
}

BOOL WINAPI RefuseModules(HANDLE, HMODULE*, DWORD, DWORD*) { return FALSE; }
BOOL WINAPI RefuseModulesEx(HANDLE, HMODULE*, DWORD, DWORD*, DWORD) { return FALSE; }

// The modules as the per-module process-status calls give them: the
// handles of EnumProcessModulesEx, each module's base address from
// GetModuleInformation and its path from GetModuleFileNameExA.
Entries ModulesByPerModuleCalls(DWORD processId) {
    Entries entries;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    DWORD needed = 0;
    if (!process || !EnumProcessModulesEx(process, nullptr, 0, &needed, LIST_MODULES_ALL)) return entries;
    std::vector<HMODULE> modules(needed / sizeof(HMODULE));
    if (EnumProcessModulesEx(process, modules.data(), needed, &needed, LIST_MODULES_ALL)) {
        for (HMODULE module : modules) {
            MODULEINFO info{};
            char path[MAX_PATH + 1] = {};
            if (GetModuleInformation(process, module, &info, sizeof info) &&
                GetModuleFileNameExA(process, module, path, sizeof path) > 0)
                entries.emplace_back(path, reinterpret_cast<std::uintptr_t>(info.lpBaseOfDll));
        }
    }
    CloseHandle(process);
    return entries;
}

// The real entry points, called through counting ones; some records of the
// module snapshot are spoiled on request.
TProcessStatusApi realStatus;
TToolHelpApi realToolHelp;
int enumerationCalls = 0, informationCalls = 0, fileNameCalls = 0;
DWORD pretendedExtraModules = 0;
size_t recordIndex = 0;

BOOL WINAPI CountedModulesEx(HANDLE process, HMODULE* modules, DWORD size, DWORD* needed, DWORD filter) {
    ++enumerationCalls;
    BOOL ok = realStatus.EnumProcessModulesEx(process, modules, size, needed, filter);
    // As if the process had loaded many more modules than the buffer holds.
    if (ok && enumerationCalls == 1) *needed += pretendedExtraModules * sizeof(HMODULE);
    return ok;
}
BOOL WINAPI CountedInformation(HANDLE process, HMODULE module, MODULEINFO* info, DWORD size) {
    ++informationCalls;
    return realStatus.GetModuleInformation(process, module, info, size);
}
DWORD WINAPI CountedFileName(HANDLE process, HMODULE module, LPWSTR buffer, DWORD size) {
    ++fileNameCalls;
    return realStatus.GetModuleFileNameExW(process, module, buffer, size);
}
// Record 3 at another base, record 5 with a path cut to the record's size,
// record 8 with no path.
BOOL Spoil(BOOL ok, MODULEENTRY32W* record) {
    if (!ok) return ok;
    if (recordIndex == 3) record->modBaseAddr += 0x1000;
    if (recordIndex == 5) {
        std::wmemset(record->szExePath, L'x', MAX_PATH - 1);
        record->szExePath[MAX_PATH - 1] = 0;
    }
    if (recordIndex == 8) record->szExePath[0] = 0;
    ++recordIndex;
    return ok;
}
BOOL WINAPI SpoiledFirst(HANDLE snapshot, MODULEENTRY32W* record) {
    recordIndex = 0;
    return Spoil(realToolHelp.Module32FirstW(snapshot, record), record);
}
BOOL WINAPI SpoiledNext(HANDLE snapshot, MODULEENTRY32W* record) {
    return Spoil(realToolHelp.Module32NextW(snapshot, record), record);
}

// The system as Windows answers for a process that grants nothing: its
// image path by id, on the kernel's device that drive Z: stands for.
DWORD sealedId = 0;
std::wstring sealedDevicePath;
LONG WINAPI ProcessIdInformation(ULONG infoClass, PVOID info, ULONG, PULONG) {
    struct Answer {
        HANDLE ProcessId;
        USHORT Length;
        USHORT MaximumLength;
        PWSTR Buffer;
    }* answer = static_cast<Answer*>(info);
    if (infoClass != 88 || answer->ProcessId != reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(sealedId)))
        return static_cast<LONG>(0xC0000001);
    USHORT bytes = static_cast<USHORT>(sealedDevicePath.size() * sizeof(wchar_t));
    // Too little room: the system says how much it needs.
    if (answer->MaximumLength < bytes) {
        answer->MaximumLength = bytes;
        return static_cast<LONG>(0xC0000004);
    }
    std::wmemcpy(answer->Buffer, sealedDevicePath.data(), sealedDevicePath.size());
    answer->Length = bytes;
    return 0;
}
DWORD WINAPI DosDevice(LPCWSTR drive, LPWSTR target, DWORD size) {
    std::wstring device = std::wstring(drive) == L"Z:" ? L"\\Device\\HarddiskVolume7" : L"\\Device\\Other";
    if (size < device.size() + 2) return 0;
    std::wmemcpy(target, device.c_str(), device.size() + 1);
    target[device.size() + 1] = 0;
    return static_cast<DWORD>(device.size() + 2);
}
std::string ListedText(DWORD processId) {
    TStringList list;
    ListProcesses(list, true);
    for (const auto& entry : list)
        if (entry.Data == processId) return entry.Text;
    return "<not listed>";
}

}  // namespace

// A process that refuses every access shows the path the system gives by
// its id, mapped from the kernel's device to its drive; where the system
// does not give it (Wine) only its name is left. A process that grants the
// least query rights shows its path in any case.
TEST_F(SystemSeams, ProcessesThatRefuseAccessAreNamedByTheStrongestSourceTheSystemAllows) {
    ChildProcess limited(ChildExe("WindowChild"), "--none", L"D:(A;;0x101000;;;WD)");
    ChildProcess sealed(ChildExe("WindowChild"), "--none", L"D:");
    limited.WaitIdle();
    sealed.WaitIdle();
    ASSERT_EQ(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, sealed.Id()), nullptr);
    EXPECT_EQ(Upper(ListedText(limited.Id())), Upper(ChildExe("WindowChild")));
    EXPECT_EQ(ListedText(sealed.Id()), "WindowChild.exe");

    sealedId = sealed.Id();
    // Longer than the first buffer, so that it is asked again.
    const std::string path = ChildExe("WindowChild");
    std::string padded = path.substr(2);
    while (padded.size() < 400) padded = "\\." + padded;
    sealedDevicePath = widgets::Utf16("\\Device\\HarddiskVolume7" + padded);
    ImagePathApi().NtQuerySystemInformation = ProcessIdInformation;
    ImagePathApi().QueryDosDeviceW = DosDevice;
    EXPECT_EQ(ListedText(sealed.Id()), "Z:" + padded);
    EXPECT_EQ(DrivePathOfDevicePath("\\Device\\HarddiskVolume7\\Tools\\a.exe"), "Z:\\Tools\\a.exe");
    EXPECT_EQ(DrivePathOfDevicePath("\\Device\\HarddiskVolume70\\a.exe"), "");
    EXPECT_EQ(DrivePathOfDevicePath("\\Device\\Mup\\server\\share\\a.exe"), "\\\\server\\share\\a.exe");

    // As a network drive's redirector names a file: the drive's path, or the
    // file name where no drive is named.
    sealedDevicePath = L"\\Device\\Mup\\;LanmanRedirector\\;Y:00000000000a3f1c\\server\\share\\Apps\\tool.exe";
    EXPECT_EQ(ListedText(sealed.Id()), "Y:\\Apps\\tool.exe");
    EXPECT_EQ(DrivePathOfDevicePath("\\Device\\LanmanRedirector\\;X:0000000000003e7\\srv\\s\\d\\a.exe"), "X:\\d\\a.exe");
    EXPECT_EQ(DrivePathOfDevicePath("\\Device\\Mup\\;WebDavRedirector\\srv\\s\\a.exe"), "a.exe");
}

TEST_F(SystemSeams, VersionClassFollowsTheTableAndTheFlagsFollowTheClass) {
    const DWORD nt = VER_PLATFORM_WIN32_NT, w9x = VER_PLATFORM_WIN32_WINDOWS;
    struct Case {
        TOsVersion version;
        TWindowsVersion kind;
        bool nt4, nt5x, readsImagePaths;
    } cases[] = {
        {{nt, 3, 1}, TWindowsVersion::Nt3, false, false, false},
        {{nt, 3, 51}, TWindowsVersion::Nt3, false, false, false},
        {{nt, 3, 2}, TWindowsVersion::Unknown, false, false, false},
        {{nt, 4, 90}, TWindowsVersion::Nt4, true, false, false},
        {{nt, 5, 0}, TWindowsVersion::Nt50, false, true, true},
        {{nt, 5, 2}, TWindowsVersion::Nt52, false, true, true},
        {{nt, 5, 3}, TWindowsVersion::Unknown, false, false, true},
        // Later NTs are Unknown to the table and still read image paths.
        {{nt, 6, 1}, TWindowsVersion::Unknown, false, false, true},
        {{w9x, 4, 90}, TWindowsVersion::Win9x, false, false, false},
        {{w9x, 4, 91}, TWindowsVersion::Unknown, false, false, false},
        {{0, 3, 1}, TWindowsVersion::Unknown, false, false, false},
    };
    for (const Case& c : cases) {
        std::string name = std::to_string(c.version.PlatformId) + " " + std::to_string(c.version.Major) + "." +
                           std::to_string(c.version.Minor);
        EXPECT_EQ(WindowsVersionClassOf(c.version), c.kind) << name;
        UseVersion(c.version.PlatformId, c.version.Major, c.version.Minor);
        EXPECT_EQ(StartupFlags().PlatformIsNt, c.version.PlatformId == nt) << name;
        EXPECT_EQ(StartupFlags().IsNt4, c.nt4) << name;
        EXPECT_EQ(StartupFlags().IsNt5x, c.nt5x) << name;
        EXPECT_EQ(StartupFlags().ReadsImagePaths, c.readsImagePaths) << name;
    }
}

// On NT from 5 on the texts come through a process handle; a process that
// cannot be opened keeps the snapshot's text as it is, not cut to its name.
// Elsewhere the snapshot's text is the path, cut for names. From NT 6 on the
// snapshot is taken where the one call of every process fails.
TEST_F(SystemSeams, SnapshotStrategyNamesTheIdleProcessAndFallsBackToTheSnapshotText) {
    const DWORD self = GetCurrentProcessId(), gone = 0x7FFFFFF0;
    fakeRecords = {Record(0, L"[System Process]"), Record(self, L"C:\\APPS\\TOOL.EXE"),
                   Record(gone, L"C:\\gone\\vanished.exe")};
    ImagePathApi().NtQuerySystemInformation = RefuseQuery;
    ToolHelpApi().CreateToolhelp32Snapshot = FakeSnapshot;
    ToolHelpApi().Process32FirstW = FakeFirst;
    ToolHelpApi().Process32NextW = FakeNext;
    struct Case {
        DWORD platform, major;
        bool fullPaths;
        std::string selfText;
        const char* goneText;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, 6, false, "JCLSYSINFO_TEST.EXE", "C:\\GONE\\VANISHED.EXE"},
        {VER_PLATFORM_WIN32_NT, 6, true, Upper(OwnPath()), "C:\\GONE\\VANISHED.EXE"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, true, "C:\\APPS\\TOOL.EXE", "C:\\GONE\\VANISHED.EXE"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, false, "TOOL.EXE", "VANISHED.EXE"},
    };
    for (const Case& c : cases) {
        UseVersion(c.platform, c.major, 10);
        TStringList list;
        ASSERT_TRUE(ListProcesses(list, c.fullPaths));
        EXPECT_EQ(EntriesOf(list, true),
                  (Entries{{"SYSTEM IDLE PROCESS", 0}, {c.selfText, self}, {c.goneText, gone}}))
            << c.platform << " " << c.fullPaths;
    }
    EXPECT_EQ(ProcessIdOfName("system idle process"), 0u);

    ToolHelpApi().CreateToolhelp32Snapshot = RefuseSnapshot;
    TStringList kept{{"kept", 1}};
    EXPECT_FALSE(ListProcesses(kept, true));
    EXPECT_EQ(kept.size(), 1u);
    EXPECT_EQ(ProcessIdOfName("system idle process"), 0xFFFFFFFFu);
}

// NT 3 and 4: ids 0 and (on NT 4) 2 are named, processes without a name
// are left out, and no more ids than the buffer holds are listed.
TEST_F(SystemSeams, ProcessStatusStrategyNamesTheSystemAndOmitsTheUnnamed) {
    ProcessStatusApi().EnumProcesses = FakeEnumProcesses;
    UseVersion(VER_PLATFORM_WIN32_NT, 4, 0);
    fakeIds = {0, 2, GetCurrentProcessId(), 0x7FFFFFF0};
    TStringList list;
    ASSERT_TRUE(ListProcesses(list, true));
    EXPECT_EQ(EntriesOf(list, true), (Entries{{"SYSTEM IDLE PROCESS", 0},
                                              {"SYSTEM PROCESS", 2},
                                              {Upper(OwnPath()), GetCurrentProcessId()}}));

    UseVersion(VER_PLATFORM_WIN32_NT, 3, 51);
    fakeIds.assign(2000, 0);
    list.clear();
    ASSERT_TRUE(ListProcesses(list, false));
    EXPECT_EQ(list.size(), 1025u);
}

// A started process with as many modules as a large application: its list
// comes from one enumeration and one module snapshot, not from calls per
// module, and matches what the per-module calls give, also when the
// snapshot disagrees, is refused, or the process outgrows the buffer.
TEST_F(SystemSeams, ModuleListOfAManyModuleProcessMatchesThePerModuleCallsWithoutThem) {
    ChildProcess child(ChildExe("ManyModules"));
    child.WaitIdle();
    WaitForSettledModules(child.Id());
    const Entries expected = ModulesByPerModuleCalls(child.Id());
    ASSERT_GE(expected.size(), 60u);
    EXPECT_EQ(Upper(expected.front().first), Upper(ChildExe("ManyModules")));

    realStatus = ProcessStatusApi();
    realToolHelp = ToolHelpApi();
    ProcessStatusApi().EnumProcessModulesEx = CountedModulesEx;
    ProcessStatusApi().GetModuleInformation = CountedInformation;
    ProcessStatusApi().GetModuleFileNameExW = CountedFileName;
    auto list = [&](bool handlesOnly) {
        enumerationCalls = informationCalls = fileNameCalls = 0;
        TStringList modules{{"earlier", 1}};
        EXPECT_TRUE(ListProcessModules(modules, child.Id(), handlesOnly));
        EXPECT_EQ(modules.front().Text, "earlier");
        modules.erase(modules.begin());
        return EntriesOf(modules);
    };

    pretendedExtraModules = 0;
    EXPECT_EQ(list(false), expected);
    EXPECT_EQ(enumerationCalls, 1);
    EXPECT_EQ(informationCalls + fileNameCalls, 0);

    Entries handles = expected;
    for (auto& entry : handles) entry.first.clear();
    EXPECT_EQ(list(true), handles);
    EXPECT_EQ(informationCalls + fileNameCalls, 0);

    ToolHelpApi().Module32FirstW = SpoiledFirst;
    ToolHelpApi().Module32NextW = SpoiledNext;
    pretendedExtraModules = 600;
    EXPECT_EQ(list(false), expected);
    // The buffer was grown once; the three spoiled records read their own paths.
    EXPECT_EQ(enumerationCalls, 2);
    EXPECT_EQ(fileNameCalls, 3);

    ToolHelpApi().CreateToolhelp32Snapshot = RefuseSnapshot;
    EXPECT_EQ(list(false), expected);
}

TEST_F(SystemSeams, MemoryWalkListsTheSameImagesInAddressOrder) {
    ChildProcess child(ChildExe("WindowChild"), "Walk");
    ASSERT_NE(WaitForWindow(child.Id(), "Walk"), nullptr);
    WaitForSettledModules(child.Id());
    TStringList byStatus;
    ASSERT_TRUE(ListProcessModules(byStatus, child.Id(), false));

    ProcessStatusApi().EnumProcessModules = RefuseModules;
    ProcessStatusApi().EnumProcessModulesEx = RefuseModulesEx;
    TStringList byWalk;
    ASSERT_TRUE(ListProcessModules(byWalk, child.Id(), false));

    std::sort(byStatus.begin(), byStatus.end(), [](const auto& a, const auto& b) { return a.Data < b.Data; });
    EXPECT_EQ(EntriesOf(byWalk, true), EntriesOf(byStatus, true));
}

// The real list carries full paths, or names: the lookup finds a process by
// its path in any letter case or by its name; of two instances of one file
// the first listed; 0xFFFFFFFF for what does not run.
TEST(ProcessIdOfName, FindsTheFirstListedProcessOfAPathOrName) {
    ChildProcess first(ChildExe("WindowChild"), "--none");
    ChildProcess second(ChildExe("WindowChild"), "--none");
    first.WaitIdle();
    second.WaitIdle();
    TStringList list{{"earlier", 1}};
    ASSERT_TRUE(ListProcesses(list, true));
    EXPECT_EQ(list.front().Text, "earlier");
    auto firstListed = std::find_if(list.begin(), list.end(), [&](const TStringListEntry& entry) {
        return entry.Data == first.Id() || entry.Data == second.Id();
    });
    ASSERT_NE(firstListed, list.end());
    const DWORD expected = static_cast<DWORD>(firstListed->Data);

    std::string path = ChildExe("WindowChild");
    EXPECT_EQ(ProcessIdOfName(Upper(path)), expected);
    EXPECT_EQ(ProcessIdOfName(Lower(path)), expected);
    EXPECT_EQ(ProcessIdOfName("windowchild.exe"), expected);
    EXPECT_EQ(ProcessIdOfName(OwnPath()), GetCurrentProcessId());
    EXPECT_EQ(ProcessIdOfName("JclSysInfo_test.exe"), GetCurrentProcessId());
    EXPECT_EQ(ProcessIdOfName("C:\\windows\\system32\\no-such-file.dll"), 0xFFFFFFFFu);

    // The same search in a list taken once, as the module rows use it.
    EXPECT_EQ(FindProcessId(list, Lower(path)), expected);
    EXPECT_EQ(FindProcessId(list, "C:\\windows\\system32\\no-such-file.dll"), 0xFFFFFFFFu);

    // Other files, which a language's rules take for the same name.
    const TStringList files{{"C:\\Tools\\Stra\xC3\x9F" "e.exe", 7}, {"C:\\Tools\\ab.exe", 8}};
    EXPECT_EQ(FindProcessId(files, "C:\\Tools\\Strasse.exe"), 0xFFFFFFFFu);
    EXPECT_EQ(FindProcessId(files, "C:\\Tools\\a\xC2\xAD" "b.exe"), 0xFFFFFFFFu);
}

TEST(MainWindowOfProcess, IsTheVisibleUnownedWindowThatIsNoToolWindow) {
    ChildProcess shown(ChildExe("WindowChild"), "Shown");
    ChildProcess hidden(ChildExe("WindowChild"), "Hidden --hidden");
    ChildProcess tool(ChildExe("WindowChild"), "Tool --tool");
    HWND window = WaitForWindow(shown.Id(), "Shown");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForWindow(tool.Id(), "Tool"), nullptr);
    hidden.WaitIdle();
    EXPECT_EQ(MainWindowOfProcess(shown.Id()), window);
    EXPECT_EQ(MainWindowOfProcess(hidden.Id()), nullptr);
    EXPECT_EQ(MainWindowOfProcess(tool.Id()), nullptr);
}

TEST(SystemQueries, GiveTheUserAndTheMemoryLoadInPercent) {
    EXPECT_FALSE(CurrentUserName().empty());
    EXPECT_LE(MemoryLoadPercent(), 100);
}
