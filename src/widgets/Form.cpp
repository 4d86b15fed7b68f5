#include "widgets/Form.h"

#include "widgets/Application.h"
#include "widgets/Utf16.h"

namespace widgets {

Form::Form(std::string name, const FormStyle& style)
    : name_(std::move(name)), centerOnFirstShow_(style.centerOnFirstShow) {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    RegisterClass(style.className, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), icon);
    font_.reset(CreateFontW(style.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Utf16(style.fontFace).c_str()));
    RECT r{0, 0, style.clientWidth, style.clientHeight};
    AdjustWindowRectEx(&r, style.style, FALSE, style.exStyle);
    CreateOwn(style.className, "", style.style, style.exStyle, CW_USEDEFAULT, CW_USEDEFAULT,
              r.right - r.left, r.bottom - r.top, style.owner, nullptr);
    if (font_) SetFont(static_cast<HFONT>(font_.get()));
}

Form::~Form() {
    // The window goes before the font and menus it uses.
    if (Handle()) DestroyWindow(Handle());
}

void Form::SetMainMenu(Menu& menu) {
    mainMenu_ = &menu;
    // Keep the client size: the menu bar takes its height from the frame.
    RECT client{};
    GetClientRect(Handle(), &client);
    SetMenu(Handle(), menu.Handle());
    menu.ReleaseToWindow();
    RECT r{0, 0, client.right, client.bottom};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::AddPopupMenu(Menu& menu) { popupMenus_.push_back(&menu); }

void Form::AddShortcut(WORD virtualKey, MenuItem& item) {
    shortcuts_.push_back({FVIRTKEY, virtualKey, static_cast<WORD>(item.Id())});
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
        RECT r{};
        GetWindowRect(Handle(), &r);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        int width = r.right - r.left, height = r.bottom - r.top;
        SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                     work.top + (work.bottom - work.top - height) / 2, 0, 0,
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
            break;
        case WM_SIZE:
            if (OnResize) OnResize();
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
