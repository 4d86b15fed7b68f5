// The window-less controls: a text label, a filled rectangle and a picture.
#pragma once

#include "widgets/Handle.h"
#include "widgets/Panel.h"

#include <functional>
#include <string>

namespace widgets {

enum class Alignment { Left, Right, Center };

class Label : public GraphicControl {
public:
    // Takes the container's font face and size; text black, left-aligned,
    // auto-sized and opaque.
    explicit Label(Container& parent, const std::string& text = {});

    void SetText(const std::string& text);
    const std::string& Text() const { return text_; }

    // An auto-sized right-aligned label keeps its right edge.
    void SetAlignment(Alignment alignment);
    void SetCenteredVertically(bool centered);
    void SetWordWrap(bool wrap);
    void SetAutoSize(bool autoSize);
    void SetTransparent(bool transparent);

    void SetFontHeight(int height);  // designed; negative: character height
    int FontHeight() const;          // designed
    void SetFontSize(int points);    // at the container's DPI
    void SetBold(bool bold);
    bool Bold() const { return font_.bold; }
    void SetItalic(bool italic);
    bool Italic() const { return font_.italic; }
    void SetUnderline(bool underline);
    bool Underline() const { return font_.underline; }
    void SetFontColor(COLORREF color);
    COLORREF FontColor() const { return fontColor_; }
    const std::string& FontFace() const { return font_.face; }

    // Text kept with the label; never shown as a tooltip.
    void SetHint(const std::string& hint) { hint_ = hint; }
    const std::string& Hint() const { return hint_; }

    std::function<void(Label& sender)> OnClick;
    std::function<void(Label& sender, int x, int y)> OnMouseMove;

    void Paint(HDC dc) override;
    void MouseMove(int x, int y) override;
    void Click() override;
    void DpiChanged(int oldDpi, int newDpi) override;

protected:
    void BoundsSet() override { AdjustBounds(); }

private:
    struct FontAttributes {
        std::string face;
        int height = -11;        // in pixels at the container's DPI
        int points = 0;          // when the size was given so
        int designedHeight = 0;  // when the height was given so (else the container's)
        bool bold = false;
        bool italic = false;
        bool underline = false;
    };
    void Rebuild();      // new font, new size
    HFONT InheritedFont() const;
    void AdjustBounds();
    UINT DrawFlags() const;

    std::string text_;
    std::string hint_;
    FontAttributes font_;
    UniqueGdiObject fontHandle_;
    COLORREF fontColor_ = color::Black;
    Alignment alignment_ = Alignment::Left;
    bool centeredVertically_ = false;
    bool wordWrap_ = false;
    bool autoSize_ = true;
    bool transparent_ = false;
};

// A rectangle with a fill and a one-pixel frame inside its bounds.
class Shape : public GraphicControl {
public:
    explicit Shape(Container& parent) : GraphicControl(parent) {}
    void SetBrushColor(COLORREF color);
    void SetPenColor(COLORREF color);
    void Paint(HDC dc) override;

private:
    COLORREF brush_ = color::White;
    COLORREF pen_ = color::Black;
};

// A bitmap drawn at the top left of the control or centred in it.
class Picture : public GraphicControl {
public:
    explicit Picture(Container& parent) : GraphicControl(parent) {}
    // Takes the bitmap over.
    void SetBitmap(UniqueGdiObject&& bitmap);
    bool HasBitmap() const { return static_cast<bool>(bitmap_); }
    SIZE BitmapSize() const { return size_; }
    void SetCentered(bool centered);
    void Paint(HDC dc) override;

private:
    UniqueGdiObject bitmap_;
    SIZE size_{0, 0};
    bool centered_ = false;
};

}  // namespace widgets
