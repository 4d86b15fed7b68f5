// Non-owning base of every window the program creates or wraps. The window
// procedure unpacks messages once, and no error crosses it: an error that
// no handler caught goes to the application's general error reporting.
//
// Sizes and positions that this layer takes and gives are designed sizes:
// pixels at 96 dots per inch. Each window turns them into pixels at the DPI
// it is shown at (that of its monitor), so the code above this layer reads
// like the design at every display scale.
#pragma once

#include "widgets/Handle.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace widgets {

// The DPI a window is shown at, as the system says (its monitor's from
// Windows 10 on, the system's before).
int WindowDpi(HWND window);
// A system metric (SM_CXSMICON, SM_CXVSCROLL...) at a DPI.
int SystemMetricForDpi(int index, int dpi);
inline int ScaleToDpi(int designed, int dpi) { return MulDiv(designed, dpi, 96); }
inline int ScaleFromDpi(int pixels, int dpi) { return MulDiv(pixels, 96, dpi); }
// The height of a font of so many points at a DPI, as a font takes it.
inline int FontHeightForDpi(int points, int dpi) { return -MulDiv(points, dpi, 72); }

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return handle_; }
    // The wrapper of a window created by this layer, or null.
    static Window* FromHandle(HWND window);

    // Designed sizes, in the parent's client coordinates.
    void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const;
    int ClientWidth() const;
    int ClientHeight() const;

    int Dpi() const { return dpi_; }
    // A designed size in pixels at this window's DPI, and back.
    int Scaled(int designed) const { return ScaleToDpi(designed, dpi_); }
    int Unscaled(int pixels) const { return ScaleFromDpi(pixels, dpi_); }
    // The window now shows at another DPI: what it keeps in pixels follows.
    void ApplyDpi(int dpi);

    // What the layer itself works in: pixels at the window's DPI.
    RECT ClientPixels() const;
    int TextPixels(const std::string& text) const;
    void SetPixelBounds(const RECT& bounds);
    void SetVisible(bool visible);
    bool Visible() const;
    void SetEnabled(bool enabled);
    void SetFont(HFONT font);
    HFONT Font() const;
    void SetText(const std::string& text);
    std::string Text() const;

    // Designed width of a text drawn in this window's font.
    int TextWidth(const std::string& text) const;

    // Notifications that the parent received from this control.
    virtual bool OnCommand(WORD /*code*/) { return false; }
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }

protected:
    // A window of a class registered by this layer.
    void CreateOwn(const char* className, const char* text, DWORD style, DWORD exStyle,
                   int left, int top, int width, int height, HWND parent, HMENU menuOrId);
    // A system control (list view, status bar...), subclassed so that its
    // messages reach HandleMessage too. One that handles none of its own
    // messages goes without: under Wine the subclass asks the server for
    // the window's properties at every message.
    void CreateControl(const char* className, const char* text, DWORD style, DWORD exStyle,
                       HWND parent, UINT_PTR id, bool subclass = true);
    static void RegisterClass(const char* className, HCURSOR cursor, HBRUSH background,
                              HICON icon = nullptr);

    // Called by ApplyDpi: the window moves and sizes itself in proportion
    // unless a container lays it out.
    virtual void DpiChanged(int oldDpi, int newDpi);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    // Hands WM_COMMAND and WM_NOTIFY from child controls to their wrappers.
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static LRESULT CALLBACK OwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    static LRESULT Guarded(Window* self, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    HWND handle_ = nullptr;
    bool subclassed_ = false;
    int dpi_ = 96;
};

// Measures texts in one font on a surface of its own, so that measuring
// many texts takes no window's surface for each.
class TextMeasure {
public:
    explicit TextMeasure(HFONT font);
    ~TextMeasure();
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;
    int Width(const std::string& text) const;

private:
    UniqueDc dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace widgets
