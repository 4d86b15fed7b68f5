#include "support/TestSupport.h"

#include "widgets/Utf16.h"

#include <commctrl.h>
#include <sddl.h>

#include <stdexcept>

namespace testing_support {

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string OvrelleExe() { return WindowsPath(OVRELLE_EXE_PATH); }

std::string ChildExe(const std::string& name) {
    return WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/" + name + ".exe");
}

std::string ParentArgument() { return " --parent " + std::to_string(GetCurrentProcessId()); }

bool StartProcess(const wchar_t* application, std::wstring& commandLine, SECURITY_ATTRIBUTES* security,
                  const wchar_t* folder, STARTUPINFOW& startup, PROCESS_INFORMATION& info, DWORD& error) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0) Sleep(200);
        if (CreateProcessW(application, commandLine.data(), security, nullptr, FALSE, 0, nullptr, folder, &startup,
                           &info))
            return true;
        error = GetLastError();
    }
    return false;
}

ChildProcess::ChildProcess(const std::string& exePath, const std::string& arguments, const wchar_t* accessList) {
    std::wstring commandLine = widgets::Utf16("\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    if (accessList && !ConvertStringSecurityDescriptorToSecurityDescriptorW(accessList, SDDL_REVISION_1,
                                                                           &security.lpSecurityDescriptor, nullptr))
        throw std::runtime_error("bad access list");
    DWORD error = 0;
    bool started = StartProcess(widgets::Utf16(exePath).c_str(), commandLine, accessList ? &security : nullptr, nullptr,
                                startup, info_, error);
    LocalFree(security.lpSecurityDescriptor);
    if (!started) throw std::runtime_error("cannot start " + exePath + ": error " + std::to_string(error));
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool ChildProcess::Running() const {
    return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD ChildProcess::WaitExit(DWORD milliseconds) {
    if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void ChildProcess::WaitIdle(DWORD milliseconds) const {
    WaitForInputIdle(info_.hProcess, milliseconds);
}

namespace {
struct WindowSearch {
    DWORD processId;
    const std::string* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (!search->title->empty()) {
        char text[256] = {};
        GetWindowTextA(window, text, sizeof text);
        if (*search->title != text) return TRUE;
    }
    search->found = window;
    return FALSE;
}
}  // namespace

HWND WaitForWindow(DWORD processId, const std::string& title, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search{processId, &title, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (GetTickCount() - start > milliseconds) return nullptr;
        Sleep(50);
    }
}

NamedMappingReader::NamedMappingReader(const std::string& name, size_t size) {
    mapping_ = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping_) view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, size);
}

NamedMappingReader::~NamedMappingReader() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
}

int RemoteListViewRowCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string RemoteListViewText(HWND list, int row, int column) { return RemoteListViewItem(list, row, column).text; }

RemoteItem RemoteListViewItem(HWND list, int row, int column) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return {};
    // Read back as UTF-16, whatever code page either program runs under.
    const size_t textUnits = 1024;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textUnits * sizeof(wchar_t), MEM_COMMIT,
                                  PAGE_READWRITE);
    RemoteItem result;
    if (remote) {
        auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.iSubItem = column;
        item.iImage = -2;
        item.pszText = remoteText;
        item.cchTextMax = static_cast<int>(textUnits);
        SIZE_T written = 0;
        WriteProcessMemory(process, remote, &item, sizeof item, &written);
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        wchar_t text[textUnits] = {};
        SIZE_T read = 0;
        ReadProcessMemory(process, remote, &item, sizeof item, &read);
        ReadProcessMemory(process, remoteText, text, (textUnits - 1) * sizeof(wchar_t), &read);
        result.text = widgets::Utf8UpToNul(text, textUnits);
        result.image = item.iImage;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return result;
}

}  // namespace testing_support
