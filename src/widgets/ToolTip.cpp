#include "widgets/ToolTip.h"

#include "widgets/Utf16.h"

namespace widgets {

ToolTip::ToolTip(HWND owner)
    : owner_(owner),
      tip_(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr), nullptr)) {
    if (!tip_) return;
    SendMessageW(tip_.get(), WM_SETFONT, SendMessageW(owner, WM_GETFONT, 0, 0), FALSE);
    // Long texts (paths) break at their spaces rather than run off the screen.
    SendMessageW(tip_.get(), TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) - 16);
    TTTOOLINFOW tool = Tool(L"");
    SendMessageW(tip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// One tool, placed by its owner (tracked) rather than by the pointer.
TTTOOLINFOW ToolTip::Tool(const wchar_t* text) const {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner_;
    tool.uId = 1;
    tool.lpszText = const_cast<wchar_t*>(text);
    return tool;
}

void ToolTip::Show(const std::string& text, const RECT& beside) {
    if (!tip_) return;
    std::wstring wide = Utf16(text);
    TTTOOLINFOW tool = Tool(wide.c_str());
    SendMessageW(tip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    LRESULT size = SendMessageW(tip_.get(), TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(&tool));
    int width = LOWORD(size), height = HIWORD(size);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromRect(&beside, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& screen = monitor.rcWork;
    POINT at{beside.left, beside.bottom + 1};
    if (at.y + height > screen.bottom) at.y = beside.top - 1 - height;
    if (at.x + width > screen.right) at.x = screen.right - width;
    if (at.x < screen.left) at.x = screen.left;
    SendMessageW(tip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(tip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    showing_ = true;
}

void ToolTip::Hide() {
    if (!tip_ || !showing_) return;
    TTTOOLINFOW tool = Tool(nullptr);
    SendMessageW(tip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    showing_ = false;
}

}  // namespace widgets
