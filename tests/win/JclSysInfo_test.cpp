#include "support/TestSupport.h"
#include "sysinfo/JclSysInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

const TStringListEntry* FindEntry(const TStringList& list, std::uintptr_t value) {
    for (const auto& entry : list)
        if (entry.Data == value) return &entry;
    return nullptr;
}

// Restores the real system after a test has substituted parts of it.
class SystemSeams : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureToolHelp();
        EnsureProcessStatusLibrary();
        savedVersion_ = OsVersion();
        savedToolHelp_ = ToolHelpApi();
        savedStatus_ = ProcessStatusApi();
    }
    void TearDown() override {
        OsVersion() = savedVersion_;
        ComputeStartupFlags();
        ToolHelpApi() = savedToolHelp_;
        ProcessStatusApi() = savedStatus_;
    }
    void UseVersion(DWORD platform, DWORD major, DWORD minor) {
        OsVersion() = {platform, major, minor};
        ComputeStartupFlags();
    }

private:
    TOsVersion savedVersion_{};
    TToolHelpApi savedToolHelp_{};
    TProcessStatusApi savedStatus_{};
};

// A fake snapshot: the records it walks.
std::vector<PROCESSENTRY32> fakeRecords;
size_t fakeNext = 0;
HANDLE WINAPI FakeSnapshot(DWORD, DWORD) { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
HANDLE WINAPI RefuseSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
BOOL WINAPI FakeFirst(HANDLE, PROCESSENTRY32* record) {
    fakeNext = 0;
    if (fakeRecords.empty()) return FALSE;
    *record = fakeRecords[fakeNext++];
    return TRUE;
}
BOOL WINAPI FakeNext(HANDLE, PROCESSENTRY32* record) {
    if (fakeNext >= fakeRecords.size()) return FALSE;
    *record = fakeRecords[fakeNext++];
    return TRUE;
}
PROCESSENTRY32 Record(DWORD pid, const char* exeFile) {
    PROCESSENTRY32 record{};
    record.dwSize = sizeof record;
    record.th32ProcessID = pid;
    std::strncpy(record.szExeFile, exeFile, sizeof record.szExeFile - 1);
    return record;
}

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

using Entries = std::vector<std::pair<std::string, std::uintptr_t>>;

Entries EntriesOf(const TStringList& list) {
    Entries entries;
    for (const auto& entry : list) entries.emplace_back(entry.Text, entry.Data);
    return entries;
}

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
DWORD WINAPI CountedFileName(HANDLE process, HMODULE module, LPSTR buffer, DWORD size) {
    ++fileNameCalls;
    return realStatus.GetModuleFileNameExA(process, module, buffer, size);
}
// Record 3 at another base, record 5 with a path cut to the record's size,
// record 8 with no path.
BOOL Spoil(BOOL ok, MODULEENTRY32* record) {
    if (!ok) return ok;
    if (recordIndex == 3) record->modBaseAddr += 0x1000;
    if (recordIndex == 5) {
        std::memset(record->szExePath, 'x', sizeof record->szExePath - 1);
        record->szExePath[sizeof record->szExePath - 1] = 0;
    }
    if (recordIndex == 8) record->szExePath[0] = 0;
    ++recordIndex;
    return ok;
}
BOOL WINAPI SpoiledFirst(HANDLE snapshot, MODULEENTRY32* record) {
    recordIndex = 0;
    return Spoil(realToolHelp.Module32First(snapshot, record), record);
}
BOOL WINAPI SpoiledNext(HANDLE snapshot, MODULEENTRY32* record) {
    return Spoil(realToolHelp.Module32Next(snapshot, record), record);
}

// A started process with as many modules as a large application, and the
// system's entry points replaced by counting ones.
class ManyModules : public SystemSeams {
protected:
    void SetUp() override {
        SystemSeams::SetUp();
        realStatus = ProcessStatusApi();
        realToolHelp = ToolHelpApi();
        enumerationCalls = informationCalls = fileNameCalls = 0;
        pretendedExtraModules = 0;
        ProcessStatusApi().EnumProcessModulesEx = CountedModulesEx;
        ProcessStatusApi().GetModuleInformation = CountedInformation;
        ProcessStatusApi().GetModuleFileNameExA = CountedFileName;
        child_.WaitIdle();
        WaitForSettledModules(child_.Id());
        enumerationCalls = informationCalls = fileNameCalls = 0;
        expected_ = ModulesByPerModuleCalls(child_.Id());
    }
    DWORD Id() const { return child_.Id(); }
    ChildProcess child_{ChildExe("ManyModules")};
    Entries expected_;
};

}  // namespace

