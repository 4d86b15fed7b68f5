#include "framework/KmxShellFiles.h"

#include "widgets/Application.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

ShellFileFunction& Hook() {
    static ShellFileFunction hook;
    return hook;
}

bool Failed(DWORD error) {
    SetLastError(error);
    return false;
}

bool Succeeded(HRESULT result) {
    if (SUCCEEDED(result)) return true;
    return Failed(HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : static_cast<DWORD>(result));
}

// The shell's name of a file: an item ID list, freed with the shell's allocator.
class IdList {
public:
    explicit IdList(const std::string& path) {
        static widgets::SystemFunction<decltype(ILCreateFromPathW)> create(widgets::Shell32Library(),
                                                                           "ILCreateFromPathW");
        if (!create) return;
        list_ = create.Get()(widgets::Utf16(path).c_str());
        // The shell parses no path past MAX_PATH: its short form then.
        if (!list_) {
            std::wstring shortPath = widgets::ShortFilePath(path);
            if (!shortPath.empty()) list_ = create.Get()(shortPath.c_str());
        }
    }
    ~IdList() {
        static widgets::SystemFunction<decltype(ILFree)> release(widgets::Shell32Library(), "ILFree");
        if (list_ && release) release.Get()(list_);
    }
    IdList(const IdList&) = delete;
    IdList& operator=(const IdList&) = delete;
    PIDLIST_ABSOLUTE get() const { return list_; }

private:
    PIDLIST_ABSOLUTE list_ = nullptr;
};

// The shell says little of why it cannot name a file: the file is asked
// first, which tells the system's reason (gone, refused, a bad name).
bool Run(TShellFileCommand command, const std::string& path) {
    HWND owner = widgets::Application::Instance().MainWindowHandle();
    if (Hook()) return Hook()(command, owner, widgets::Utf16(path));
    if (GetFileAttributesW(widgets::FilePathForSystem(path).c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    IdList item(path);
    if (!item.get()) return Failed(ERROR_BAD_PATHNAME);
    if (command == TShellFileCommand::OpenLocation) {
        static widgets::SystemFunction<decltype(SHOpenFolderAndSelectItems)> open(widgets::Shell32Library(),
                                                                                  "SHOpenFolderAndSelectItems");
        if (!open) return Failed(ERROR_PROC_NOT_FOUND);
        // No items: the list names the file to select in its folder.
        return Succeeded(open.Get()(item.get(), 0, nullptr, 0));
    }
    static widgets::SystemFunction<decltype(ShellExecuteExW)> execute(widgets::Shell32Library(), "ShellExecuteExW");
    if (!execute) return Failed(ERROR_PROC_NOT_FOUND);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The program shows the error itself.
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"properties";
    info.lpIDList = item.get();
    info.nShow = SW_SHOWNORMAL;
    return execute.Get()(&info) != FALSE;
}

}  // namespace

void SetShellFileHook(ShellFileFunction hook) { Hook() = std::move(hook); }

bool OpenFileLocation(const std::string& path) { return Run(TShellFileCommand::OpenLocation, path); }

bool ShowFileProperties(const std::string& path) { return Run(TShellFileCommand::Properties, path); }
