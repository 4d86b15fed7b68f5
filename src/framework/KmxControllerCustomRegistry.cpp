#include "framework/KmxControllerCustomRegistry.h"

#include "framework/KmxRegistryText.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Utf16.h"
#include "widgets/Window.h"

#include <algorithm>
#include <cstdint>

using widgets::Utf16;

namespace {

const char kForms[] = "Forms";

bool IsSizeable(HWND form) { return (GetWindowLongPtrW(form, GWL_STYLE) & WS_THICKFRAME) != 0; }

// The DPI a window is laid out at: its wrapper's, which follows each change
// of scale it is told of, or else the system's answer.
int DpiOf(HWND form) {
    if (const widgets::Window* wrapper = widgets::Window::FromHandle(form)) return wrapper->Dpi();
    return widgets::WindowDpi(form);
}

MONITORINFO MonitorOf(HWND form) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor;
}

// A stored size in 96-DPI units as pixels at a DPI, within what a window
// can be (a damaged value must not overflow).
int PixelsOfStored(std::int32_t designed, int dpi) {
    long long pixels = (static_cast<long long>(designed) * dpi + 48) / 96;
    return static_cast<int>(std::clamp<long long>(pixels, 0, 0x7FFF));
}

// The rectangle moved and cut so that it lies on the work area: the title
// bar never above the screen.
RECT OnWorkArea(RECT r, const RECT& work) {
    LONG width = std::min(r.right - r.left, work.right - work.left);
    LONG height = std::min(r.bottom - r.top, work.bottom - work.top);
    LONG left = std::clamp(r.left, work.left, work.right - width);
    LONG top = std::clamp(r.top, work.top, work.bottom - height);
    return {left, top, left + width, top + height};
}

}  // namespace

TRegistryFunctions SystemRegistryFunctions() {
    return {&RegCreateKeyExW, &RegOpenKeyExW, &RegQueryValueExW, &RegSetValueExW};
}

TRegistryFunctions& RegistryFunctions() {
    static TRegistryFunctions functions = SystemRegistryFunctions();
    return functions;
}

