#include "widgets/ToolTip.h"

namespace widgets {

ToolTip::ToolTip(HWND owner)
    : owner_(owner),
      tip_(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSA, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, owner, nullptr, GetModuleHandleA(nullptr), nullptr)) {
    if (!tip_) return;
    SendMessageA(tip_.get(), WM_SETFONT, SendMessageA(owner, WM_GETFONT, 0, 0), FALSE);
    // Long texts (paths) break at their spaces rather than run off the screen.
    SendMessageA(tip_.get(), TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) - 16);
    TTTOOLINFOA tool = Tool("");
    SendMessageA(tip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// One tool, placed by its owner (tracked) rather than by the pointer.
TTTOOLINFOA ToolTip::Tool(const char* text) const {
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner_;
    tool.uId = 1;
    tool.lpszText = const_cast<char*>(text);
    return tool;
}

void ToolTip::Show(const std::string& text, const RECT& beside) {
    if (!tip_) return;
    TTTOOLINFOA tool = Tool(text.c_str());
    SendMessageA(tip_.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    LRESULT size = SendMessageA(tip_.get(), TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(&tool));
    int width = LOWORD(size), height = HIWORD(size);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromRect(&beside, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& screen = monitor.rcWork;
    POINT at{beside.left, beside.bottom + 1};
    if (at.y + height > screen.bottom) at.y = beside.top - 1 - height;
    if (at.x + width > screen.right) at.x = screen.right - width;
    if (at.x < screen.left) at.x = screen.left;
    SendMessageA(tip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageA(tip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    showing_ = true;
}

void ToolTip::Hide() {
    if (!tip_ || !showing_) return;
    TTTOOLINFOA tool = Tool(nullptr);
    SendMessageA(tip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    showing_ = false;
}

}  // namespace widgets
