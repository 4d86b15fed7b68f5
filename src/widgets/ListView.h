// Report-style list view with per-column width limits, an optional
// self-fitting column, a column whose texts the owner fits to its width,
// small icons, and rows that keep every sub-item text (also those beyond
// the last column).
#pragma once

#include "widgets/Handle.h"
#include "widgets/ToolTip.h"
#include "widgets/Window.h"

#include <functional>
#include <memory>
#include <string>
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
    void Clear();
    int Count() const;
    // Images added and not yet cleared in all image lists, for leak checks.
    static long LiveImages();

private:
    UniqueImageList list_;
};

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
    // gives them: fit(row data, room). A text set for that column counts as
    // fitted to the room of the moment; whenever the room has changed since
    // (a resize, a scroll bar, a dragged edge), the list asks for the text
    // again before it shows or hands it out. An empty fit ends this.
    using TextFitter = std::function<std::string(const std::string& data, int room)>;
    void SetFittedColumn(int index, TextFitter fit);

    void SetSmallImages(ImageList& images);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int AddRow();
    void DeleteRow(int row);
    void Clear();
    void SetCaption(int row, const std::string& text);
    void SetImageIndex(int row, int image);
    int ImageIndex(int row) const { return rows_[static_cast<size_t>(row)].image; }
    // Sub-item k is shown in column k + 1 when there is such a column.
    void AddSubItem(int row, const std::string& text);
    void SetSubItem(int row, int subItem, const std::string& text);
    std::string SubItem(int row, int subItem) const;
    // A text the program keeps with the row (not shown).
    void SetRowData(int row, const std::string& data) { rows_[static_cast<size_t>(row)].data = data; }
    std::string RowData(int row) const;
    int SubItemCount(int row) const { return static_cast<int>(rows_[static_cast<size_t>(row)].subItems.size()); }

    int SelectedRow() const;
    int FocusedRow() const;
    void SelectRow(int row);   // -1 selects nothing
    void FocusRow(int row);

    // Gives the self-fitting column the client width that the other
    // columns leave (the list does this itself whenever it changes size).
    void FitAutoColumn();

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

private:
    struct Row {
        std::string caption;
        std::vector<std::string> subItems;
        int image = -1;
        std::string data;
        int fittedRoom = -1;  // the room the fitted column's text was made for
    };
    int Clamp(int index, int width) const;
    void SyncCount();
    void RedrawRow(int row);
    const std::string& CellText(int row, int column) const;
    void ClampAllColumns();
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

    std::vector<ListColumn> columns_;
    std::vector<bool> hidden_;
    // Fitted texts are brought up to date when they are read.
    mutable std::vector<Row> rows_;
    int fittedColumn_ = -1;
    TextFitter fit_;
    int textPadding_ = 0;
    int updateDepth_ = 0;
    bool countChanged_ = false;
    SIZE lastSize_{-1, -1};
    bool fitting_ = false;
    std::unique_ptr<ToolTip> tip_;
    Cell pointerCell_;
};

}  // namespace widgets
