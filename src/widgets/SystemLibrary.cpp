#include "widgets/SystemLibrary.h"

namespace widgets {

HMODULE SystemLibrary::Module() {
    if (!tried_) {
        tried_ = true;
        module_ = alwaysLoaded_ ? GetModuleHandleW(name_)
                                // Never from the program's folder or the current one.
                                : LoadLibraryExW(name_, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        // Systems before the search flags (Windows 7 without its update)
        // refuse them; a bare name then still searches the system folder
        // first for a known library such as these.
        if (!module_ && !alwaysLoaded_ && GetLastError() == ERROR_INVALID_PARAMETER)
            module_ = LoadLibraryW(name_);
    }
    return module_;
}

void* SystemLibrary::Find(const char* function) {
    HMODULE module = Module();
    return module ? reinterpret_cast<void*>(GetProcAddress(module, function)) : nullptr;
}

SystemLibrary& Kernel32Library() {
    static SystemLibrary library(L"kernel32.dll", true);
    return library;
}

SystemLibrary& User32Library() {
    static SystemLibrary library(L"user32.dll", true);
    return library;
}

SystemLibrary& NtdllLibrary() {
    static SystemLibrary library(L"ntdll.dll", true);
    return library;
}

SystemLibrary& Shell32Library() {
    static SystemLibrary library(L"shell32.dll", false);
    return library;
}

SystemLibrary& DwmapiLibrary() {
    static SystemLibrary library(L"dwmapi.dll", false);
    return library;
}

}  // namespace widgets
