// Main and popup menus with named, tagged, checkable items. A click on an
// item, or the opening of its submenu, calls the item's OnClick.
#pragma once

#include "widgets/Handle.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace widgets {

class MenuItem {
public:
    MenuItem(std::string name, std::string caption, int tag);
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    int Tag() const { return tag_; }
    UINT Id() const { return id_; }
    bool IsSeparator() const { return caption_ == "-"; }

    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    // A disabled item shows grey and cannot be chosen.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // Adds an item to this item's submenu; "-" as caption is a separator.
    MenuItem& Add(const std::string& name, const std::string& caption, int tag = 0);
    const std::vector<std::unique_ptr<MenuItem>>& Items() const { return items_; }
    HMENU Submenu() const { return submenu_; }

    // The handler gets the item that was clicked.
    std::function<void(MenuItem&)> OnClick;
    void Click() {
        if (OnClick) OnClick(*this);
    }

    // The item with the command id, or the item whose submenu is the handle.
    MenuItem* FindById(UINT id);
    MenuItem* FindBySubmenu(HMENU submenu);

private:
    friend class Menu;
    void AppendTo(HMENU parent);

    std::string name_;
    std::string caption_;
    int tag_;
    UINT id_;
    bool checked_ = false;
    bool enabled_ = true;
    HMENU parent_ = nullptr;
    HMENU submenu_ = nullptr;  // owned by the menu tree it is part of
    std::vector<std::unique_ptr<MenuItem>> items_;
};

// A menu bar (popup false) or a popup menu; owns its items and handles.
class Menu {
public:
    explicit Menu(bool popup);
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    MenuItem& Add(const std::string& name, const std::string& caption, int tag = 0);
    HMENU Handle() const { return handle_.get(); }
    MenuItem* FindById(UINT id);
    MenuItem* FindBySubmenu(HMENU submenu);
    // Opens a popup menu at a screen position; its commands go to owner.
    void Popup(HWND owner, int x, int y);
    // The popup menu is about to open (the form that dispatches its
    // commands calls it): the items can be brought up to date.
    std::function<void()> OnPopup;
    // A menu bar that is set on a window is destroyed with the window.
    void ReleaseToWindow() { handle_.release(); }

private:
    UniqueMenu handle_;
    std::vector<std::unique_ptr<MenuItem>> items_;
};

}  // namespace widgets