bool TRegistryAccessor::OpenKey(const std::string& path) {
    currentKey_.reset();
    // RegCreateKeyEx refuses a subkey that starts with a backslash.
    std::string subKey = path;
    if (!subKey.empty() && subKey[0] == '\\') subKey.erase(0, 1);
    HKEY key = nullptr;
    if (RegistryFunctions().CreateKeyEx(root_, Utf16(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    currentKey_.reset(key);
    return HasCurrentKey();
}

std::optional<std::string> TRegistryAccessor::ReadString(const std::string& section,
                                                         const std::string& name) const {
    if (!currentKey_) return std::nullopt;
    HKEY key = nullptr;
    if (RegistryFunctions().OpenKeyEx(currentKey_.get(), Utf16(section).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    widgets::UniqueRegKey sectionKey(key);

    // The value may change between asking its size and reading it, so the
    // buffer grows a bounded number of times.
    const std::wstring valueName = Utf16(name);
    std::vector<wchar_t> data(32);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        LSTATUS status = RegistryFunctions().QueryValueEx(sectionKey.get(), valueName.c_str(), nullptr, &type,
                                                          reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(std::max<std::size_t>(size / sizeof(wchar_t) + 1, data.size() * 2));
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
        // Up to the first NUL, or all of it when a writer left the NUL out
        // (a last odd byte is no whole character).
        return widgets::Utf8UpToNul(data.data(), std::min<std::size_t>(size / sizeof(wchar_t), data.size()));
    }
    return std::nullopt;
}

TRegistryAccessor::TWriteResult TRegistryAccessor::WriteString(const std::string& section,
                                                               const std::string& name,
                                                               const std::string& text) {
    if (!currentKey_) return TWriteResult::NoKey;
    HKEY key = nullptr;
    if (RegistryFunctions().CreateKeyEx(currentKey_.get(), Utf16(section).c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                        nullptr) != ERROR_SUCCESS)
        return TWriteResult::SectionNotCreated;
    widgets::UniqueRegKey sectionKey(key);
    const std::wstring wide = Utf16(text);
    if (RegistryFunctions().SetValueEx(sectionKey.get(), Utf16(name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(wide.c_str()),
                                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        return TWriteResult::ValueNotSet;
    return TWriteResult::Written;
}

TCCustomRegistry::TCCustomRegistry() : registry_(HKEY_CURRENT_USER) {
    if (!registry_.OpenKey(GetKeyPath()))
        widgets::MessageDlg("Error reading Windows Registry.", widgets::DialogKind::Plain,
                            widgets::DialogButtons::OK);
}

TCCustomRegistry::~TCCustomRegistry() {
    if (failedWrites_.empty()) return;
    std::string message;
    for (const std::string& failure : failedWrites_) {
        if (!message.empty()) message += '\n';
        message += failure;
    }
    // Nothing may leave a destructor; the report is all that is left to do.
    try {
        widgets::Application::Instance().ShowException(ERegistryError(message));
    } catch (...) {
    }
}

std::string TCCustomRegistry::GetKeyPath() const {
    return "\\Software\\Quillmar\\" + CompactTitle(widgets::Application::Instance().Title());
}

void TCCustomRegistry::ReadFormPlacement(HWND form, const std::string& formName) {
    RECT bounds;
    if (!IsWindow(form) || !GetWindowRect(form, &bounds)) return;
    std::int32_t top = ReadInteger(kForms, formName + "Top", bounds.top);
    std::int32_t left = ReadInteger(kForms, formName + "Left", bounds.left);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    // Moved first: on a monitor of another scale the window takes that
    // scale, and then the size is given at that monitor's DPI.
    SetWindowPos(form, nullptr, left, top, 0, 0, flags | SWP_NOSIZE);
    if (!GetWindowRect(form, &bounds)) return;
    if (IsSizeable(form)) {
        const int dpi = DpiOf(form);
        const std::int32_t notStored = INT32_MIN;
        auto pixels = [&](const char* value, LONG current) {
            std::int32_t stored = ReadInteger(kForms, formName + value, notStored);
            return stored == notStored ? current : PixelsOfStored(stored, dpi);
        };
        bounds.right = bounds.left + pixels("Width", bounds.right - bounds.left);
        bounds.bottom = bounds.top + pixels("Height", bounds.bottom - bounds.top);
    }
    RECT placed = OnWorkArea(bounds, MonitorOf(form).rcWork);
    SetWindowPos(form, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top, flags);
}

void TCCustomRegistry::WriteFormPlacement(HWND form, const std::string& formName) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!IsWindow(form) || IsIconic(form) || IsZoomed(form) || !GetWindowPlacement(form, &placement)) return;
    // The normal rectangle, not the one of a window snapped to an edge; the
    // system gives it in work-area coordinates.
    RECT bounds = placement.rcNormalPosition;
    if (!(GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        MONITORINFO monitor = MonitorOf(form);
        OffsetRect(&bounds, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    }
    WriteInteger(kForms, formName + "Top", bounds.top);
    WriteInteger(kForms, formName + "Left", bounds.left);
    if (!IsSizeable(form)) return;
    // In 96-DPI units, as the columns' widths: the size reads the same on
    // a monitor of any scale.
    int dpi = DpiOf(form);
    WriteInteger(kForms, formName + "Width", widgets::ScaleFromDpi(bounds.right - bounds.left, dpi));
    WriteInteger(kForms, formName + "Height", widgets::ScaleFromDpi(bounds.bottom - bounds.top, dpi));
}

std::int32_t TCCustomRegistry::ReadInteger(const std::string& section, const std::string& name,
                                           std::int32_t defaultValue) const {
    std::optional<std::string> text = registry_.ReadString(section, name);
    return text ? RegistryTextToInteger(*text, defaultValue) : defaultValue;
}

bool TCCustomRegistry::ReadBool(const std::string& section, const std::string& name,
                                bool defaultValue) const {
    std::optional<std::string> text = registry_.ReadString(section, name);
    return text ? RegistryTextToBoolean(*text, defaultValue) : defaultValue;
}

void TCCustomRegistry::WriteInteger(const std::string& section, const std::string& name,
                                    std::int32_t value) {
    WriteText(section, name, IntegerToRegistryText(value));
}

void TCCustomRegistry::WriteBool(const std::string& section, const std::string& name, bool value) {
    WriteText(section, name, BooleanToRegistryText(value));
}

void TCCustomRegistry::WriteText(const std::string& section, const std::string& name,
                                 const std::string& text) {
    std::string failure;
    switch (registry_.WriteString(section, name, text)) {
        case TRegistryAccessor::TWriteResult::Written:
        // Without the application key the values live in memory only; that
        // was reported once when the key failed to open.
        case TRegistryAccessor::TWriteResult::NoKey:
            return;
        case TRegistryAccessor::TWriteResult::SectionNotCreated:
            failure = "Failed to create key " + section;
            break;
        case TRegistryAccessor::TWriteResult::ValueNotSet:
            failure = "Failed to set data for '" + name + "'";
            break;
    }
    if (std::find(failedWrites_.begin(), failedWrites_.end(), failure) == failedWrites_.end())
        failedWrites_.push_back(failure);
}
