#include "widgets/Panel.h"

#include "widgets/Form.h"
#include "widgets/Handle.h"

#include <windowsx.h>

#include <algorithm>

namespace widgets {

namespace {
const char kContainerClass[] = "OvrelleContainer";
}

HFONT DefaultFont() {
    static UniqueGdiObject font(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                            L"MS Sans Serif"));
    return static_cast<HFONT>(font.get());
}

bool PreviewKeyInForm(HWND control, wchar_t& key) {
    auto* form = dynamic_cast<Form*>(Window::FromHandle(GetAncestor(control, GA_ROOT)));
    return form && form->PreviewKey(key);
}

// ------------------------------------------------------------ GraphicControl

GraphicControl::GraphicControl(Container& parent) : parent_(parent) { parent_.Attach(this); }

GraphicControl::~GraphicControl() {
    Invalidate();
    parent_.Detach(this);
}

void GraphicControl::SetBounds(int left, int top, int width, int height) {
    MoveTo(RECT{parent_.Scaled(left), parent_.Scaled(top), parent_.Scaled(left + std::max(width, 0)),
                parent_.Scaled(top + std::max(height, 0))});
    BoundsSet();
}

RECT GraphicControl::Bounds() const {
    return {parent_.Unscaled(bounds_.left), parent_.Unscaled(bounds_.top), parent_.Unscaled(bounds_.right),
            parent_.Unscaled(bounds_.bottom)};
}

void GraphicControl::DpiChanged(int oldDpi, int newDpi) {
    MoveTo({MulDiv(bounds_.left, newDpi, oldDpi), MulDiv(bounds_.top, newDpi, oldDpi),
            MulDiv(bounds_.right, newDpi, oldDpi), MulDiv(bounds_.bottom, newDpi, oldDpi)});
}

void GraphicControl::MoveTo(const RECT& bounds) {
    if (EqualRect(&bounds, &bounds_)) return;
    Invalidate();
    bounds_ = bounds;
    Invalidate();
}

void GraphicControl::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    Invalidate();
}

void GraphicControl::SetFillsParent(bool fills) {
    fills_ = fills;
    if (fills_) MoveTo(parent_.InnerPixels());
}

void GraphicControl::Invalidate() const {
    if (parent_.Handle()) InvalidateRect(parent_.Handle(), &bounds_, FALSE);
}

void GraphicControl::ParentResized(int deltaWidth, int deltaHeight, const RECT& inner) {
    if (fills_) {
        MoveTo(inner);
        return;
    }
    RECT r = bounds_;
    auto shift = [](LONG& low, LONG& high, bool keepLow, bool keepHigh, int delta) {
        if (keepLow && keepHigh) {
            high += delta;
        } else if (keepHigh) {
            low += delta;
            high += delta;
        } else if (!keepLow) {
            low += delta / 2;
            high += delta / 2;
        }
    };
    shift(r.left, r.right, anchors_ & AnchorLeft, anchors_ & AnchorRight, deltaWidth);
    shift(r.top, r.bottom, anchors_ & AnchorTop, anchors_ & AnchorBottom, deltaHeight);
    MoveTo(r);
}

// ----------------------------------------------------------------- Container

Container::Container(HWND parent, COLORREF color) : color_(color) {
    RegisterClass(kContainerClass, nullptr, nullptr);
    CreateOwn(kContainerClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0,
              0, 0, 0, 0, parent, nullptr);
    HFONT inherited = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
    font_ = inherited ? inherited : DefaultFont();
}

void Container::SetColor(COLORREF color) {
    color_ = color;
    InvalidateRect(Handle(), nullptr, FALSE);
}

RECT Container::InnerPixels() const { return ClientPixels(); }

RECT Container::InnerRect() const {
    RECT r = InnerPixels();
    return {Unscaled(r.left), Unscaled(r.top), Unscaled(r.right), Unscaled(r.bottom)};
}

// The controls first, so that the size the container then takes moves
// none of them by its anchors.
void Container::DpiChanged(int oldDpi, int newDpi) {
    size_ = SIZE{MulDiv(size_.cx, newDpi, oldDpi), MulDiv(size_.cy, newDpi, oldDpi)};
    for (GraphicControl* control : controls_) control->DpiChanged(oldDpi, newDpi);
    for (GraphicControl* control : controls_)
        if (control->FillsParent()) control->SetFillsParent(true);
    Window::DpiChanged(oldDpi, newDpi);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void Container::Detach(GraphicControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    if (pressed_ == control) pressed_ = nullptr;
}

GraphicControl* Container::ControlAt(POINT point) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if ((*it)->Visible() && PtInRect(&(*it)->PixelBounds(), point)) return *it;
    return nullptr;
}

void Container::PaintContent(HDC dc) {
    RECT client = ClientPixels();
    UniqueGdiObject background(CreateSolidBrush(color_));
    FillRect(dc, &client, static_cast<HBRUSH>(background.get()));
    PaintFrame(dc, client);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    for (GraphicControl* control : controls_) {
        if (!control->Visible()) continue;
        int saved = SaveDC(dc);
        const RECT& r = control->PixelBounds();
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        control->Paint(dc);
        RestoreDC(dc, saved);
    }
    SelectObject(dc, oldFont);
}

