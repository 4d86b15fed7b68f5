#include "widgets/MarkedListView.h"

#include "widgets/Panel.h"

namespace widgets {

MarkedListView::MarkedListView(HWND parent, UINT_PTR id, const Options& options) : ListView(parent, id, options) {
    BuildBoldFont();
}

void MarkedListView::BuildBoldFont() {
    LOGFONTW font{};
    HFONT current = Font();
    if (!GetObjectW(current ? static_cast<HGDIOBJ>(current) : GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font))
        return;
    font.lfWeight = FW_BOLD;
    boldFont_.reset(CreateFontIndirectW(&font));
}

bool MarkedListView::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->code == NM_RETURN) {
        if (OnEnter) OnEnter();
        return true;
    }
    if (header->code != static_cast<UINT>(NM_CUSTOMDRAW) || !LookOfRow) return ListView::OnNotify(header, result);
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    result = CDRF_DODEFAULT;
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        int row = static_cast<int>(draw->nmcd.dwItemSpec);
        RowLook look = row >= 0 && row < RowCount() ? LookOfRow(row) : RowLook::Plain;
        if (look == RowLook::Marked) {
            draw->clrText = MarkedColor;
            if (boldFont_) SelectObject(draw->nmcd.hdc, boldFont_.get());
            result = CDRF_NEWFONT;
        } else if (look == RowLook::Dimmed) {
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
            result = CDRF_NEWFONT;
        }
    }
    return true;
}

LRESULT MarkedListView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT: {
            LRESULT result = ListView::HandleMessage(message, wParam, lParam);
            BuildBoldFont();
            return result;
        }
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wParam);
            // Enter has been handled as a key; typed letters find rows.
            if (key == L'\r') return 0;
            if (PreviewKeyInForm(Handle(), key)) return 0;
            wParam = key;
            break;
        }
        default:
            break;
    }
    return ListView::HandleMessage(message, wParam, lParam);
}

}  // namespace widgets