TEST(WindowsVersionClass, FollowsTheClassTable) {
    const DWORD nt = VER_PLATFORM_WIN32_NT, w9x = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_EQ(WindowsVersionClassOf({nt, 3, 1}), TWindowsVersion::Nt3);
    EXPECT_EQ(WindowsVersionClassOf({nt, 3, 51}), TWindowsVersion::Nt3);
    EXPECT_EQ(WindowsVersionClassOf({nt, 3, 2}), TWindowsVersion::Unknown);
    EXPECT_EQ(WindowsVersionClassOf({nt, 4, 90}), TWindowsVersion::Nt4);
    EXPECT_EQ(WindowsVersionClassOf({nt, 5, 0}), TWindowsVersion::Nt50);
    EXPECT_EQ(WindowsVersionClassOf({nt, 5, 2}), TWindowsVersion::Nt52);
    EXPECT_EQ(WindowsVersionClassOf({nt, 5, 3}), TWindowsVersion::Unknown);
    EXPECT_EQ(WindowsVersionClassOf({nt, 6, 1}), TWindowsVersion::Unknown);
    EXPECT_EQ(WindowsVersionClassOf({w9x, 4, 90}), TWindowsVersion::Win9x);
    EXPECT_EQ(WindowsVersionClassOf({w9x, 4, 91}), TWindowsVersion::Unknown);
    EXPECT_EQ(WindowsVersionClassOf({0, 3, 1}), TWindowsVersion::Unknown);
}

TEST_F(SystemSeams, StartupFlagsReadImagePathsOnEveryNtFromFive) {
    UseVersion(VER_PLATFORM_WIN32_NT, 6, 1);
    EXPECT_TRUE(StartupFlags().PlatformIsNt);
    EXPECT_FALSE(StartupFlags().IsNt5x);
    EXPECT_TRUE(StartupFlags().ReadsImagePaths);
    UseVersion(VER_PLATFORM_WIN32_NT, 4, 0);
    EXPECT_TRUE(StartupFlags().IsNt4);
    EXPECT_FALSE(StartupFlags().ReadsImagePaths);
    UseVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    EXPECT_FALSE(StartupFlags().PlatformIsNt);
    EXPECT_FALSE(StartupFlags().ReadsImagePaths);
}

