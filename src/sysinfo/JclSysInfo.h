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
using TGetModuleBaseNameW = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using TGetModuleFileNameExW = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using TGetModuleInformation = BOOL(WINAPI*)(HANDLE, HMODULE, MODULEINFO*, DWORD);
using TCreateToolhelp32Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
using TProcess32FirstW = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
using TModule32FirstW = BOOL(WINAPI*)(HANDLE, MODULEENTRY32W*);
using TQueryFullProcessImageNameW = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using TNtQuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using TQueryDosDeviceW = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
using TOpenProcess = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);

struct TProcessStatusApi {
    HMODULE Library = nullptr;
    TEnumProcesses EnumProcesses = nullptr;
    TEnumProcessModules EnumProcessModules = nullptr;
    TEnumProcessModulesEx EnumProcessModulesEx = nullptr;
    TGetModuleBaseNameW GetModuleBaseNameW = nullptr;
    TGetModuleFileNameExW GetModuleFileNameExW = nullptr;
    TGetModuleInformation GetModuleInformation = nullptr;
};

struct TToolHelpApi {
    bool Resolved = false;  // the first resolution is not retried
    HMODULE Kernel = nullptr;
    TCreateToolhelp32Snapshot CreateToolhelp32Snapshot = nullptr;
    TProcess32FirstW Process32FirstW = nullptr;
    TProcess32FirstW Process32NextW = nullptr;
    TModule32FirstW Module32FirstW = nullptr;
    TModule32FirstW Module32NextW = nullptr;
};

// The processes and their image paths from NT 6 on: every process's id,
// name and creation time in one call (NtQuerySystemInformation), and a
// path through a handle that asks for the least a process can grant
// (opened by OpenProcess), or by its id without a handle (a path of the
// kernel's own devices, mapped to a drive).
struct TImagePathApi {
    bool Resolved = false;
    TQueryFullProcessImageNameW QueryFullProcessImageNameW = nullptr;
    TNtQuerySystemInformation NtQuerySystemInformation = nullptr;
    TQueryDosDeviceW QueryDosDeviceW = nullptr;
    TOpenProcess OpenProcess = nullptr;
};

TProcessStatusApi& ProcessStatusApi();
TToolHelpApi& ToolHelpApi();
TImagePathApi& ImagePathApi();
bool EnsureProcessStatusLibrary();
bool EnsureToolHelp();
void EnsureImagePathApi();

// ---------------------------------------------------------------- processes
// Appends one entry per running process (text: executable path or name,
// value: process id). False when the enumeration could not start. From NT 6
// on one call lists the processes, and a path is asked only for a process
// not seen at the last enumeration with paths: a process is known by its id
// and creation time, and keeps its path while it runs.
bool ListProcesses(TStringList& list, bool fullPaths);
// The process's executable path (or name), from the strongest source the
// system allows; empty when none gives it. From NT 6 on: the path through a
// handle with limited query rights, else the path the system gives by id.
std::string ProcessImageName(DWORD processId, bool fullPaths);
// A path of the kernel's devices ("\Device\HarddiskVolume2\...") as a
// path of the drive that device is mounted as, or of the network share;
// empty when no drive maps it.
std::string DrivePathOfDevicePath(const std::string& devicePath);
// How many enumerations ListProcesses has made in this process.
unsigned long ProcessEnumerationCount();

// ------------------------------------------------------------------ modules
// Appends one entry per module of the process (text: file path, or empty
// when handlesOnly; value: base address). False when the modules cannot be
// read, with the reason in the calling thread's last error.
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
// A window the system keeps from view although it counts as visible (a
// suspended store app's, one on another virtual desktop). Asked of the
// desktop window manager where there is one; a failed question means no.
bool IsWindowCloaked(HWND window);
using TDwmGetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
// The entry point, resolved on first use; tests may set their own.
TDwmGetWindowAttribute& DwmGetWindowAttributeEntry();
std::uint8_t MemoryLoadPercent();

// A process that Windows marks critical (its break-on-termination flag):
// when it ends, the system stops at once (CRITICAL_PROCESS_DIED). False when
// the system does not tell.
bool IsCriticalProcess(DWORD processId);
using TNtQueryInformationProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
// The entry point, resolved on first use; tests may set their own.
TNtQueryInformationProcess& NtQueryInformationProcessEntry();
