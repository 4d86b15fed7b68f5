// Report-style list view with per-column width limits, an optional
// self-fitting column, a column whose texts the owner fits to its width,
// small icons, and rows that keep every sub-item text (also those beyond
// the last column).
#pragma once

#include "widgets/Handle.h"
#include "widgets/ToolTip.h"
#include "widgets/Window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace widgets {

class ImageList {
public:
    ImageList();
    ~ImageList();
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;
    HIMAGELIST Handle() const { return list_.get(); }
    // Adds a copy of the icon; -1 when it cannot be added (no icon).
    int AddIcon(HICON icon);
    // The image that every row showing this key's icon shares: a copy of the
    // icon added the first time the key comes, its index ever after (adding
    // is costly). Keys name icons that look the same; the icon must stay
    // what it was for as long as the key is asked for.
    int SharedImage(const std::string& key, HICON icon);
    // Images of another size: the list starts empty again.
    void SetIconSize(int size);
    int Count() const;
    // Images added in all image lists and not yet gone with them, for leak checks.
    static long LiveImages();

private:
    UniqueImageList list_;
    int size_ = 0;
    std::unordered_map<std::string, int> shared_;
};

// Widths and limits are designed ones.
struct ListColumn {
    std::string caption;
    int width = 50;
    int minWidth = 0;   // 0: none
    int maxWidth = 0;   // 0: none
    bool autoFit = false;
};

class ListView : public Window {
public:
    struct Options {
        bool fullRowSelect = false;
    };
    ListView(HWND parent, UINT_PTR id, const Options& options);
    ~ListView() override;

    void AddColumn(const ListColumn& column);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    int ColumnWidth(int index) const;
    // Clamped to the column's limits.
    void SetColumnWidth(int index, int width);
    const ListColumn& Column(int index) const { return columns_[static_cast<size_t>(index)]; }
    // A hidden column stays 0 wide: the list does not fit it to its size.
    void SetColumnHidden(int index, bool hidden);

    // The width a text may have in a column and still be drawn whole: the
    // column's width less the padding that the control keeps around it.
    int TextRoom(int index) const;
    // The texts of one column, fitted by the owner to the room the column
    // gives them: fit(row data, room). The list asks for a row's text before
    // it shows or hands it out, once for each room the column has (a resize,
    // a scroll bar, a dragged edge change it), and once for all rows with the
    // same data. The measure gives a text's width in the list's font, in the
    // room's units. An empty fit ends this.
    using TextMeasureFunction = std::function<int(const std::string& text)>;
    using TextFitter =
        std::function<std::string(const std::string& data, int room, const TextMeasureFunction& measure)>;
    void SetFittedColumn(int index, TextFitter fit);

    // At the small icon size of the list's DPI, also after it changes.
    void SetSmallImages(ImageList& images);

    // A text shown in the list's empty area while it has no rows (why it is
    // empty); not a row, so copying, finding and tips never see it. Replacing
    // the rows takes it away.
    void SetEmptyText(const std::string& text);
    const std::string& EmptyText() const { return emptyText_; }

    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Replaces every row by count new, empty ones, showing what emptying the
    // list and filling it again would show: nothing selected or focused, the
    // first rows in view. The rows are rewritten in place, so the control
    // hears of the count only when it changed (telling it costs as much when
    // it did not), and the scroll bar comes or goes only when the new count
    // needs it to.
    void ReplaceRows(int count);
    // Keeps the first count rows; new rows are empty.
    void SetRowCount(int count);
    // A row's whole content. Sub-item k is shown in column k + 1 when there
    // is such a column; the fitted column's sub-item is fitted from the data
    // when shown. The data is a text the program keeps with the row.
    void SetRow(int row, int image, std::vector<std::string> subItems, std::string data);
    void DeleteRow(int row);
    int ImageIndex(int row) const;
    std::string SubItem(int row, int subItem) const;
    std::string RowData(int row) const;
    int SubItemCount(int row) const;

    // Rows filled when first needed, for content that is costly to make:
    // each row has a key (a data text and a number the program keeps with
    // it), and the list calls the filler the first time anything else of the
    // row is drawn, found, copied, shown in a tip or read; the filler sets
    // the row (SetRow). Between messages, while none waits, the rest are
    // filled a few at a time, from the rows in view down, so that scrolling
    // finds them ready. Rows made by ReplaceRows(count) are not filled so.
    struct RowKey {
        std::string data;
        std::uintptr_t value = 0;
    };
    using RowFiller = std::function<void(int row)>;
    void SetRowFiller(RowFiller fill);
    // As ReplaceRows(count), one row per key. The content follows from the
    // key alone: a row whose key is the one its place had keeps its content.
    void ReplaceRows(std::vector<RowKey> keys);
    // Every row is filled anew when next needed (its image is gone).
    void RefillRows();
    bool RowFilled(int row) const;
    std::uintptr_t RowValue(int row) const;

