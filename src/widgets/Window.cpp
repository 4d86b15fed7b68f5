#include "widgets/Window.h"

#include "widgets/Application.h"

#include <exception>
#include <vector>

namespace widgets {

namespace {
const char kWrapperProperty[] = "Ovrelle.Window";
}

Window::~Window() {
    if (handle_) {
        HWND window = handle_;
        Detach();
        DestroyWindow(window);
    }
}

Window* Window::FromHandle(HWND window) {
    return window ? static_cast<Window*>(GetPropA(window, kWrapperProperty)) : nullptr;
}

void Window::Detach() {
    if (!handle_) return;
    if (subclassed_) RemoveWindowSubclass(handle_, SubclassProc, 0);
    RemovePropA(handle_, kWrapperProperty);
    handle_ = nullptr;
}

void Window::RegisterClass(const char* className, HCURSOR cursor, HBRUSH background, HICON icon) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(GetModuleHandleA(nullptr), className, &existing)) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = OwnProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = cursor ? cursor : LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
}

void Window::CreateOwn(const char* className, const char* text, DWORD style, DWORD exStyle,
                       int left, int top, int width, int height, HWND parent, HMENU menuOrId) {
    CreateWindowExA(exStyle, className, text, style, left, top, width, height, parent, menuOrId,
                    GetModuleHandleA(nullptr), this);
}

void Window::CreateControl(const char* className, const char* text, DWORD style, DWORD exStyle,
                           HWND parent, UINT_PTR id) {
    handle_ = CreateWindowExA(exStyle, className, text, style, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(id), GetModuleHandleA(nullptr), nullptr);
    if (!handle_) return;
    SetPropA(handle_, kWrapperProperty, this);
    subclassed_ = SetWindowSubclass(handle_, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    if (parent) SetFont(reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0)));
}

LRESULT Window::Guarded(Window* self, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        Application::Instance().ShowException(error);
    } catch (...) {
        Application::Instance().ShowUnknownException();
    }
    return 0;
}

LRESULT CALLBACK Window::OwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<Window*>(create->lpCreateParams);
        if (self) {
            self->handle_ = window;
            SetPropA(window, kWrapperProperty, self);
        }
    }
    Window* self = FromHandle(window);
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = Guarded(self, message, wParam, lParam);
    if (message == WM_NCDESTROY) self->Detach();
    return result;
}

LRESULT CALLBACK Window::SubclassProc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data) {
    auto* self = reinterpret_cast<Window*>(data);
    LRESULT result = Guarded(self, message, wParam, lParam);
    if (message == WM_NCDESTROY) self->Detach();
    return result;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandling(message, wParam, lParam);
}

LRESULT Window::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    if (subclassed_) return DefSubclassProc(handle_, message, wParam, lParam);
    return DefWindowProcA(handle_, message, wParam, lParam);
}

bool Window::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_COMMAND && lParam) {
        Window* child = FromHandle(reinterpret_cast<HWND>(lParam));
        return child && child != this && child->OnCommand(HIWORD(wParam));
    }
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        Window* child = FromHandle(header->hwndFrom);
        return child && child != this && child->OnNotify(header, result);
    }
    return false;
}

void Window::SetBounds(int left, int top, int width, int height) {
    SetWindowPos(handle_, nullptr, left, top, width < 0 ? 0 : width, height < 0 ? 0 : height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Window::Bounds() const {
    RECT r{};
    GetWindowRect(handle_, &r);
    HWND parent = GetParent(handle_);
    if (parent && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int Window::ClientWidth() const {
    RECT r{};
    GetClientRect(handle_, &r);
    return r.right - r.left;
}

int Window::ClientHeight() const {
    RECT r{};
    GetClientRect(handle_, &r);
    return r.bottom - r.top;
}

void Window::SetVisible(bool visible) { ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE); }
bool Window::Visible() const { return IsWindowVisible(handle_) != FALSE; }
void Window::SetEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }

void Window::SetFont(HFONT font) { SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
HFONT Window::Font() const { return reinterpret_cast<HFONT>(SendMessageA(handle_, WM_GETFONT, 0, 0)); }

void Window::SetText(const std::string& text) { SetWindowTextA(handle_, text.c_str()); }

std::string Window::Text() const {
    int length = GetWindowTextLengthA(handle_);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    GetWindowTextA(handle_, buffer.data(), length + 1);
    return buffer.data();
}

int Window::TextWidth(const std::string& text) const {
    HDC dc = GetDC(handle_);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    return size.cx;
}

}  // namespace widgets
