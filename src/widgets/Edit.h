// A one-line text box. The characters typed in it go to its form first
// (key preview), as those of the other controls do; Enter is the owner's.
#pragma once

#include "widgets/Window.h"

#include <functional>
#include <string>

namespace widgets {

class Edit : public Window {
public:
    Edit(HWND parent, UINT_PTR id);

    // A grey hint that shows while the box is empty and not focused.
    void SetCueText(const std::string& text);
    void SelectAll();
    void Focus();

    // Enter was pressed in the box.
    std::function<void()> OnEnter;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace widgets
