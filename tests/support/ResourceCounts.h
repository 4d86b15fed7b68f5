// What the program holds, counted in its own wrappers (Wine answers neither
// GetGuiResources nor GetProcessHandleCount): shared by the soak test and
// the soak benchmark. Header only, so the benchmark needs no test library.
#pragma once

#include "framework/KmxFileInfoClasses.h"
#include "widgets/Handle.h"
#include "widgets/ListView.h"

#include <windows.h>
#include <psapi.h>

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

inline BOOL CALLBACK CountChildWindow(HWND, LPARAM param) {
    ++*reinterpret_cast<long*>(param);
    return TRUE;
}

inline BOOL CALLBACK CountOwnTopLevelWindow(HWND window, LPARAM param) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<long*>(param);
    EnumChildWindows(window, CountChildWindow, param);
    return TRUE;
}

// Top-level windows of this process with their descendants, and its
// message-only windows, which EnumWindows leaves out.
inline long WindowsOfProcess() {
    long count = 0;
    EnumWindows(CountOwnTopLevelWindow, reinterpret_cast<LPARAM>(&count));
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == GetCurrentProcessId()) ++count;
    }
    return count;
}

using ResourceCounts = std::vector<std::pair<std::string, long>>;

inline ResourceCounts TakeResourceCounts() {
    return {
        {"icons", widgets::UniqueIcon::Live()},
        {"image_list_images", widgets::ImageList::LiveImages()},
        {"image_lists", widgets::UniqueImageList::Live()},
        {"gdi_objects", widgets::UniqueGdiObject::Live()},
        {"dcs", widgets::UniqueDc::Live()},
        {"menus", widgets::UniqueMenu::Live()},
        {"kernel_handles", widgets::UniqueKernelHandle::Live()},
        {"file_handles", widgets::UniqueFileHandle::Live()},
        {"mapped_views", widgets::UniqueMappedView::Live()},
        {"registry_keys", widgets::UniqueRegKey::Live()},
        {"windows", WindowsOfProcess()},
        {"file_info_items", static_cast<long>(FileInfoCache().Count())},
    };
}

}  // namespace testing_support
