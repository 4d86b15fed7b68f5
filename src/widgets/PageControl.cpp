#include "widgets/PageControl.h"

#include "widgets/Utf16.h"

#include <algorithm>

namespace widgets {

PageControl::PageControl(HWND parent, UINT_PTR id) {
    CreateControl(WC_TABCONTROLA, "",
                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TCS_BUTTONS | TCS_FLATBUTTONS,
                  0, parent, id);
}

int PageControl::ActivePageIndex() const {
    return static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0));
}

void PageControl::SetActivePageIndex(int index) {
    if (index < 0 || index >= PageCount()) return;
    SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowActiveSheet();
}

RECT PageControl::DisplayRect() const {
    RECT r = ClientPixels();
    SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return r;
}

bool PageControl::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->code != TCN_SELCHANGE) return false;
    ShowActiveSheet();
    result = 0;
    return true;
}

LRESULT PageControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = DefaultHandling(message, wParam, lParam);
    if (message == WM_SIZE && !scaling_) ShowActiveSheet();
    return result;
}

// Its sheets are scaled after it, as every child is: placed now, they would
// be scaled twice.
void PageControl::DpiChanged(int oldDpi, int newDpi) {
    scaling_ = true;
    Window::DpiChanged(oldDpi, newDpi);
    scaling_ = false;
}

void PageControl::AddSheet(TabSheet* sheet, const std::string& caption) {
    std::wstring text = Utf16(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    SendMessageW(Handle(), TCM_INSERTITEMW, static_cast<WPARAM>(PageCount()),
                 reinterpret_cast<LPARAM>(&item));
    sheets_.push_back(sheet);
    if (ActivePageIndex() < 0) SendMessageW(Handle(), TCM_SETCURSEL, 0, 0);
    ShowActiveSheet();
}

void PageControl::RemoveSheet(TabSheet* sheet) {
    auto it = std::find(sheets_.begin(), sheets_.end(), sheet);
    if (it == sheets_.end()) return;
    if (Handle()) SendMessageW(Handle(), TCM_DELETEITEM, static_cast<WPARAM>(it - sheets_.begin()), 0);
    sheets_.erase(it);
}

void PageControl::ShowActiveSheet() {
    RECT r = DisplayRect();
    int active = ActivePageIndex();
    for (int i = 0; i < PageCount(); ++i) {
        TabSheet& sheet = Page(i);
        sheet.SetPixelBounds(r);
        sheet.SetVisible(i == active);
    }
}

TabSheet::TabSheet(PageControl& pageControl, const std::string& caption)
    : Container(pageControl.Handle(), GetSysColor(COLOR_BTNFACE)), pageControl_(pageControl) {
    SetVisible(false);
    pageControl_.AddSheet(this, caption);
}

TabSheet::~TabSheet() { pageControl_.RemoveSheet(this); }

}  // namespace widgets
