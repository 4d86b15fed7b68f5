#include "widgets/Menu.h"

#include "widgets/Utf16.h"

namespace widgets {

namespace {
UINT NextCommandId() {
    static UINT next = 1000;
    return next++;
}
}  // namespace

MenuItem::MenuItem(std::string name, std::string caption, int tag)
    : name_(std::move(name)), caption_(std::move(caption)), tag_(tag), id_(NextCommandId()) {}

void MenuItem::SetChecked(bool checked) {
    checked_ = checked;
    if (parent_) CheckMenuItem(parent_, id_, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MenuItem::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (parent_) EnableMenuItem(parent_, id_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

MenuItem& MenuItem::Add(const std::string& name, const std::string& caption, int tag) {
    if (!submenu_) {
        submenu_ = CreatePopupMenu();
        if (parent_) {
            // Turn the already appended command into a submenu entry.
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_SUBMENU;
            info.hSubMenu = submenu_;
            SetMenuItemInfoW(parent_, id_, FALSE, &info);
        }
    }
    items_.push_back(std::make_unique<MenuItem>(name, caption, tag));
    items_.back()->AppendTo(submenu_);
    return *items_.back();
}

void MenuItem::AppendTo(HMENU parent) {
    parent_ = parent;
    if (IsSeparator()) {
        AppendMenuW(parent, MF_SEPARATOR, id_, nullptr);
        return;
    }
    UINT flags = MF_STRING | (checked_ ? MF_CHECKED : MF_UNCHECKED) | (enabled_ ? MF_ENABLED : MF_GRAYED);
    std::wstring caption = Utf16(caption_);
    if (submenu_) AppendMenuW(parent, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu_), caption.c_str());
    else AppendMenuW(parent, flags, id_, caption.c_str());
    if (submenu_) {
        // Popup entries have no command id of their own; give them ours.
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        info.wID = id_;
        SetMenuItemInfoW(parent, static_cast<UINT>(GetMenuItemCount(parent) - 1), TRUE, &info);
    }
}

MenuItem* MenuItem::FindById(UINT id) {
    if (id_ == id) return this;
    for (auto& item : items_)
        if (MenuItem* found = item->FindById(id)) return found;
    return nullptr;
}

MenuItem* MenuItem::FindBySubmenu(HMENU submenu) {
    if (submenu_ && submenu_ == submenu) return this;
    for (auto& item : items_)
        if (MenuItem* found = item->FindBySubmenu(submenu)) return found;
    return nullptr;
}

Menu::Menu(bool popup) : handle_(popup ? CreatePopupMenu() : CreateMenu()) {}

MenuItem& Menu::Add(const std::string& name, const std::string& caption, int tag) {
    items_.push_back(std::make_unique<MenuItem>(name, caption, tag));
    items_.back()->AppendTo(handle_.get());
    return *items_.back();
}

MenuItem* Menu::FindById(UINT id) {
    for (auto& item : items_)
        if (MenuItem* found = item->FindById(id)) return found;
    return nullptr;
}

MenuItem* Menu::FindBySubmenu(HMENU submenu) {
    for (auto& item : items_)
        if (MenuItem* found = item->FindBySubmenu(submenu)) return found;
    return nullptr;
}

void Menu::Popup(HWND owner, int x, int y) {
    TrackPopupMenu(handle_.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
}

}  // namespace widgets
