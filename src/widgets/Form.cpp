#include "widgets/Form.h"

#include "widgets/Application.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <algorithm>

namespace widgets {

namespace {
// The frame around a client area at a DPI (Windows 10 on), or at the system's.
void AdjustForDpi(RECT& r, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static SystemFunction<BOOL WINAPI(LPRECT, DWORD, BOOL, DWORD, UINT)> adjust(User32Library(), "AdjustWindowRectExForDpi");
    if (!adjust || !adjust.Get()(&r, style, menu, exStyle, static_cast<UINT>(dpi))) AdjustWindowRectEx(&r, style, menu, exStyle);
}
struct DpiChange {
    HFONT oldFont, newFont;
    int dpi;
};

BOOL CALLBACK ChangeChildDpi(HWND child, LPARAM param) {
    const auto* change = reinterpret_cast<const DpiChange*>(param);
    if (reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)) == change->oldFont)
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(change->newFont), FALSE);
    if (Window* wrapper = Window::FromHandle(child)) wrapper->ApplyDpi(change->dpi);
    return TRUE;
}
}  // namespace

Form::Form(std::string name, const FormStyle& style)
    : name_(std::move(name)),
      centerOnFirstShow_(style.centerOnFirstShow),
      fontFace_(style.fontFace),
      fontPoints_(style.fontPoints) {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    RegisterClass(style.className, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), icon);
    // Sized once it exists: only then does it know its monitor's DPI.
    CreateOwn(style.className, "", style.style, style.exStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, style.owner,
              nullptr);
    ApplyDpi(WindowDpi(Handle()));
    BuildFont();
    SetClientSize(style.clientWidth, style.clientHeight);
    if (font_) SetFont(static_cast<HFONT>(font_.get()));
}

void Form::BuildFont() {
    font_.reset(CreateFontW(FontHeightForDpi(fontPoints_, Dpi()), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, Utf16(fontFace_).c_str()));
}

void Form::SetClientSize(int width, int height) {
    RECT r{0, 0, Scaled(width), Scaled(height)};
    AdjustForDpi(r, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)), GetMenu(Handle()) != nullptr,
                 static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)), Dpi());
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::AlignBottom(Window& child, int height) {
    aligned_.push_back({&child, false, height});
    Realign();
}

void Form::AlignClient(Window& child) {
    aligned_.push_back({&child, true, 0});
    Realign();
}

void Form::SetAlignedHeight(Window& child, int height) {
    for (Aligned& entry : aligned_)
        if (entry.child == &child) entry.height = height;
    Realign();
}

int Form::AlignedHeight(const Window& child) const {
    for (const Aligned& entry : aligned_)
        if (entry.child == &child) return entry.height;
    return 0;
}

// In pixels, so that the controls meet without a gap at every scale.
void Form::Realign() {
    RECT rest = ClientPixels();
    for (const Aligned& entry : aligned_) {
        if (entry.client) continue;
        int height = Scaled(entry.height);
        entry.child->SetPixelBounds({rest.left, rest.bottom - height, rest.right, rest.bottom});
        rest.bottom -= height;
    }
    for (const Aligned& entry : aligned_)
        if (entry.client) entry.child->SetPixelBounds(rest);
}

// The new font goes to every control that shows the form's; each control
// then brings its own pixels to the new DPI, and the form takes the place
// the system suggests for it.
void Form::ChangeDpi(int dpi, const RECT& suggested) {
    HFONT oldFont = static_cast<HFONT>(font_.get());
    UniqueGdiObject keptAlive(font_.release());
    ApplyDpi(dpi);
    BuildFont();
    SetFont(static_cast<HFONT>(font_.get()));
    DpiChange change{oldFont, static_cast<HFONT>(font_.get()), dpi};
    EnumChildWindows(Handle(), ChangeChildDpi, reinterpret_cast<LPARAM>(&change));
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Realign();
    InvalidateRect(Handle(), nullptr, TRUE);
    if (OnDpiChanged) OnDpiChanged();
}

Form::~Form() {
    // The window goes before the font and menus it uses.
    if (Handle()) DestroyWindow(Handle());
}

void Form::SetMainMenu(Menu& menu) {
    mainMenu_ = &menu;
    // Keep the client size: the menu bar takes its height from the frame.
    RECT client = ClientPixels();
    SetMenu(Handle(), menu.Handle());
    menu.ReleaseToWindow();
    RECT r{0, 0, client.right, client.bottom};
    AdjustForDpi(r, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)), true,
                 static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)), Dpi());
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::AddPopupMenu(Menu& menu) { popupMenus_.push_back(&menu); }

