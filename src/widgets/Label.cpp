#include "widgets/Label.h"

#include "widgets/Utf16.h"

#include <cwchar>

namespace widgets {

namespace {

int DrawUtf8(HDC dc, const std::string& text, RECT* r, UINT flags) {
    std::wstring wide = Utf16(text);
    return DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), r, flags);
}

}  // namespace

// -------------------------------------------------------------------- Label

Label::Label(Container& parent, const std::string& text) : GraphicControl(parent), text_(text) {
    LOGFONTW base{};
    if (GetObjectW(InheritedFont(), sizeof base, &base)) {
        font_.face = Utf8UpToNul(base.lfFaceName, LF_FACESIZE);
        font_.bold = base.lfWeight >= FW_BOLD;
        font_.italic = base.lfItalic != 0;
        font_.underline = base.lfUnderline != 0;
    }
    Rebuild();
}

HFONT Label::InheritedFont() const {
    HFONT inherited = reinterpret_cast<HFONT>(SendMessageW(Parent().Handle(), WM_GETFONT, 0, 0));
    return inherited ? inherited : DefaultFont();
}

void Label::DpiChanged(int oldDpi, int newDpi) {
    GraphicControl::DpiChanged(oldDpi, newDpi);
    Rebuild();
}

void Label::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    AdjustBounds();
    Invalidate();
}

void Label::SetAlignment(Alignment alignment) {
    alignment_ = alignment;
    Invalidate();
}

void Label::SetCenteredVertically(bool centered) {
    centeredVertically_ = centered;
    Invalidate();
}

void Label::SetWordWrap(bool wrap) {
    wordWrap_ = wrap;
    AdjustBounds();
    Invalidate();
}

void Label::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    AdjustBounds();
}

void Label::SetTransparent(bool transparent) {
    transparent_ = transparent;
    Invalidate();
}

void Label::SetFontHeight(int height) {
    font_.designedHeight = height;
    font_.points = 0;
    Rebuild();
}

void Label::SetFontSize(int points) {
    font_.points = points;
    font_.designedHeight = 0;
    Rebuild();
}

int Label::FontHeight() const { return Parent().Unscaled(font_.height); }

void Label::SetBold(bool bold) {
    if (font_.bold == bold) return;
    font_.bold = bold;
    Rebuild();
}

void Label::SetItalic(bool italic) {
    if (font_.italic == italic) return;
    font_.italic = italic;
    Rebuild();
}

void Label::SetUnderline(bool underline) {
    if (font_.underline == underline) return;
    font_.underline = underline;
    Rebuild();
}

void Label::SetFontColor(COLORREF color) {
    if (fontColor_ == color) return;
    fontColor_ = color;
    Invalidate();
}

// The font at the container's DPI: from its points, its designed height, or
// the container's font.
void Label::Rebuild() {
    if (font_.points > 0) {
        font_.height = FontHeightForDpi(font_.points, Parent().Dpi());
    } else if (font_.designedHeight != 0) {
        font_.height = Parent().Scaled(font_.designedHeight);
    } else {
        LOGFONTW base{};
        font_.height = GetObjectW(InheritedFont(), sizeof base, &base) ? base.lfHeight : Parent().Scaled(-11);
    }
    LOGFONTW lf{};
    lf.lfHeight = font_.height;
    lf.lfWeight = font_.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font_.italic;
    lf.lfUnderline = font_.underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::wstring face = Utf16(font_.face);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    fontHandle_.reset(CreateFontIndirectW(&lf));
    AdjustBounds();
    Invalidate();
}

UINT Label::DrawFlags() const {
    UINT flags = DT_NOPREFIX | DT_EXPANDTABS;
    if (alignment_ == Alignment::Right) flags |= DT_RIGHT;
    if (alignment_ == Alignment::Center) flags |= DT_CENTER;
    if (wordWrap_) flags |= DT_WORDBREAK;
    return flags;
}

void Label::AdjustBounds() {
    if (!autoSize_) return;
    HDC dc = GetDC(nullptr);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, fontHandle_ ? fontHandle_.get() : DefaultFont());
    // An empty label keeps the height of one line.
    std::string measured = text_.empty() ? std::string(" ") : text_;
    RECT bounds = PixelBounds();
    RECT r{0, 0, wordWrap_ ? bounds.right - bounds.left : 0, 0};
    DrawUtf8(dc, measured, &r, DrawFlags() | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int width = wordWrap_ ? bounds.right - bounds.left : r.right - r.left;
    int height = r.bottom - r.top;
    if (alignment_ == Alignment::Right) {
        bounds.left = bounds.right - width;
    } else {
        bounds.right = bounds.left + width;
    }
    bounds.bottom = bounds.top + height;
    MoveTo(bounds);
}

void Label::Paint(HDC dc) {
    RECT r = PixelBounds();
    const int height = r.bottom - r.top;
    if (!transparent_) {
        UniqueGdiObject brush(CreateSolidBrush(Parent().Color()));
        FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    }
    HGDIOBJ old = SelectObject(dc, fontHandle_ ? fontHandle_.get() : DefaultFont());
    SetTextColor(dc, fontColor_);
    SetBkMode(dc, TRANSPARENT);
    if (centeredVertically_) {
        RECT calc = r;
        DrawUtf8(dc, text_, &calc, DrawFlags() | DT_CALCRECT);
        int textHeight = calc.bottom - calc.top;
        if (textHeight < height) r.top += (height - textHeight) / 2;
    }
    DrawUtf8(dc, text_, &r, DrawFlags());
    SelectObject(dc, old);
}

void Label::MouseMove(int x, int y) {
    if (OnMouseMove) OnMouseMove(*this, x, y);
}

void Label::Click() {
    if (OnClick) OnClick(*this);
}

// -------------------------------------------------------------------- Shape

void Shape::SetBrushColor(COLORREF color) {
    brush_ = color;
    Invalidate();
}

void Shape::SetPenColor(COLORREF color) {
    pen_ = color;
    Invalidate();
}

void Shape::Paint(HDC dc) {
    UniqueGdiObject pen(CreatePen(PS_INSIDEFRAME, 1, pen_));
    UniqueGdiObject brush(CreateSolidBrush(brush_));
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    HGDIOBJ oldBrush = SelectObject(dc, brush.get());
    const RECT& r = PixelBounds();
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

// ------------------------------------------------------------------ Picture

void Picture::SetBitmap(UniqueGdiObject&& bitmap) {
    bitmap_ = std::move(bitmap);
    BITMAP info{};
    if (bitmap_ && GetObjectW(bitmap_.get(), sizeof info, &info))
        size_ = SIZE{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
    else
        size_ = SIZE{0, 0};
    Invalidate();
}

void Picture::SetCentered(bool centered) {
    centered_ = centered;
    Invalidate();
}

void Picture::Paint(HDC dc) {
    if (!bitmap_) return;
    UniqueDc memory(CreateCompatibleDC(dc));
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory.get(), bitmap_.get());
    // Kept at its own size at every scale (centred, when asked).
    const RECT& r = PixelBounds();
    int x = r.left, y = r.top;
    if (centered_) {
        x += (r.right - r.left - size_.cx) / 2;
        y += (r.bottom - r.top - size_.cy) / 2;
    }
    BitBlt(dc, x, y, size_.cx, size_.cy, memory.get(), 0, 0, SRCCOPY);
    SelectObject(memory.get(), old);
}

}  // namespace widgets
