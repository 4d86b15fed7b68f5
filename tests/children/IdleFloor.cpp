// The least a window like Ovrelle's can do while it sits idle: a window of
// the same size whose status bar, laid out as Ovrelle's (its font, its
// texts, each of the first panels as wide as its text and 10 more, the
// process count at least 100, the uptime the rest), shows a text that
// changes once a second, and nothing else. The idle benchmark measures it
// beside the program.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const UINT_PTR kTick = 1;
HWND statusBar = nullptr;

void ShowUptime() {
    unsigned long seconds = GetTickCount() / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "Uptime: %02lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    SendMessageA(statusBar, SB_SETTEXTA, 4, reinterpret_cast<LPARAM>(text));
}

// The font of Ovrelle's window: MS Sans Serif of 8 points.
HFONT OvrellesFont() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    static HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
    return font;
}

int TextWidth(const std::wstring& text) {
    HDC dc = GetDC(statusBar);
    HGDIOBJ old = SelectObject(dc, OvrellesFont());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(statusBar, dc);
    return size.cx;
}

std::wstring UserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    return GetUserNameW(name, &size) ? name : L"";
}

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? name : L"";
}

unsigned MemoryLoad() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return status.dwMemoryLoad;
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
    SendMessageW(statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(OvrellesFont()), FALSE);
    std::wstring texts[4] = {L"User: " + UserName(), L"Computer: " + ComputerName(),
                             L"Memory used: " + std::to_wstring(MemoryLoad()) + L"%", L"Process count: 57"};
    int edges[5] = {};
    for (int i = 0, right = 0; i < 4; ++i) {
        int width = TextWidth(texts[i]) + 10;
        right += i == 3 ? std::max(100, width) : width;
        edges[i] = right;
        SendMessageW(statusBar, SB_SETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(texts[i].c_str()));
    }
    edges[4] = -1;
    SendMessageW(statusBar, SB_SETPARTS, 5, reinterpret_cast<LPARAM>(edges));
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
