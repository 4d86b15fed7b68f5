// Windowed controls: a push button and a read-only multi-line text box.
// Both hand typed characters to their form first (key preview).
#pragma once

#include "widgets/Handle.h"
#include "widgets/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace widgets {

class Button : public Window {
public:
    // The default button is also pressed by Enter while it has the focus.
    Button(HWND parent, UINT_PTR id, const std::string& caption, bool isDefault = false);
    bool IsDefault() const { return isDefault_; }

    std::function<void()> OnClick;

    bool OnCommand(WORD code) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool isDefault_;
};

// Read-only, no border, no word wrap; lines are kept as the control's text,
// separated by line breaks (none after the last line).
class Memo : public Window {
public:
    Memo(HWND parent, UINT_PTR id);

    void Clear();
    void AddLine(const std::string& line);

    void SetFontFace(const char* face, int points);
    void SetFontColor(COLORREF color);
    COLORREF FontColor() const { return fontColor_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DpiChanged(int oldDpi, int newDpi) override;

private:
    void BuildFont();
    UniqueGdiObject font_;
    std::string fontFace_;
    int fontPoints_ = 0;
    UniqueGdiObject background_;
    COLORREF fontColor_ = RGB(0, 0, 0);
    int lineCount_ = 0;
};

}  // namespace widgets
