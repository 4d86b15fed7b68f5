// The running processes, the modules of one process, and small process and
// system queries. Both enumeration facilities (ToolHelp and PSAPI) are
// reached through entry points resolved by name at run time; the table of
// them is also the seam through which tests substitute the system.
#pragma once

#include <windows.h>
#include <tlhelp32.h>
#include <psapi.h>

#include <cstdint>
#include <string>
#include <vector>

// An ordered list of texts, each with one attached value: a process id, or
// a module's base address (pointer-sized).
struct TStringListEntry {
    std::string Text;
    std::uintptr_t Data;
};
using TStringList = std::vector<TStringListEntry>;

// ---------------------------------------------------------------- versions
enum class TWindowsVersion { Unknown, Win9x, Nt3, Nt4, Nt50, Nt51, Nt52 };

struct TOsVersion {
    DWORD PlatformId;
    DWORD Major;
    DWORD Minor;
};

TWindowsVersion WindowsVersionClassOf(const TOsVersion& version);
// The class of the running system (of OsVersion()).
TWindowsVersion WindowsVersionClass();

// The version the program found at start-up; tests may replace it and call
// ComputeStartupFlags again.
TOsVersion& OsVersion();

struct TStartupFlags {
    bool PlatformIsNt = false;
    bool IsNt4 = false;
    bool IsNt5x = false;
    // NT 5.0 and every later NT: full image paths are read through a process
    // handle. The class table calls NT 6 and later Unknown, and without this
    // they would show bare names.
    bool ReadsImagePaths = false;
};
const TStartupFlags& StartupFlags();
void ComputeStartupFlags();

// ---------------------------------------------------- resolved entry points
using TEnumProcesses = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using TEnumProcessModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using TEnumProcessModulesEx = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*, DWORD);
using TGetModuleBaseNameA = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using TGetModuleFileNameExA = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using TGetModuleInformation = BOOL(WINAPI*)(HANDLE, HMODULE, MODULEINFO*, DWORD);
using TCreateToolhelp32Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
using TProcess32First = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using TModule32First = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

struct TProcessStatusApi {
    HMODULE Library = nullptr;
    TEnumProcesses EnumProcesses = nullptr;
    TEnumProcessModules EnumProcessModules = nullptr;
    TEnumProcessModulesEx EnumProcessModulesEx = nullptr;
    TGetModuleBaseNameA GetModuleBaseNameA = nullptr;
    TGetModuleFileNameExA GetModuleFileNameExA = nullptr;
    TGetModuleInformation GetModuleInformation = nullptr;
};

struct TToolHelpApi {
    bool Resolved = false;  // the first resolution is not retried
    HMODULE Kernel = nullptr;
    TCreateToolhelp32Snapshot CreateToolhelp32Snapshot = nullptr;
    TProcess32First Process32First = nullptr;
    TProcess32First Process32Next = nullptr;
    TModule32First Module32First = nullptr;
    TModule32First Module32Next = nullptr;
};

TProcessStatusApi& ProcessStatusApi();
TToolHelpApi& ToolHelpApi();
bool EnsureProcessStatusLibrary();
bool EnsureToolHelp();

// ---------------------------------------------------------------- processes
// Appends one entry per running process (text: executable path or name,
// value: process id). False when the enumeration could not start.
bool ListProcesses(TStringList& list, bool fullPaths);
std::string ProcessImageName(DWORD processId, bool fullPaths);
// How many enumerations ListProcesses has made in this process.
unsigned long ProcessEnumerationCount();

// ------------------------------------------------------------------ modules
// Appends one entry per module of the process (text: file path, or empty
// when handlesOnly; value: base address).
bool ListProcessModules(TStringList& list, DWORD processId, bool handlesOnly);
void AddModuleEntry(TStringList& list, HANDLE process, HMODULE module, bool handlesOnly);

// ------------------------------------------------------------------ queries
std::string CurrentUserName();
// The id of the first process, in enumeration order, whose path (for a text
// with a directory part) or name equals the text without regard to case;
// 0xFFFFFFFF when there is none.
DWORD ProcessIdOfName(const std::string& nameOrPath);
// The same search in a list of processes taken before (as ListProcesses
// gives it), for texts of its kind (paths, or names).
DWORD FindProcessId(const TStringList& processes, const std::string& nameOrPath);
HWND MainWindowOfProcess(DWORD processId);
bool IsMainApplicationWindow(HWND window);
std::uint8_t MemoryLoadPercent();