TEST(ListProcesses, ListsThisProcessWithItsFullPathAfterEarlierEntries) {
    TStringList list{{"earlier", 12345}};
    ASSERT_TRUE(ListProcesses(list, true));
    EXPECT_EQ(list.front().Text, "earlier");
    const TStringListEntry* self = FindEntry(list, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(Upper(self->Text), Upper(OwnPath()));

    TStringList names;
    ASSERT_TRUE(ListProcesses(names, false));
    self = FindEntry(names, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(Upper(self->Text), "JCLSYSINFO_TEST.EXE");
}

TEST_F(SystemSeams, SnapshotNamesIdleProcessAndFallsBackToTheSnapshotText) {
    UseVersion(VER_PLATFORM_WIN32_NT, 6, 1);
    fakeRecords = {Record(0, "[System Process]"), Record(GetCurrentProcessId(), "jclsysinfo_test.exe"),
                   Record(0x7FFFFFF0, "C:\\gone\\vanished.exe")};
    ToolHelpApi().CreateToolhelp32Snapshot = FakeSnapshot;
    ToolHelpApi().Process32First = FakeFirst;
    ToolHelpApi().Process32Next = FakeNext;

    TStringList list;
    ASSERT_TRUE(ListProcesses(list, false));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Text, "System Idle Process");
    EXPECT_EQ(list[0].Data, 0u);
    EXPECT_EQ(Upper(list[1].Text), "JCLSYSINFO_TEST.EXE");
    // A process that cannot be opened keeps the snapshot's text as it is,
    // not cut to its name.
    EXPECT_EQ(list[2].Text, "C:\\gone\\vanished.exe");
    EXPECT_EQ(list[2].Data, 0x7FFFFFF0u);
}

TEST_F(SystemSeams, SnapshotOnNineXTakesTheSnapshotTextAndCutsItForNames) {
    UseVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    fakeRecords = {Record(GetCurrentProcessId(), "C:\\APPS\\TOOL.EXE")};
    ToolHelpApi().CreateToolhelp32Snapshot = FakeSnapshot;
    ToolHelpApi().Process32First = FakeFirst;
    ToolHelpApi().Process32Next = FakeNext;
    TStringList paths, names;
    ASSERT_TRUE(ListProcesses(paths, true));
    ASSERT_TRUE(ListProcesses(names, false));
    EXPECT_EQ(paths.at(0).Text, "C:\\APPS\\TOOL.EXE");
    EXPECT_EQ(names.at(0).Text, "TOOL.EXE");
}

TEST_F(SystemSeams, SnapshotThatCannotBeTakenAppendsNothing) {
    ToolHelpApi().CreateToolhelp32Snapshot = RefuseSnapshot;
    TStringList list{{"kept", 1}};
    EXPECT_FALSE(ListProcesses(list, true));
    EXPECT_EQ(list.size(), 1u);
}

TEST_F(SystemSeams, ProcessStatusStrategyOnNtFourNamesSystemAndOmitsTheUnnamed) {
    UseVersion(VER_PLATFORM_WIN32_NT, 4, 0);
    fakeIds = {0, 2, GetCurrentProcessId(), 0x7FFFFFF0};
    ProcessStatusApi().EnumProcesses = FakeEnumProcesses;
    TStringList list;
    ASSERT_TRUE(ListProcesses(list, true));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Text, "System Idle Process");
    EXPECT_EQ(list[1].Text, "System Process");
    EXPECT_EQ(list[1].Data, 2u);
    EXPECT_EQ(Upper(list[2].Text), Upper(OwnPath()));
}

TEST_F(SystemSeams, ProcessStatusStrategyListsAtMostTheBuffersIds) {
    UseVersion(VER_PLATFORM_WIN32_NT, 3, 51);
    fakeIds.assign(2000, 0);
    ProcessStatusApi().EnumProcesses = FakeEnumProcesses;
    TStringList list;
    ASSERT_TRUE(ListProcesses(list, false));
    EXPECT_EQ(list.size(), 1025u);
}

TEST_F(ManyModules, ListsWhatThePerModuleCallsGiveWithOneEnumerationAndNoCallPerModule) {
    TStringList modules{{"earlier", 1}};
    ASSERT_TRUE(ListProcessModules(modules, Id(), false));
    EXPECT_EQ(modules.front().Text, "earlier");
    modules.erase(modules.begin());
    ASSERT_GE(expected_.size(), 60u);
    EXPECT_EQ(Upper(expected_.front().first), Upper(ChildExe("ManyModules")));
    EXPECT_EQ(EntriesOf(modules), expected_);
    EXPECT_EQ(enumerationCalls, 1);
    EXPECT_EQ(informationCalls, 0);
    EXPECT_EQ(fileNameCalls, 0);

    TStringList handles;
    ASSERT_TRUE(ListProcessModules(handles, Id(), true));
    ASSERT_EQ(handles.size(), expected_.size());
    for (size_t i = 0; i < handles.size(); ++i) {
        EXPECT_EQ(handles[i].Text, "");
        EXPECT_EQ(handles[i].Data, expected_[i].second);
    }
    EXPECT_EQ(informationCalls + fileNameCalls, 0);
}