void Form::AddShortcut(WORD virtualKey, MenuItem& item, BYTE modifiers) {
    shortcuts_.push_back({static_cast<BYTE>(FVIRTKEY | modifiers), virtualKey, static_cast<WORD>(item.Id())});
    shortcutTable_.reset(CreateAcceleratorTableW(shortcuts_.data(), static_cast<int>(shortcuts_.size())));
}

// A modal box disables this window and runs a loop of its own; the check is
// for the loops that this one lends itself to meanwhile.
bool Form::TranslateShortcut(MSG& message) {
    if (!shortcutTable_ || !IsWindowEnabled(Handle()) || GetActiveWindow() != Handle()) return false;
    if (message.hwnd != Handle() && !IsChild(Handle(), message.hwnd)) return false;
    return TranslateAcceleratorW(Handle(), shortcutTable_.get(), &message) != 0;
}

void Form::Show() {
    if (!shown_ && centerOnFirstShow_) {
        // On the work area of the monitor the window is on, so that it keeps
        // the scale it was laid out at; its title bar never above the screen.
        RECT r{};
        GetWindowRect(Handle(), &r);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        int width = r.right - r.left, height = r.bottom - r.top;
        SetWindowPos(Handle(), nullptr, std::max(work.left, work.left + (work.right - work.left - width) / 2),
                     std::max(work.top, work.top + (work.bottom - work.top - height) / 2), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    shown_ = true;
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
}

bool Form::PreviewKey(wchar_t& key) {
    if (OnKeyPress) OnKeyPress(key);
    return key == 0;
}

MenuItem* Form::FindMenuItem(UINT id) {
    if (mainMenu_)
        if (MenuItem* item = mainMenu_->FindById(id)) return item;
    for (Menu* menu : popupMenus_)
        if (MenuItem* item = menu->FindById(id)) return item;
    return nullptr;
}

MenuItem* Form::FindSubmenuOwner(HMENU submenu) {
    if (mainMenu_)
        if (MenuItem* item = mainMenu_->FindBySubmenu(submenu)) return item;
    for (Menu* menu : popupMenus_)
        if (MenuItem* item = menu->FindBySubmenu(submenu)) return item;
    return nullptr;
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (message) {
        case WM_COMMAND:
            // From a menu (0) or a shortcut (1).
            if (lParam == 0 && HIWORD(wParam) <= 1) {
                if (MenuItem* item = FindMenuItem(LOWORD(wParam))) {
                    item->Click();
                    return 0;
                }
            }
            if (ReflectToChild(message, wParam, lParam, result)) return result;
            break;
        case WM_NOTIFY:
            if (ReflectToChild(message, wParam, lParam, result)) return result;
            break;
        case WM_INITMENUPOPUP:
            if (MenuItem* item = FindSubmenuOwner(reinterpret_cast<HMENU>(wParam))) {
                item->Click();
                return 0;
            }
            for (Menu* menu : popupMenus_)
                if (menu->Handle() == reinterpret_cast<HMENU>(wParam) && menu->OnPopup) {
                    menu->OnPopup();
                    return 0;
                }
            break;
        case WM_SIZE:
            Realign();
            if (OnResize) OnResize();
            return 0;
        // The menu bar's and the popup menus' own loops.
        case WM_ENTERMENULOOP:
            Application::Instance().BeginHold();
            break;
        case WM_EXITMENULOOP:
            Application::Instance().EndHold();
            break;
        case WM_ENDSESSION:
            if (wParam && OnEndSession) OnEndSession();
            // The Restart Manager asks this program to close so that a file
            // it uses can be replaced; the session goes on and the process is
            // not ended for it.
            if (wParam && (lParam & ENDSESSION_CLOSEAPP)) Close();
            return 0;
        case WM_DPICHANGED:
            ChangeDpi(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_GETFONT:
            // Controls take their parent's font when they are created.
            return reinterpret_cast<LRESULT>(font_.get());
        case WM_CLOSE:
            if (OnCloseQuery && !OnCloseQuery()) return 0;
            if (Application::Instance().MainWindowHandle() == Handle()) {
                // The controller still reads the window at its destruction,
                // after the loop; the application destroys it last.
                ShowWindow(Handle(), SW_HIDE);
                PostQuitMessage(0);
            } else {
                DestroyWindow(Handle());
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (OnDeactivate) OnDeactivate();
            } else if (OnActivate) {
                OnActivate();
            }
            break;
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wParam);
            if (PreviewKey(key)) return 0;
            break;
        }
        case WM_NOTIFYFORMAT:
            // Controls notify this window in UTF-16.
            if (lParam == NF_QUERY) return NFR_UNICODE;
            break;
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
