// A small program that tests start: it shows one top-level window whose
// title is its first argument and runs until the window is closed.
// "--hidden" keeps the window hidden, "--tool" makes it a tool window,
// "--none" creates no window and only waits, "--hang" shows it minimised
// and reads no messages for 30 s; "--parent <id>" ends it with that process;
// '--load "<path>"' loads that library and keeps it.
#include <windows.h>

#include <cstring>

#include "WatchParent.h"

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WatchParent(commandLine);
    if (const char* load = std::strstr(commandLine, "--load \"")) {
        char library[MAX_PATH] = {};
        const char* end = std::strchr(load + 8, '"');
        if (end && end - (load + 8) < MAX_PATH) std::memcpy(library, load + 8, static_cast<size_t>(end - (load + 8)));
        if (!LoadLibraryA(library)) return 2;
    }
    char title[128] = "WindowChild";
    bool hidden = std::strstr(commandLine, "--hidden") != nullptr;
    bool tool = std::strstr(commandLine, "--tool") != nullptr;
    bool none = std::strstr(commandLine, "--none") != nullptr;
    bool hang = std::strstr(commandLine, "--hang") != nullptr;
    if (commandLine[0] && commandLine[0] != '-') {
        size_t n = 0;
        while (commandLine[n] && commandLine[n] != ' ' && n + 1 < sizeof title) {
            title[n] = commandLine[n];
            ++n;
        }
        title[n] = 0;
    }
    if (!none) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = "OvrelleTestChild";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        RegisterClassA(&wc);
        HWND window = CreateWindowExA(tool ? WS_EX_TOOLWINDOW : 0, "OvrelleTestChild", title,
                                      WS_OVERLAPPEDWINDOW, 10, 10, 200, 120, nullptr, nullptr, instance, nullptr);
        if (!hidden) ShowWindow(window, hang ? SW_SHOWMINNOACTIVE : SW_SHOW);
    }
    MSG message;
    while (hang && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (hang) Sleep(30000);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
