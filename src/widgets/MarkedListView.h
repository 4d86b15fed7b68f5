// A list view whose rows the owner may draw marked (bold, in a colour of
// their own, to stand out among the others) or dimmed (grey: a row that
// says why there is no result), and that hands its owner Enter and, through
// its form's key preview, the keys a list view leaves alone (Tab, Esc).
#pragma once

#include "widgets/Handle.h"
#include "widgets/ListView.h"

#include <functional>

namespace widgets {

class MarkedListView : public ListView {
public:
    enum class RowLook { Plain, Marked, Dimmed };
    static constexpr COLORREF MarkedColor = RGB(176, 0, 0);

    MarkedListView(HWND parent, UINT_PTR id, const Options& options);

    // Asked for each row as it is drawn; unset, every row is plain.
    std::function<RowLook(int row)> LookOfRow;
    // Enter was pressed in the list.
    std::function<void()> OnEnter;

    bool OnNotify(NMHDR* header, LRESULT& result) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildBoldFont();
    UniqueGdiObject boldFont_;
};

}  // namespace widgets
