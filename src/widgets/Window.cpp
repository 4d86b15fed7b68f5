#include "widgets/Window.h"

#include "widgets/Application.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <exception>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace widgets {

namespace {
// The wrappers of the windows this layer made, found by handle at every
// message: a lookup of the process's own (a window property would cost a
// request to the Wine server each time).
std::mutex wrappersLock;
std::unordered_map<HWND, Window*>& Wrappers() {
    static std::unordered_map<HWND, Window*> wrappers;
    return wrappers;
}
void SetWrapper(HWND window, Window* wrapper) {
    std::lock_guard<std::mutex> lock(wrappersLock);
    if (wrapper) Wrappers()[window] = wrapper;
    else Wrappers().erase(window);
}


int SystemDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        int value = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

// The DPI a new window starts at: its parent's, or the system's.
int InitialDpi(HWND parent) {
    if (Window* wrapper = Window::FromHandle(parent)) return wrapper->Dpi();
    return parent && parent != HWND_MESSAGE ? WindowDpi(parent) : SystemDpi();
}
}  // namespace

// Both came with Windows 10 (1607); before, every window has the system's DPI.
int WindowDpi(HWND window) {
    static SystemFunction<UINT WINAPI(HWND)> getDpiForWindow(User32Library(), "GetDpiForWindow");
    UINT dpi = window && getDpiForWindow ? getDpiForWindow.Get()(window) : 0;
    return dpi ? static_cast<int>(dpi) : SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    static SystemFunction<int WINAPI(int, UINT)> forDpi(User32Library(), "GetSystemMetricsForDpi");
    if (forDpi) return forDpi.Get()(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

Window::~Window() {
    if (handle_) {
        HWND window = handle_;
        Detach();
        DestroyWindow(window);
    }
}

Window* Window::FromHandle(HWND window) {
    if (!window) return nullptr;
    std::lock_guard<std::mutex> lock(wrappersLock);
    auto found = Wrappers().find(window);
    return found != Wrappers().end() ? found->second : nullptr;
}

void Window::Detach() {
    if (!handle_) return;
    if (subclassed_) RemoveWindowSubclass(handle_, SubclassProc, 0);
    SetWrapper(handle_, nullptr);
    handle_ = nullptr;
}

void Window::RegisterClass(const char* className, HCURSOR cursor, HBRUSH background, HICON icon) {
    std::wstring name = Utf16(className);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = OwnProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = cursor ? cursor : LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.lpszClassName = name.c_str();
    RegisterClassExW(&wc);
}

void Window::CreateOwn(const char* className, const char* text, DWORD style, DWORD exStyle,
                       int left, int top, int width, int height, HWND parent, HMENU menuOrId) {
    dpi_ = InitialDpi(parent);
    CreateWindowExW(exStyle, Utf16(className).c_str(), Utf16(text).c_str(), style, left, top, width, height, parent,
                    menuOrId, GetModuleHandleW(nullptr), this);
}

void Window::CreateControl(const char* className, const char* text, DWORD style, DWORD exStyle,
                           HWND parent, UINT_PTR id, bool subclass) {
    dpi_ = InitialDpi(parent);
    handle_ = CreateWindowExW(exStyle, Utf16(className).c_str(), Utf16(text).c_str(), style, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
    if (!handle_) return;
    SetWrapper(handle_, this);
    subclassed_ = subclass && SetWindowSubclass(handle_, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    if (parent) SetFont(reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)));
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
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Window*>(create->lpCreateParams);
        if (self) {
            self->handle_ = window;
            SetWrapper(window, self);
        }
    }
    Window* self = FromHandle(window);
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
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
    return DefWindowProcW(handle_, message, wParam, lParam);
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
    SetPixelBounds({Scaled(left), Scaled(top), Scaled(left + (width < 0 ? 0 : width)),
                    Scaled(top + (height < 0 ? 0 : height))});
}

void Window::SetPixelBounds(const RECT& r) {
    SetWindowPos(handle_, nullptr, r.left, r.top, r.right > r.left ? r.right - r.left : 0,
                 r.bottom > r.top ? r.bottom - r.top : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Window::Bounds() const {
    RECT r{};
    GetWindowRect(handle_, &r);
    HWND parent = GetParent(handle_);
    if (parent && (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return {Unscaled(r.left), Unscaled(r.top), Unscaled(r.right), Unscaled(r.bottom)};
}

RECT Window::ClientPixels() const {
    RECT r{};
    GetClientRect(handle_, &r);
    return r;
}

int Window::ClientWidth() const { return Unscaled(ClientPixels().right); }

int Window::ClientHeight() const { return Unscaled(ClientPixels().bottom); }

void Window::ApplyDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_) return;
    int old = dpi_;
    dpi_ = dpi;
    DpiChanged(old, dpi);
}

void Window::DpiChanged(int oldDpi, int newDpi) {
    if (!handle_ || !(GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD)) return;
    RECT r{};
    GetWindowRect(handle_, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
    SetPixelBounds({MulDiv(r.left, newDpi, oldDpi), MulDiv(r.top, newDpi, oldDpi), MulDiv(r.right, newDpi, oldDpi),
                    MulDiv(r.bottom, newDpi, oldDpi)});
}

void Window::SetVisible(bool visible) { ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE); }
bool Window::Visible() const { return IsWindowVisible(handle_) != FALSE; }
void Window::SetEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }

void Window::SetFont(HFONT font) { SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
HFONT Window::Font() const { return reinterpret_cast<HFONT>(SendMessageW(handle_, WM_GETFONT, 0, 0)); }

void Window::SetText(const std::string& text) { SetWindowTextW(handle_, Utf16(text).c_str()); }

std::string Window::Text() const {
    int length = GetWindowTextLengthW(handle_);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(handle_, buffer.data(), length + 1);
    return Utf8(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

int Window::TextWidth(const std::string& text) const { return Unscaled(TextPixels(text)); }

// A memory device context measures as the screen does, without the request
// for the window's visible region that GetDC makes.
int Window::TextPixels(const std::string& text) const { return TextMeasure(Font()).Width(text); }

TextMeasure::TextMeasure(HFONT font) : dc_(CreateCompatibleDC(nullptr)) {
    if (dc_) old_ = SelectObject(dc_.get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
}

TextMeasure::~TextMeasure() {
    if (dc_) SelectObject(dc_.get(), old_);
}

int TextMeasure::Width(const std::string& text) const {
    if (!dc_ || text.empty()) return 0;
    std::wstring wide = Utf16(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

}  // namespace widgets
