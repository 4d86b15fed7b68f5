// Non-owning base of every window the program creates or wraps. The window
// procedure unpacks messages once, and no error crosses it: an error that
// no handler caught goes to the application's general error reporting.
#pragma once

#include "widgets/Handle.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace widgets {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return handle_; }
    // The wrapper of a window created by this layer, or null.
    static Window* FromHandle(HWND window);

    void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const;  // in the parent's client coordinates
    int ClientWidth() const;
    int ClientHeight() const;
    void SetVisible(bool visible);
    bool Visible() const;
    void SetEnabled(bool enabled);
    void SetFont(HFONT font);
    HFONT Font() const;
    void SetText(const std::string& text);
    std::string Text() const;

    // Pixel width of a text drawn in this window's font.
    int TextWidth(const std::string& text) const;

    // Notifications that the parent received from this control.
    virtual bool OnCommand(WORD /*code*/) { return false; }
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }

protected:
    // A window of a class registered by this layer.
    void CreateOwn(const char* className, const char* text, DWORD style, DWORD exStyle,
                   int left, int top, int width, int height, HWND parent, HMENU menuOrId);
    // A system control (list view, status bar...), subclassed so that its
    // messages reach HandleMessage too.
    void CreateControl(const char* className, const char* text, DWORD style, DWORD exStyle,
                       HWND parent, UINT_PTR id);
    static void RegisterClass(const char* className, HCURSOR cursor, HBRUSH background,
                              HICON icon = nullptr);

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
