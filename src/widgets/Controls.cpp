#include "widgets/Controls.h"

#include "widgets/Panel.h"
#include "widgets/Utf16.h"

namespace widgets {

// ------------------------------------------------------------------- Button

Button::Button(HWND parent, UINT_PTR id, const std::string& caption, bool isDefault)
    : isDefault_(isDefault) {
    CreateControl("BUTTON", caption.c_str(),
                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                  0, parent, id);
}

bool Button::OnCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    if (OnClick) OnClick();
    return true;
}

LRESULT Button::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wParam);
            if (PreviewKeyInForm(Handle(), key)) return 0;
            wParam = key;
            break;
        }
        case WM_KEYDOWN:
            // No dialog manager runs these windows, so Enter is ours to handle.
            if (wParam == VK_RETURN && isDefault_) {
                if (OnClick) OnClick();
                return 0;
            }
            break;
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

// --------------------------------------------------------------------- Memo

Memo::Memo(HWND parent, UINT_PTR id) : background_(CreateSolidBrush(GetSysColor(COLOR_WINDOW))) {
    CreateControl("EDIT", "",
                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                      ES_AUTOVSCROLL,
                  0, parent, id);
}

void Memo::Clear() {
    SetText("");
    lineCount_ = 0;
}

// An empty text and a text of one empty line look the same; the count
// tells them apart.
void Memo::AddLine(const std::string& line) {
    SetText(lineCount_ == 0 ? line : Text() + "\r\n" + line);
    ++lineCount_;
}

void Memo::SetFontFace(const char* face, int points) {
    fontFace_ = face;
    fontPoints_ = points;
    BuildFont();
}

void Memo::BuildFont() {
    UniqueGdiObject font(CreateFontW(FontHeightForDpi(fontPoints_, Dpi()), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, Utf16(fontFace_).c_str()));
    if (!font) return;
    SetFont(static_cast<HFONT>(font.get()));
    // The control lets go of the old font before it is deleted.
    font_ = std::move(font);
}

void Memo::DpiChanged(int oldDpi, int newDpi) {
    Window::DpiChanged(oldDpi, newDpi);
    if (fontPoints_ > 0) BuildFont();
}

void Memo::SetFontColor(COLORREF color) {
    fontColor_ = color;
    InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT Memo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case ChildColorsMessage: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, fontColor_);
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(background_.get());
        }
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wParam);
            if (PreviewKeyInForm(Handle(), key)) return 0;
            wParam = key;
            break;
        }
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