    int SelectedRow() const;
    int FocusedRow() const;
    void SelectRow(int row);   // -1 selects nothing
    void FocusRow(int row);
    // Scrolls the list as little as it takes to show the whole row.
    void ScrollIntoView(int row);
    // The row at a point of the screen, in any of its cells; -1 for none.
    int RowAt(int screenX, int screenY) const;

    bool VerticalScrollBarShown() const;
    // Gives the self-fitting column the client width that the other
    // columns leave (the list does this itself whenever it changes size).
    void FitAutoColumn();
    // The same, leaving room for a vertical scroll bar.
    void FitAutoColumnBesideScrollBar();

    // Changes between the two are shown at the end; pairs nest.
    void BeginUpdate();
    void EndUpdate();

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void()> OnResize;
    // The context menu is asked for (right click, Shift+F10, the menu key):
    // the handler gets the screen position to open it at, the pointer's for
    // the mouse and the focused row's for the keys.
    std::function<void(int x, int y)> OnContextMenu;
    // The texts a row is found by when letters are typed into the list: the
    // control searches as it always does (letters typed in quick succession
    // join, the search starts after the focused row and wraps) and asks the
    // list, which matches the start of these texts, ignoring case. Unset,
    // a row is found by its caption.
    std::function<std::vector<std::string>(int row)> FindTexts;

    // The whole text of a cell: the row's data for the fitted column, the
    // cell's text for any other.
    std::string FullText(int row, int column) const;
    // The selected rows as lines of tab-separated cells, a line of column
    // captions first: the columns shown, in display order, with their whole
    // texts. A column without a caption (an icon column) holds no text and
    // is left out. Empty when no row is selected.
    std::string SelectedRowsText() const;

    bool OnNotify(NMHDR* header, LRESULT& result) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DpiChanged(int oldDpi, int newDpi) override;

private:
    // Column 0 shows only the image: the caption is always empty.
    struct Row {
        std::vector<std::string> subItems;
        int image = -1;
        std::string data;
        std::uintptr_t value = 0;
        int fittedRoom = -1;  // the room the fitted column's text was made for
        bool filled = true;
    };
    // The row, filled first when it waits for its content.
    Row& FilledRow(int row) const;
    void ShowNewRows(std::vector<Row> rows);
    void RowsToFill();
    // Fills the next row that waits; false when none is left.
    bool FillNextRow();
    int Clamp(int index, int width) const;
    int ColumnPixels(int index) const;
    void SetColumnPixels(int index, int pixels);
    int AutoColumn() const;
    int RoomBesideColumns(int autoIndex) const;
    void SyncCount();
    void RedrawRow(int row);
    const std::string& CellText(int row, int column) const;
    const std::string& FittedText(const std::string& data, int room) const;
    void ClampAllColumns();
    void DrawEmptyText(HDC dc) const;
    int MeasureTextPadding() const;
    void ContextMenu(LPARAM screenPoint);
    int FindRow(const std::wstring& text, int start, UINT flags) const;
    // Cut texts show whole in a tip when the pointer rests on their cell.
    struct Cell {
        int row = -1;
        int column = -1;
    };
    Cell CellAt(LPARAM clientPoint) const;
    void PointerMoved(LPARAM clientPoint);
    void PointerRested(LPARAM clientPoint);
    void HideCellTip();

    HWND header_ = nullptr;
    std::vector<ListColumn> columns_;
    std::vector<bool> hidden_;
    // Fitted texts are brought up to date when they are read.
    mutable std::vector<Row> rows_;
    int fittedColumn_ = -1;
    TextFitter fit_;
    // The fitted texts made for one room, by data: the same rows shown
    // again at the same room are not fitted anew.
    mutable std::unordered_map<std::string, std::string> fittedTexts_;
    mutable int fittedTextsRoom_ = -1;
    RowFiller fill_;
    // Rows waiting for their content, and where the filling between
    // messages goes on.
    mutable int rowsToFill_ = 0;
    int nextToFill_ = 0;
    // While the filler sets a row the list asked for, nothing is redrawn:
    // the row is being drawn or read already.
    mutable int filling_ = 0;
    ImageList* images_ = nullptr;
    int textPadding_ = 0;
    std::unique_ptr<TextMeasure> measure_;
    std::string emptyText_;
    int updateDepth_ = 0;
    // The row count the control was last told.
    int controlCount_ = 0;
    SIZE lastSize_{-1, -1};
    bool fitting_ = false;
    std::unique_ptr<ToolTip> tip_;
    Cell pointerCell_;
};

}  // namespace widgets