void Container::Resized(int width, int height) {
    int deltaWidth = width - size_.cx, deltaHeight = height - size_.cy;
    size_ = SIZE{width, height};
    if (deltaWidth || deltaHeight) {
        RECT inner = InnerPixels();
        for (GraphicControl* control : controls_) control->ParentResized(deltaWidth, deltaHeight, inner);
        InvalidateRect(Handle(), nullptr, FALSE);
    }
    if (OnResize) OnResize();
}

LRESULT Container::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectToChild(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            // Drawn off-screen first: the About box repaints while it fades.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            int width = ClientPixels().right, height = ClientPixels().bottom;
            if (width > 0 && height > 0) {
                UniqueDc memory(CreateCompatibleDC(dc));
                UniqueGdiObject bitmap(CreateCompatibleBitmap(dc, width, height));
                if (memory && bitmap) {
                    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
                    PaintContent(memory.get());
                    BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
                    SelectObject(memory.get(), old);
                } else {
                    PaintContent(dc);
                }
            }
            EndPaint(Handle(), &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintContent(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SIZE:
            Resized(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_SETFONT:
            font_ = wParam ? reinterpret_cast<HFONT>(wParam) : DefaultFont();
            if (LOWORD(lParam)) InvalidateRect(Handle(), nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == Handle() && LOWORD(lParam) == HTCLIENT) {
                POINT p;
                GetCursorPos(&p);
                ScreenToClient(Handle(), &p);
                GraphicControl* control = ControlAt(p);
                if (control && control->Cursor()) {
                    ::SetCursor(control->Cursor());
                    return TRUE;
                }
            }
            break;
        case WM_MOUSEMOVE: {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            GraphicControl* control = pressed_ ? pressed_ : ControlAt(p);
            if (control)
                control->MouseMove(Unscaled(p.x - control->PixelBounds().left),
                                   Unscaled(p.y - control->PixelBounds().top));
            else if (OnMouseMove)
                OnMouseMove(*this, p.x, p.y);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            pressed_ = ControlAt(p);
            if (pressed_) SetCapture(Handle());
            return 0;
        }
        case WM_LBUTTONUP: {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            GraphicControl* control = pressed_;
            pressed_ = nullptr;
            if (GetCapture() == Handle()) ReleaseCapture();
            // Last: a click may change or destroy what holds this container.
            if (control && PtInRect(&control->PixelBounds(), p)) control->Click();
            return 0;
        }
        case WM_CAPTURECHANGED:
            pressed_ = nullptr;
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            // A child that draws in its own colours answers for itself.
            if (Window* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
                LRESULT brush = SendMessageW(child->Handle(), ChildColorsMessage, wParam, 0);
                if (brush) return brush;
            }
            break;
        case WM_NOTIFYFORMAT:
            // Controls notify this window in UTF-16.
            if (lParam == NF_QUERY) return NFR_UNICODE;
            break;
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wParam);
            PreviewKeyInForm(Handle(), key);
            return 0;
        }
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

// --------------------------------------------------------------------- Panel

Panel::Panel(HWND parent, COLORREF color, Bevel outer, Bevel inner)
    : Container(parent, color), outer_(outer), inner_(inner) {}

RECT Panel::InnerPixels() const {
    RECT r = Container::InnerPixels();
    int frame = (outer_ != Bevel::None ? 1 : 0) + (inner_ != Bevel::None ? 1 : 0);
    InflateRect(&r, -frame, -frame);
    return r;
}

void Panel::PaintFrame(HDC dc, const RECT& client) {
    UINT edge = 0;
    if (outer_ == Bevel::Raised) edge |= BDR_RAISEDOUTER;
    if (outer_ == Bevel::Lowered) edge |= BDR_SUNKENOUTER;
    if (inner_ == Bevel::Raised) edge |= BDR_RAISEDINNER;
    if (inner_ == Bevel::Lowered) edge |= BDR_SUNKENINNER;
    if (!edge) return;
    RECT r = client;
    if (outer_ == Bevel::None || inner_ == Bevel::None) {
        DrawEdge(dc, &r, edge, BF_RECT);
        return;
    }
    DrawEdge(dc, &r, edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER), BF_RECT | BF_ADJUST);
    DrawEdge(dc, &r, edge & (BDR_RAISEDINNER | BDR_SUNKENINNER), BF_RECT);
}

void Panel::SetParent(Container* host) {
    if (!host) {
        ShowWindow(Handle(), SW_HIDE);
        // A child window needs some parent; a message-only one shows nothing.
        ::SetParent(Handle(), HWND_MESSAGE);
        return;
    }
    ::SetParent(Handle(), host->Handle());
    SetPixelBounds(host->InnerPixels());
    ShowWindow(Handle(), SW_SHOW);
}

Container* Panel::ParentContainer() const {
    if (!(GetWindowLongW(Handle(), GWL_STYLE) & WS_CHILD)) return nullptr;
    return dynamic_cast<Container*>(FromHandle(GetParent(Handle())));
}

}  // namespace widgets
