// Containers and the window-less controls they host. A container paints
// its labels, shapes and pictures itself and hands them the mouse, so a
// transparent label can lie over a picture; a panel adds bevels and can be
// moved from one container into another.
#pragma once

#include "widgets/Window.h"

#include <functional>
#include <vector>

namespace widgets {

namespace color {
inline constexpr COLORREF Black = RGB(0, 0, 0);
inline constexpr COLORREF White = RGB(255, 255, 255);
inline constexpr COLORREF Blue = RGB(0, 0, 255);
inline constexpr COLORREF Navy = RGB(0, 0, 128);
inline constexpr COLORREF Maroon = RGB(128, 0, 0);
inline constexpr COLORREF Gray = RGB(128, 128, 128);
inline constexpr COLORREF Silver = RGB(192, 192, 192);
}  // namespace color

// Which edges of its container a control keeps its distance to when the
// container changes size; left and right together stretch it.
enum Anchor : unsigned { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };

// Asked of a child window when it is about to draw (WM_CTLCOLOR...): wParam is
// its DC; a child that keeps its own colours sets them and answers a brush.
inline constexpr UINT ChildColorsMessage = WM_APP + 0x300;

class Container;

// A control without a window: its container paints it and hands it the
// mouse. Controls go before their container (declare them after it).
class GraphicControl {
public:
    explicit GraphicControl(Container& parent);
    virtual ~GraphicControl();
    GraphicControl(const GraphicControl&) = delete;
    GraphicControl& operator=(const GraphicControl&) = delete;

    Container& Parent() const { return parent_; }

    // Designed, in the container's client coordinates.
    void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const;
    int Left() const { return Bounds().left; }
    int Top() const { return Bounds().top; }
    int Width() const { return Bounds().right - Bounds().left; }
    int Height() const { return Bounds().bottom - Bounds().top; }
    // In pixels at the container's DPI, as it paints.
    const RECT& PixelBounds() const { return bounds_; }

    void SetVisible(bool visible);
    bool Visible() const { return visible_; }
    void SetAnchors(unsigned anchors) { anchors_ = anchors; }
    unsigned Anchors() const { return anchors_; }
    // Keeps the control on the container's whole inner area.
    void SetFillsParent(bool fills);
    bool FillsParent() const { return fills_; }
    // Null: the container's arrow.
    void SetCursor(HCURSOR cursor) { cursor_ = cursor; }
    HCURSOR Cursor() const { return cursor_; }

    void Invalidate() const;

    virtual void Paint(HDC dc) = 0;
    // Mouse input in the control's own coordinates, designed.
    virtual void MouseMove(int /*x*/, int /*y*/) {}
    virtual void Click() {}
    // The container shows at another DPI: the control keeps its designed
    // place, in the new pixels.
    virtual void DpiChanged(int oldDpi, int newDpi);

protected:
    // Changes the bounds as they are (auto-size, anchoring).
    void MoveTo(const RECT& bounds);
    // After SetBounds: a control that sizes itself does it here.
    virtual void BoundsSet() {}

private:
    friend class Container;
    void ParentResized(int deltaWidth, int deltaHeight, const RECT& inner);

    Container& parent_;
    RECT bounds_{};
    bool visible_ = true;
    unsigned anchors_ = AnchorLeft | AnchorTop;
    bool fills_ = false;
    HCURSOR cursor_ = nullptr;
};

class Container : public Window {
public:
    COLORREF Color() const { return color_; }
    void SetColor(COLORREF color);
    // The window-less controls in creation order (the last lies on top).
    const std::vector<GraphicControl*>& Controls() const { return controls_; }
    // The client area less the frame, where filling controls go: designed,
    // and in pixels.
    RECT InnerRect() const;
    virtual RECT InnerPixels() const;

    // The mouse moved over the container where no control of it lies.
    std::function<void(Container& sender, int x, int y)> OnMouseMove;
    std::function<void()> OnResize;

protected:
    Container(HWND parent, COLORREF color);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DpiChanged(int oldDpi, int newDpi) override;
    virtual void PaintFrame(HDC /*dc*/, const RECT& /*client*/) {}

private:
    friend class GraphicControl;
    void Attach(GraphicControl* control) { controls_.push_back(control); }
    void Detach(GraphicControl* control);
    GraphicControl* ControlAt(POINT point) const;
    void PaintContent(HDC dc);
    void Resized(int width, int height);

    std::vector<GraphicControl*> controls_;
    COLORREF color_;
    HFONT font_ = nullptr;
    SIZE size_{0, 0};
    GraphicControl* pressed_ = nullptr;
};

class Panel : public Container {
public:
    enum class Bevel { None, Raised, Lowered };
    Panel(HWND parent, COLORREF color, Bevel outer = Bevel::None, Bevel inner = Bevel::None);

    RECT InnerPixels() const override;

    // Moves the panel into another container, where it fills the inner
    // area and shows; null takes it out of every container and hides it.
    void SetParent(Container* host);
    // The container holding the panel, or null.
    Container* ParentContainer() const;

protected:
    void PaintFrame(HDC dc, const RECT& client) override;

private:
    Bevel outer_;
    Bevel inner_;
};

// Hands a character typed in a control to the form that holds it, which
// previews every key. True when the form swallowed the key.
bool PreviewKeyInForm(HWND control, wchar_t& key);

// "MS Sans Serif" 8 pt, for containers whose parent gives them no font.
HFONT DefaultFont();

}  // namespace widgets
