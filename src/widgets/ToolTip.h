// A tip window of the program's own that shows one text where its owner
// says, for texts that a control cuts. Wine's list view asks for an info
// tip and never shows it; a tip of our own shows the same everywhere.
#pragma once

#include "widgets/Handle.h"

#include <string>

namespace widgets {

class ToolTip {
public:
    // The tip takes the owner's font, so its text reads as the owner's does.
    explicit ToolTip(HWND owner);

    // Shows the text just below a screen rectangle (above it when the
    // screen ends below), its left edge at the rectangle's as far as the
    // screen allows. The tip never covers the rectangle, so the pointer
    // resting there stays on the owner.
    void Show(const std::string& text, const RECT& beside);
    void Hide();
    bool Showing() const { return showing_; }

private:
    TTTOOLINFOW Tool(const wchar_t* text) const;

    HWND owner_;
    UniqueWindow tip_;
    bool showing_ = false;
};

}  // namespace widgets
