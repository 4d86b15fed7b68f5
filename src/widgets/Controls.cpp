#include "widgets/Controls.h"

#include "widgets/Panel.h"

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
            char key = static_cast<char>(wParam);
            if (PreviewKeyInForm(Handle(), key)) return 0;
            wParam = static_cast<unsigned char>(key);
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

void Memo::Clear() { SetText(""); }

void Memo::AddLine(const std::string& line) {
    std::string text = Text();
    SetText(text + line + "\r\n");
}

std::vector<std::string> Memo::Lines() const {
    std::vector<std::string> lines;
    std::string text = Text();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void Memo::SetFontFace(const char* face, int height) {
    font_.reset(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, face));
    if (font_) SetFont(static_cast<HFONT>(font_.get()));
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
            char key = static_cast<char>(wParam);
            if (PreviewKeyInForm(Handle(), key)) return 0;
            wParam = static_cast<unsigned char>(key);
            break;
        }
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
