// The reusable settings store: the application's key under HKEY_CURRENT_USER,
// window placement, and Load/Save hooks for a subclass's own values.
#pragma once

#include "widgets/Handle.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The registry calls the store makes; a test may replace one to make it fail.
struct TRegistryFunctions {
    decltype(&RegCreateKeyExW) CreateKeyEx;
    decltype(&RegOpenKeyExW) OpenKeyEx;
    decltype(&RegQueryValueExW) QueryValueEx;
    decltype(&RegSetValueExW) SetValueEx;
};
TRegistryFunctions& RegistryFunctions();
// The system's own functions, for restoring the table.
TRegistryFunctions SystemRegistryFunctions();

// Writes that failed, handed to the application's general error reporting.
class ERegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A root key and one open key below it. Sections are subkeys of the open key,
// each opened and closed around a single value access.
class TRegistryAccessor {
public:
    enum class TWriteResult { Written, NoKey, SectionNotCreated, ValueNotSet };

    explicit TRegistryAccessor(HKEY root) : root_(root) {}

    // Opens the key at path below the root (a leading backslash is allowed),
    // creating it and any missing parents, with full access. On failure no
    // key is open.
    bool OpenKey(const std::string& path);
    bool HasCurrentKey() const { return static_cast<bool>(currentKey_); }

    // The text of a REG_SZ or REG_EXPAND_SZ value. Nothing when no key is
    // open, the section or value is missing, or the value is of another type.
    std::optional<std::string> ReadString(const std::string& section, const std::string& name) const;
    // Writes text as REG_SZ with its terminating zero, creating the section.
    TWriteResult WriteString(const std::string& section, const std::string& name,
                             const std::string& text);

private:
    HKEY root_;
    widgets::UniqueRegKey currentKey_;
};

class TCCustomRegistry {
public:
    // Opens the application key (creating it); when that fails, shows
    // "Error reading Windows Registry." once and keeps every value in memory
    // with its default.
    TCCustomRegistry();
    // Reports, once, every value that could not be written.
    virtual ~TCCustomRegistry();
    TCCustomRegistry(const TCCustomRegistry&) = delete;
    TCCustomRegistry& operator=(const TCCustomRegistry&) = delete;

    // "\Software\Quillmar\" followed by the application's compact title.
    std::string GetKeyPath() const;

    // Moves (and, for a window with a sizing border, sizes) a top-level window
    // to its stored outer rectangle; what is not stored stays as it is. The
    // size is given at the DPI of the monitor the window is moved to, and the
    // window is kept on that monitor's work area. Also to a window that is
    // not shown yet.
    void ReadFormPlacement(HWND form, const std::string& formName);
    // Stores the window's normal outer rectangle (width and height only with
    // a sizing border, in 96-DPI units); writes nothing while the window is
    // minimised or maximised.
    void WriteFormPlacement(HWND form, const std::string& formName);

protected:
    // C++ does not dispatch virtual calls to a derived class while the base is
    // being built or torn down, so the most derived class calls Load at the
    // end of its constructor and Save at the start of its destructor.
    virtual void Load() {}
    virtual void Save() {}

    // A value of a section that is missing, unreadable or does not convert
    // reads as defaultValue.
    std::int32_t ReadInteger(const std::string& section, const std::string& name,
                             std::int32_t defaultValue) const;
    bool ReadBool(const std::string& section, const std::string& name, bool defaultValue) const;
    // A failed write is remembered and the next values are still written.
    void WriteInteger(const std::string& section, const std::string& name, std::int32_t value);
    void WriteBool(const std::string& section, const std::string& name, bool value);

private:
    void WriteText(const std::string& section, const std::string& name, const std::string& text);

    TRegistryAccessor registry_;
    std::vector<std::string> failedWrites_;
};
