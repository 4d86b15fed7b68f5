// The least a window like Ovrelle's can do while it sits idle: a window of
// the same size whose status bar, laid out as Ovrelle's, shows a text that
// changes once a second, and nothing else. The idle benchmark measures it
// beside the program.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace {

const UINT_PTR kTick = 1;
HWND statusBar = nullptr;

void ShowUptime() {
    unsigned long seconds = GetTickCount() / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "Uptime: %02lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    SendMessageA(statusBar, SB_SETTEXTA, 4, reinterpret_cast<LPARAM>(text));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            ShowUptime();
            return 0;
        case WM_SIZE: {
            RECT client{};
            GetClientRect(window, &client);
            MoveWindow(statusBar, 0, client.bottom - 19, client.right, 19, TRUE);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "OvrelleIdleFloor";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassA(&wc);
    RECT frame{0, 0, 905, 566};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExA(0, "OvrelleIdleFloor", "Idle floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                  nullptr);
    statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE, 0, 0,
                                0, 0, window, nullptr, instance, nullptr);
    const int edges[5] = {120, 260, 380, 480, -1};
    SendMessageA(statusBar, SB_SETPARTS, 5, reinterpret_cast<LPARAM>(edges));
    const char* const texts[4] = {"User: user", "Computer: COMPUTER", "Memory used: 50%", "Process count: 57"};
    for (int i = 0; i < 4; ++i)
        SendMessageA(statusBar, SB_SETTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(texts[i]));
    ShowUptime();
    ShowWindow(window, SW_SHOW);
    SetTimer(window, kTick, 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
