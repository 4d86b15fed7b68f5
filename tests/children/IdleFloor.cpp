// The least a window like Ovrelle's can do while it sits idle: a window of
// the same size whose status bar, laid out as Ovrelle's (its font, texts and
// panel widths), shows a text that changes once a second, and nothing else.
// The idle benchmark measures it beside the program. Started with
// "memory", it also reads the memory load at every tick (showing nothing
// more), for a second floor that pays the system's query.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

const UINT_PTR kTick = 1;
HWND statusBar = nullptr;
bool readMemory = false;

void ShowUptime() {
    unsigned long seconds = GetTickCount() / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "Uptime: %02lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    SendMessageA(statusBar, SB_SETTEXTA, 4, reinterpret_cast<LPARAM>(text));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (readMemory) {
                MEMORYSTATUS status{};
                status.dwLength = sizeof status;
                GlobalMemoryStatus(&status);
            }
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    readMemory = std::strstr(commandLine, "memory") != nullptr;
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
    HDC dc = GetDC(statusBar);
    HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
    SendMessageA(statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SelectObject(dc, font);
    char user[257] = {}, computer[MAX_COMPUTERNAME_LENGTH + 1] = {}, texts[4][300] = {"", "", "Memory used: 50%",
                                                                                 "Process count: 57"};
    DWORD userSize = sizeof user, computerSize = sizeof computer;
    GetUserNameA(user, &userSize);
    GetComputerNameA(computer, &computerSize);
    std::snprintf(texts[0], 300, "User: %s", user);
    std::snprintf(texts[1], 300, "Computer: %s", computer);
    // Each panel as wide as its text and 10 more, the process count 100 at least.
    int edges[5] = {0, 0, 0, 0, -1};
    for (int i = 0; i < 4; ++i) {
        SIZE text{};
        GetTextExtentPoint32A(dc, texts[i], static_cast<int>(std::strlen(texts[i])), &text);
        edges[i] = (i ? edges[i - 1] : 0) + (i == 3 && text.cx + 10 < 100 ? 100 : text.cx + 10);
        SendMessageA(statusBar, SB_SETTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(texts[i]));
    }
    ReleaseDC(statusBar, dc);
    SendMessageA(statusBar, SB_SETPARTS, 5, reinterpret_cast<LPARAM>(edges));
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
