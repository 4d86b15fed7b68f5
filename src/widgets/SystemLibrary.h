// Functions of the system that a Windows version may lack, or that the
// program takes from a library it loads only when first needed: the library
// is loaded once, each function looked up once, and a missing one is null,
// which the caller handles as it handles a failed call. No linker feature
// (delay-load tables, weak imports) is needed, so every toolchain builds it.
#pragma once

#include <windows.h>

namespace widgets {

// A library of the system, kept for the life of the process once loaded.
class SystemLibrary {
public:
    // A library the process always has (kernel32, user32, ntdll) is only
    // looked up; any other is loaded from the system folder at first use.
    SystemLibrary(const wchar_t* name, bool alwaysLoaded) : name_(name), alwaysLoaded_(alwaysLoaded) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // Null when the library is not there; a failed load is not tried again.
    HMODULE Module();
    // Loaded by this program (not only found among those the process has).
    bool Loaded() const { return module_ != nullptr; }
    void* Find(const char* function);

private:
    const wchar_t* name_;
    bool alwaysLoaded_;
    bool tried_ = false;
    HMODULE module_ = nullptr;
};

SystemLibrary& Kernel32Library();
SystemLibrary& User32Library();
SystemLibrary& NtdllLibrary();
// The shell and what it loads cost about a megabyte of resident memory:
// loaded when a module list's icons, a link or a file command first needs it.
SystemLibrary& Shell32Library();
SystemLibrary& DwmapiLibrary();

// One function of a library, looked up at its first use; a test may put a
// function of its own in its place.
template <typename Signature>
class SystemFunction {
public:
    SystemFunction(SystemLibrary& library, const char* name) : library_(library), name_(name) {}

    Signature* Get() {
        if (!resolved_) {
            function_ = reinterpret_cast<Signature*>(library_.Find(name_));
            resolved_ = true;
        }
        return function_;
    }
    explicit operator bool() { return Get() != nullptr; }
    void Replace(Signature* function) {
        function_ = function;
        resolved_ = true;
    }

private:
    SystemLibrary& library_;
    const char* name_;
    bool resolved_ = false;
    Signature* function_ = nullptr;
};

}  // namespace widgets
