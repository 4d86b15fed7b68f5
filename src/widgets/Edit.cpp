#include "widgets/Edit.h"

#include "widgets/Panel.h"
#include "widgets/Utf16.h"

namespace widgets {

namespace {
const wchar_t kSelectAll = 1;  // Ctrl+A
}

Edit::Edit(HWND parent, UINT_PTR id) {
    CreateControl("EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, parent, id);
}

void Edit::SetCueText(const std::string& text) {
    std::wstring wide = Utf16(text);
    SendMessageW(Handle(), EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Edit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

void Edit::Focus() { SetFocus(Handle()); }

LRESULT Edit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && OnEnter) {
                OnEnter();
                return 0;
            }
            break;
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wParam);
            // A one-line box takes no line break; the older ones know no Ctrl+A.
            if (key == L'\r' || key == L'\n') return 0;
            if (key == kSelectAll) {
                SelectAll();
                return 0;
            }
            if (PreviewKeyInForm(Handle(), key)) return 0;
            // Tab and Esc move or close; a box without a dialog manager would beep.
            if (key == L'\t' || key == 27) return 0;
            wParam = key;
            break;
        }
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