TEST_F(ManyModules, ASnapshotThatDisagreesOrAnOutgrownBufferChangesNoEntry) {
    ToolHelpApi().Module32First = SpoiledFirst;
    ToolHelpApi().Module32Next = SpoiledNext;
    pretendedExtraModules = 600;
    TStringList modules;
    ASSERT_TRUE(ListProcessModules(modules, Id(), false));
    EXPECT_EQ(EntriesOf(modules), expected_);
    // The buffer was grown once; the three spoiled records read their own paths.
    EXPECT_EQ(enumerationCalls, 2);
    EXPECT_EQ(fileNameCalls, 3);

    ToolHelpApi().CreateToolhelp32Snapshot = RefuseSnapshot;
    modules.clear();
    ASSERT_TRUE(ListProcessModules(modules, Id(), false));
    EXPECT_EQ(EntriesOf(modules), expected_);
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

    auto sorted = byStatus;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.Data < b.Data; });
    ASSERT_EQ(byWalk.size(), sorted.size());
    for (size_t i = 0; i < byWalk.size(); ++i) {
        EXPECT_EQ(byWalk[i].Data, sorted[i].Data);
        EXPECT_EQ(Upper(byWalk[i].Text), Upper(sorted[i].Text));
    }
}

TEST(ListProcessModules, AProcessThatHasExitedGivesNothing) {
    DWORD id;
    {
        ChildProcess child(ChildExe("WindowChild"), "--none");
        id = child.Id();
    }
    TStringList list{{"kept", 1}};
    EXPECT_FALSE(ListProcessModules(list, id, false));
    EXPECT_EQ(list.size(), 1u);
}

TEST(ProcessIdOfName, FindsAChildByPathInOtherLetterCase) {
    ChildProcess child(ChildExe("WindowChild"), "--none");
    child.WaitIdle();
    EXPECT_EQ(ProcessIdOfName(Upper(ChildExe("WindowChild"))), child.Id());
    std::string lower = ChildExe("WindowChild");
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(ProcessIdOfName(lower), child.Id());
    EXPECT_EQ(ProcessIdOfName("C:\\windows\\system32\\no-such-file.dll"), 0xFFFFFFFFu);

    // The same search in a list taken once.
    TStringList listed;
    ASSERT_TRUE(ListProcesses(listed, true));
    EXPECT_EQ(FindProcessId(listed, lower), child.Id());
    EXPECT_EQ(FindProcessId(listed, "C:\\windows\\system32\\no-such-file.dll"), 0xFFFFFFFFu);
}

TEST(ProcessIdOfName, TwoInstancesOfOneFileGiveTheFirstListed) {
    ChildProcess first(ChildExe("WindowChild"), "--none");
    ChildProcess second(ChildExe("WindowChild"), "--none");
    first.WaitIdle();
    second.WaitIdle();
    TStringList list;
    ASSERT_TRUE(ListProcesses(list, true));
    DWORD firstListed = 0xFFFFFFFF;
    for (const auto& entry : list)
        if (entry.Data == first.Id() || entry.Data == second.Id()) {
            firstListed = static_cast<DWORD>(entry.Data);
            break;
        }
    EXPECT_EQ(ProcessIdOfName(ChildExe("WindowChild")), firstListed);
}

TEST_F(SystemSeams, ProcessIdOfIdleProcessNameIsZero) {
    fakeRecords = {Record(0, "[System Process]"), Record(8, "services.exe")};
    ToolHelpApi().CreateToolhelp32Snapshot = FakeSnapshot;
    ToolHelpApi().Process32First = FakeFirst;
    ToolHelpApi().Process32Next = FakeNext;
    EXPECT_EQ(ProcessIdOfName("system idle process"), 0u);
}

TEST(MainWindowOfProcess, FindsTheVisibleTopLevelWindowOnly) {
    ChildProcess shown(ChildExe("WindowChild"), "Shown");
    ChildProcess hidden(ChildExe("WindowChild"), "Hidden --hidden");
    ChildProcess tool(ChildExe("WindowChild"), "Tool --tool");
    HWND window = WaitForWindow(shown.Id(), "Shown");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(WaitForWindow(tool.Id(), "Tool"), nullptr);
    hidden.WaitIdle();
    EXPECT_EQ(MainWindowOfProcess(shown.Id()), window);
    EXPECT_TRUE(IsMainApplicationWindow(window));
    EXPECT_EQ(MainWindowOfProcess(hidden.Id()), nullptr);
    EXPECT_EQ(MainWindowOfProcess(tool.Id()), nullptr);
}

TEST(SystemQueries, UserNameAndMemoryLoad) {
    EXPECT_FALSE(CurrentUserName().empty());
    EXPECT_LE(MemoryLoadPercent(), 100);
}
