// A top-level window: caption, font, menus, child controls aligned to its
// edges, and the events the owner attaches (resize, close, activation, keys,
// a new display scale).
#pragma once

#include "widgets/Handle.h"
#include "widgets/Menu.h"
#include "widgets/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace widgets {

struct FormStyle {
    DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    int clientWidth = 400;  // designed
    int clientHeight = 300;
    bool centerOnFirstShow = true;
    const char* fontFace = "MS Sans Serif";
    int fontPoints = 8;
    const char* className = "OvrelleForm";
    HWND owner = nullptr;
};

class Form : public Window {
public:
    Form(std::string name, const FormStyle& style);
    ~Form() override;

    // The component name, also the prefix of its placement values.
    const std::string& Name() const { return name_; }

    void SetMainMenu(Menu& menu);

    // Children aligned to the bottom edge stack upwards in the order they
    // are aligned, each its designed height high; the one aligned to the
    // client area takes what they leave. The form lays them out in pixels
    // whenever it changes size.
    void AlignBottom(Window& child, int height);
    void AlignClient(Window& child);
    // A new designed height for a child aligned to the bottom.
    void SetAlignedHeight(Window& child, int height);
    int AlignedHeight(const Window& child) const;
    // A popup menu whose commands this form dispatches.
    void AddPopupMenu(Menu& menu);
    // A key that runs a menu item's command while this window is active and
    // enabled, wherever its focus is. The item's caption does not change.
    // The modifiers are FCONTROL, FSHIFT, FALT, or none.
    void AddShortcut(WORD virtualKey, MenuItem& item, BYTE modifiers = 0);
    // Called by the message loop for every message before it is handled:
    // true when the message was a shortcut and its command has run.
    bool TranslateShortcut(MSG& message);

    // Shows the window; the first time it is centred if the style says so.
    void Show();
    void Close() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }
    bool Sizeable() const { return (GetWindowLongW(Handle(), GWL_STYLE) & WS_THICKFRAME) != 0; }

    std::function<void()> OnResize;
    // The form was moved to a monitor of another scale, or the scale changed:
    // it and its controls are laid out again at the new DPI, with new fonts,
    // and what it shows in pixels of the old (icons) is the owner's to renew.
    std::function<void()> OnDpiChanged;
    // The session ends (not when an end is cancelled): the system ends the
    // process as soon as this returns, with no close on the way. Also when
    // the Restart Manager asks the program to close; the form then closes.
    std::function<void()> OnEndSession;
    // Return false to refuse the close; the window then stays.
    std::function<bool()> OnCloseQuery;
    std::function<void()> OnActivate;
    std::function<void()> OnDeactivate;
    // A character (a UTF-16 unit) typed while the form or one of its controls has the focus,
    // seen before the control (the form previews keys). Set the key to 0 to
    // swallow it.
    std::function<void(wchar_t& key)> OnKeyPress;

    // Routes a WM_CHAR of a child control through OnKeyPress; the control
    // wrappers that take the focus call it.
    bool PreviewKey(wchar_t& key);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    MenuItem* FindMenuItem(UINT id);
    void BuildFont();
    void SetClientSize(int width, int height);
    void Realign();
    void ChangeDpi(int dpi, const RECT& suggested);
    MenuItem* FindSubmenuOwner(HMENU submenu);

    std::string name_;
    bool centerOnFirstShow_;
    bool shown_ = false;
    UniqueGdiObject font_;
    std::string fontFace_;
    int fontPoints_;
    struct Aligned {
        Window* child;
        bool client;
        int height;  // designed, for the bottom ones
    };
    std::vector<Aligned> aligned_;
    Menu* mainMenu_ = nullptr;
    std::vector<Menu*> popupMenus_;
    std::vector<ACCEL> shortcuts_;
    UniqueAccelerators shortcutTable_;
};

}  // namespace widgets
