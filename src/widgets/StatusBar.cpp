#include "widgets/StatusBar.h"

#include "widgets/Utf16.h"

#include <windowsx.h>

namespace widgets {

StatusBar::StatusBar(HWND parent, UINT_PTR id, int panelCount, int height)
    : height_(height), panels_(static_cast<size_t>(panelCount)) {
    // Set every second: it handles none of its messages itself.
    CreateControl(STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE, 0, parent, id, false);
    ApplyParts();
}

// The tick sets every panel each second; only a change reaches the control,
// which repaints what it is sent.
void StatusBar::SetPanelText(int panel, const std::string& text) {
    if (panel < 0 || panel >= PanelCount() || panels_[static_cast<size_t>(panel)].text == text) return;
    panels_[static_cast<size_t>(panel)].text = text;
    SendMessageW(Handle(), SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(Utf16(text).c_str()));
}

void StatusBar::SetPanelWidth(int panel, int width) {
    if (panel < 0 || panel >= PanelCount() || panels_[static_cast<size_t>(panel)].width == width) return;
    panels_[static_cast<size_t>(panel)].width = width;
    ApplyParts();
}

// The control keeps the texts of its parts when only their edges change.
void StatusBar::ApplyParts() {
    std::vector<int> edges;
    int right = 0;
    for (size_t i = 0; i < panels_.size(); ++i) {
        right += panels_[i].width;
        edges.push_back(i + 1 == panels_.size() ? -1 : Scaled(right));
    }
    SendMessageW(Handle(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

int StatusBar::Height() const { return height_; }

void StatusBar::DpiChanged(int oldDpi, int newDpi) {
    Window::DpiChanged(oldDpi, newDpi);
    ApplyParts();
}

Splitter::Splitter(HWND parent) {
    RegisterClass("OvrelleSplitter", LoadCursor(nullptr, IDC_SIZENS),
                  reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateOwn("OvrelleSplitter", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, 0, parent, nullptr);
}

LRESULT Splitter::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(Handle(), &p);
            pressY_ = p.y;
            dragging_ = true;
            SetCapture(Handle());
            if (OnDragStart) OnDragStart();
            return 0;
        }
        case WM_MOUSEMOVE:
            if (dragging_) {
                POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(Handle(), &p);
                if (OnDrag) OnDrag(Unscaled(p.y - pressY_));
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (dragging_) {
                dragging_ = false;
                if (message == WM_LBUTTONUP) ReleaseCapture();
            }
            return 0;
        default:
            return DefaultHandling(message, wParam, lParam);
    }
}

Timer::Timer() {
    RegisterClass("OvrelleTimer", nullptr, nullptr);
    CreateOwn("OvrelleTimer", "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

Timer::~Timer() {
    if (Handle()) KillTimer(Handle(), 1);
}

void Timer::SetInterval(UINT milliseconds) {
    interval_ = milliseconds;
    Update();
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Update();
}

void Timer::Update() {
    KillTimer(Handle(), 1);
    if (enabled_ && interval_ > 0) SetTimer(Handle(), 1, interval_, nullptr);
}

LRESULT Timer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == 1) {
        if (OnTimer) OnTimer();
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
