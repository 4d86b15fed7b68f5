// Shared fixtures for the tests that run under Wine: paths of the programs
// under test and child processes that the tests start and always end.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// The Windows form (Z:\...) of a path of the Linux build tree.
std::string WindowsPath(const std::string& unixPath);

// build/Ovrelle.exe, and build/children/<name>.exe.
std::string OvrelleExe();
std::string ChildExe(const std::string& name);

// " --parent <this process>": a test child given it ends with the test
// program, also when the program is stopped or crashes.
std::string ParentArgument();

// CreateProcessW, tried up to five times: Wine under load now and then
// refuses a start for a moment. False with the last error in error.
bool StartProcess(const wchar_t* application, std::wstring& commandLine, SECURITY_ATTRIBUTES* security,
                  const wchar_t* folder, STARTUPINFOW& startup, PROCESS_INFORMATION& info, DWORD& error);

// A process started by a test; terminated and closed when the object goes.
class ChildProcess {
public:
    // An access list (SDDL) gives the process a security descriptor of its
    // own: "D:(A;;0x101000;;;WD)" lets others only ask its path and wait for
    // it, as services do for a standard user; "D:" lets them do nothing.
    explicit ChildProcess(const std::string& exePath, const std::string& arguments = {},
                          const wchar_t* accessList = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Running() const;
    // Waits for the exit; returns the exit code, or STILL_ACTIVE on time-out.
    DWORD WaitExit(DWORD milliseconds);
    // Waits until the process handles input (its message loop runs).
    void WaitIdle(DWORD milliseconds = 10000) const;

private:
    PROCESS_INFORMATION info_{};
};

// The first visible top-level window of a process with the given title
// (any title when empty), waiting up to the given time.
HWND WaitForWindow(DWORD processId, const std::string& title, DWORD milliseconds = 20000);

// A named memory block as another process sees it: mapped read-only for the
// size asked, or not at all when there is no block of that name.
class NamedMappingReader {
public:
    NamedMappingReader(const std::string& name, size_t size);
    ~NamedMappingReader();
    NamedMappingReader(const NamedMappingReader&) = delete;
    NamedMappingReader& operator=(const NamedMappingReader&) = delete;
    bool Opened() const { return view_ != nullptr; }
    const void* Memory() const { return view_; }

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

// Texts of a list view that belongs to another process.
int RemoteListViewRowCount(HWND list);
std::string RemoteListViewText(HWND list, int row, int column);
struct RemoteItem {
    std::string text;
    int image = -1;  // of column 0
};
RemoteItem RemoteListViewItem(HWND list, int row, int column);

}  // namespace testing_support
