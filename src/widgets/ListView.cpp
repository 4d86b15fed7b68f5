#include "widgets/ListView.h"

#include "widgets/Application.h"
#include "widgets/Clipboard.h"
#include "widgets/Utf16.h"

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace widgets {

namespace {
std::atomic<long> liveImages{0};
// Re-clamps column widths after the user has dragged a column edge.
const UINT kClampColumns = WM_APP + 17;
// LVFI_SUBSTRING (newer than the headers): the same as LVFI_PARTIAL.
const UINT kFindSubstring = 0x0004;

// The text begins with the start (or is it, when whole), ignoring case.
bool BeginsWith(const std::string& text, const std::wstring& start, bool whole) {
    std::wstring wide = Utf16(text);
    if (wide.size() < start.size() || (whole && wide.size() != start.size())) return false;
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wide.c_str(), static_cast<int>(start.size()),
                          start.c_str(), static_cast<int>(start.size())) == CSTR_EQUAL;
}
}  // namespace

ImageList::ImageList() { SetIconSize(GetSystemMetrics(SM_CXSMICON)); }

ImageList::~ImageList() { liveImages -= Count(); }

void ImageList::SetIconSize(int size) {
    if (list_ && size == size_) return;
    liveImages -= Count();
    shared_.clear();
    size_ = size;
    list_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 16));
}

int ImageList::AddIcon(HICON icon) {
    if (reinterpret_cast<UINT_PTR>(icon) <= 1 || !list_) return -1;
    int index = ImageList_AddIcon(list_.get(), icon);
    if (index >= 0) ++liveImages;
    return index;
}

int ImageList::SharedImage(const std::string& key, HICON icon) {
    auto found = shared_.find(key);
    if (found != shared_.end()) return found->second;
    // An icon that cannot be added is not tried again either.
    int index = AddIcon(icon);
    shared_.emplace(key, index);
    return index;
}

int ImageList::Count() const { return list_ ? ImageList_GetImageCount(list_.get()) : 0; }

long ImageList::LiveImages() { return liveImages.load(); }

ListView::ListView(HWND parent, UINT_PTR id, const Options& options) {
    CreateControl(WC_LISTVIEWA, "",
                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT |
                      LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS |
                      LVS_OWNERDATA,
                  WS_EX_CLIENTEDGE, parent, id);
    DWORD extended = LVS_EX_DOUBLEBUFFER;
    if (options.fullRowSelect) extended |= LVS_EX_FULLROWSELECT;
    SendMessageW(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    header_ = reinterpret_cast<HWND>(SendMessageW(Handle(), LVM_GETHEADER, 0, 0));
}

ListView::~ListView() { Application::Instance().RemoveIdleWork(this); }

void ListView::AddColumn(const ListColumn& column) {
    columns_.push_back(column);
    hidden_.push_back(false);
    std::wstring caption = Utf16(column.caption);
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    lvc.pszText = &caption[0];
    lvc.cx = Scaled(Clamp(ColumnCount() - 1, column.width));
    lvc.iSubItem = ColumnCount() - 1;
    SendMessageW(Handle(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(ColumnCount() - 1),
                 reinterpret_cast<LPARAM>(&lvc));
}

int ListView::Clamp(int index, int width) const {
    const ListColumn& column = columns_[static_cast<size_t>(index)];
    if (width < 0) width = 0;
    // The control takes widths as 16-bit values.
    if (width > 32767) width = 32767;
    if (column.maxWidth > 0 && width > column.maxWidth) width = column.maxWidth;
    if (column.minWidth > 0 && width < column.minWidth) width = column.minWidth;
    return width;
}

// Asked of the header, which holds the widths of a report view: a message
// to the list itself passes its subclass, which under Wine asks the server
// for the window's properties three times (0.16 ms a message, where the
// header answers in a microsecond). The layout reads widths often.
int ListView::ColumnPixels(int index) const {
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    if (!SendMessageW(header_, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return 0;
    return item.cxy;
}

int ListView::ColumnWidth(int index) const { return Unscaled(ColumnPixels(index)); }

void ListView::SetColumnWidth(int index, int width) {
    if (index < 0 || index >= ColumnCount()) return;
    // A width set costs the header's notifications and a repaint, also when
    // it stays as it was (a dragged width reads as the designed one it is
    // nearest to).
    int clamped = Clamp(index, width);
    if (clamped == ColumnWidth(index)) return;
    SetColumnPixels(index, Scaled(clamped));
}

void ListView::SetColumnPixels(int index, int pixels) {
    const ListColumn& column = columns_[static_cast<size_t>(index)];
    if (pixels < 0) pixels = 0;
    if (pixels > 32767) pixels = 32767;
    if (column.maxWidth > 0 && pixels > Scaled(column.maxWidth)) pixels = Scaled(column.maxWidth);
    if (column.minWidth > 0 && pixels < Scaled(column.minWidth)) pixels = Scaled(column.minWidth);
    if (pixels == ColumnPixels(index)) return;
    SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), MAKELPARAM(pixels, 0));
}

void ListView::SetColumnHidden(int index, bool hidden) {
    if (index < 0 || index >= ColumnCount()) return;
    hidden_[static_cast<size_t>(index)] = hidden;
    if (hidden) SetColumnWidth(index, 0);
}

int ListView::TextRoom(int index) const { return ColumnPixels(index) - textPadding_; }

void ListView::SetFittedColumn(int index, TextFitter fit) {
    fit_ = std::move(fit);
    fittedColumn_ = fit_ ? index : -1;
    textPadding_ = fit_ ? MeasureTextPadding() : 0;
    measure_ = fit_ ? std::make_unique<TextMeasure>(Font()) : nullptr;
    for (Row& row : rows_) row.fittedRoom = -1;
    fittedTexts_.clear();
}

// The control's own sizing tells its padding: the width it gives a column
// to show one known text whole, less the width of that text.
int ListView::MeasureTextPadding() const {
    wchar_t sample[] = L"Path and filename";
    wchar_t none[] = L"";
    HWND probe = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 300, 60, GetParent(Handle()),
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!probe) return 0;
    SendMessageW(probe, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 50;
    SendMessageW(probe, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageW(probe, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = none;
    SendMessageW(probe, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = sample;
    SendMessageW(probe, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageW(probe, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(LVSCW_AUTOSIZE, 0));
    int padding = static_cast<int>(SendMessageW(probe, LVM_GETCOLUMNWIDTH, 1, 0)) -
                  static_cast<int>(SendMessageW(probe, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(sample)));
    DestroyWindow(probe);
    return padding > 0 ? padding : 0;
}

void ListView::SetEmptyText(const std::string& text) {
    if (text == emptyText_) return;
    emptyText_ = text;
    InvalidateRect(Handle(), nullptr, TRUE);
}

// Below the header, across the list, in the list's font and the colour of
// text that is not to be acted on.
void ListView::DrawEmptyText(HDC dc) const {
    RECT area{};
    GetClientRect(Handle(), &area);
    RECT header{};
    if (header_ && IsWindowVisible(header_) && GetWindowRect(header_, &header)) area.top += header.bottom - header.top;
    int margin = TextPixels("  ");
    InflateRect(&area, -margin, 0);
    area.top += margin;
    HGDIOBJ old = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    std::wstring text = Utf16(emptyText_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
}

void ListView::SetSmallImages(ImageList& images) {
    images_ = &images;
    images.SetIconSize(SystemMetricForDpi(SM_CXSMICON, Dpi()));
    SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.Handle()));
}

// The list holds no texts of its own (owner data): it asks for them when it
// draws, so filling a list costs no message per cell.
void ListView::ReplaceRows(int count) { ShowNewRows(std::vector<Row>(static_cast<size_t>(count))); }

void ListView::ReplaceRows(std::vector<RowKey> keys) {
    const bool sameCount = keys.size() == rows_.size();
    int firstChanged = RowCount();
    std::vector<Row> rows(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        Row& row = rows[i];
        if (i < rows_.size() && rows_[i].filled && rows_[i].data == keys[i].data && rows_[i].value == keys[i].value) {
            row = std::move(rows_[i]);
            continue;
        }
        row.data = std::move(keys[i].data);
        row.value = keys[i].value;
        row.filled = false;
        firstChanged = std::min(firstChanged, static_cast<int>(i));
    }
    ShowNewRows(std::move(rows));
    nextToFill_ = 0;
    if (updateDepth_ > 0) return;
    // Rows that show what they showed need no drawing (a new count has the
    // control draw them all).
    if (!sameCount) {
        InvalidateRect(Handle(), nullptr, TRUE);
    } else if (firstChanged < RowCount()) {
        int top = static_cast<int>(SendMessageW(Handle(), LVM_GETTOPINDEX, 0, 0));
        int last = std::min(RowCount() - 1, top + static_cast<int>(SendMessageW(Handle(), LVM_GETCOUNTPERPAGE, 0, 0)));
        if (std::max(firstChanged, top) <= last)
            SendMessageW(Handle(), LVM_REDRAWITEMS, static_cast<WPARAM>(std::max(firstChanged, top)), last);
    }
}

void ListView::ShowNewRows(std::vector<Row> rows) {
    SetEmptyText({});
    // Only the rows that have them: clearing a state on every row visits each.
    for (int row : {SelectedRow(), FocusedRow()}) {
        if (row < 0) continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(Handle(), LVM_SETSELECTIONMARK, 0, -1);
    rows_ = std::move(rows);
    RowsToFill();
    // A scroll bar that the new rows bring takes its room from the
    // self-fitting column: fitted before the rows come, that column's width
    // does not change with many rows in the list (which costs the control
    // a repaint of them and its scroll bars).
    if (RowCount() > controlCount_ && !VerticalScrollBarShown() &&
        RowCount() > SendMessageW(Handle(), LVM_GETCOUNTPERPAGE, 0, 0))
        FitAutoColumnBesideScrollBar();
    SyncCount();
    // Back to the first row, the horizontal position kept.
    int top = static_cast<int>(SendMessageW(Handle(), LVM_GETTOPINDEX, 0, 0));
    RECT first{};
    first.left = LVIR_BOUNDS;
    if (top > 0 && SendMessageW(Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)))
        SendMessageW(Handle(), LVM_SCROLL, 0, -top * (first.bottom - first.top));
}

void ListView::SetRowFiller(RowFiller fill) {
    fill_ = std::move(fill);
    RowsToFill();
}

void ListView::RefillRows() {
    if (!fill_) return;
    for (Row& row : rows_) {
        row.filled = false;
        row.fittedRoom = -1;
    }
    nextToFill_ = static_cast<int>(SendMessageW(Handle(), LVM_GETTOPINDEX, 0, 0));
    RowsToFill();
    InvalidateRect(Handle(), nullptr, TRUE);
}

bool ListView::RowFilled(int row) const {
    return row >= 0 && row < RowCount() && rows_[static_cast<size_t>(row)].filled;
}

std::uintptr_t ListView::RowValue(int row) const {
    if (row < 0 || row >= RowCount()) return 0;
    return rows_[static_cast<size_t>(row)].value;
}

void ListView::RowsToFill() {
    rowsToFill_ = static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& row) { return !row.filled; }));
    if (rowsToFill_ > 0 && fill_) Application::Instance().AddIdleWork(this, [this] { return FillNextRow(); });
    else Application::Instance().RemoveIdleWork(this);
}

ListView::Row& ListView::FilledRow(int row) const {
    Row& r = rows_[static_cast<size_t>(row)];
    if (r.filled) return r;
    // Marked first: a filler that fails leaves the row empty, not asked again
    // at every paint.
    r.filled = true;
    --rowsToFill_;
    if (fill_) {
        struct Filling {
            int& depth;
            ~Filling() { --depth; }
        } filling{++filling_};
        fill_(row);
    }
    return rows_[static_cast<size_t>(row)];
}

bool ListView::FillNextRow() {
    const int count = RowCount();
    for (int i = 0; i < count && rowsToFill_ > 0 && fill_; ++i) {
        int row = (nextToFill_ + i) % count;
        if (rows_[static_cast<size_t>(row)].filled) continue;
        nextToFill_ = row + 1;
        FilledRow(row);
        return rowsToFill_ > 0;
    }
    rowsToFill_ = 0;
    return false;
}

void ListView::SetRowCount(int count) {
    if (count < 0) count = 0;
    rows_.resize(static_cast<size_t>(count));
    RowsToFill();
    SyncCount();
}

void ListView::SetRow(int row, int image, std::vector<std::string> subItems, std::string data) {
    Row& r = rows_[static_cast<size_t>(row)];
    r.subItems = std::move(subItems);
    r.image = image;
    r.data = std::move(data);
    r.fittedRoom = -1;
    if (!r.filled) {
        r.filled = true;
        --rowsToFill_;
    }
    if (filling_ == 0) RedrawRow(row);
}

void ListView::DeleteRow(int row) {
    if (row < 0 || row >= RowCount()) return;
    rows_.erase(rows_.begin() + row);
    RowsToFill();
    // Moves the selection and focus of the rows behind it up by one.
    SendMessageW(Handle(), LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    controlCount_ = static_cast<int>(SendMessageW(Handle(), LVM_GETITEMCOUNT, 0, 0));
    SyncCount();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void ListView::SyncCount() {
    if (RowCount() == controlCount_) return;
    controlCount_ = RowCount();
    SendMessageW(Handle(), LVM_SETITEMCOUNT, static_cast<WPARAM>(controlCount_), LVSICF_NOSCROLL);
}

void ListView::RedrawRow(int row) {
    if (updateDepth_ == 0) SendMessageW(Handle(), LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
}

bool ListView::VerticalScrollBarShown() const { return (GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VSCROLL) != 0; }

const std::string& ListView::CellText(int row, int column) const {
    static const std::string empty;
    if (column == 0) return empty;
    Row& r = FilledRow(row);
    size_t k = static_cast<size_t>(column - 1);
    if (k >= r.subItems.size()) return empty;
    if (column == fittedColumn_ && fit_ && !r.data.empty()) {
        int room = TextRoom(column);
        if (r.fittedRoom != room) {
            r.subItems[k] = FittedText(r.data, room);
            r.fittedRoom = room;
        }
    }
    return r.subItems[k];
}

const std::string& ListView::FittedText(const std::string& data, int room) const {
    if (room != fittedTextsRoom_) {
        fittedTexts_.clear();
        fittedTextsRoom_ = room;
    }
    auto found = fittedTexts_.find(data);
    if (found == fittedTexts_.end()) {
        auto measure = [this](const std::string& text) { return measure_ ? measure_->Width(text) : 0; };
        found = fittedTexts_.emplace(data, fit_(data, room, measure)).first;
    }
    return found->second;
}

std::string ListView::SubItem(int row, int subItem) const {
    if (row < 0 || row >= RowCount() || subItem < 0) return {};
    return CellText(row, subItem + 1);
}

int ListView::ImageIndex(int row) const { return FilledRow(row).image; }

int ListView::SubItemCount(int row) const { return static_cast<int>(FilledRow(row).subItems.size()); }

std::string ListView::RowData(int row) const {
    if (row < 0 || row >= RowCount()) return {};
    return rows_[static_cast<size_t>(row)].data;
}

int ListView::SelectedRow() const {
    return static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int ListView::FocusedRow() const {
    return static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void ListView::SelectRow(int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (row < 0 || row >= RowCount()) return;
    item.state = LVIS_SELECTED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ListView::FocusRow(int row) {
    if (row < 0 || row >= RowCount()) return;
    LVITEMW item{};
    item.stateMask = LVIS_FOCUSED;
    item.state = LVIS_FOCUSED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ListView::ScrollIntoView(int row) {
    if (row >= 0 && row < RowCount()) SendMessageW(Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int ListView::RowAt(int screenX, int screenY) const {
    POINT client{screenX, screenY};
    ScreenToClient(Handle(), &client);
    return CellAt(MAKELPARAM(client.x, client.y)).row;
}

void ListView::BeginUpdate() { ++updateDepth_; }

void ListView::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) return;
    InvalidateRect(Handle(), nullptr, TRUE);
}

// In pixels: the columns then fill the list to the pixel at every scale.
int ListView::RoomBesideColumns(int autoIndex) const {
    int others = 0;
    for (int i = 0; i < ColumnCount(); ++i)
        if (i != autoIndex) others += ColumnPixels(i);
    return ClientPixels().right - others;
}

int ListView::AutoColumn() const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[static_cast<size_t>(i)].autoFit) return i;
    return -1;
}

void ListView::FitAutoColumn() {
    int autoIndex = AutoColumn();
    if (autoIndex < 0 || hidden_[static_cast<size_t>(autoIndex)]) return;
    fitting_ = true;
    SetColumnPixels(autoIndex, RoomBesideColumns(autoIndex));
    fitting_ = false;
}

void ListView::FitAutoColumnBesideScrollBar() {
    int autoIndex = AutoColumn();
    if (autoIndex < 0 || hidden_[static_cast<size_t>(autoIndex)]) return;
    // Counted from the width the list has without a bar: a bar it shows now
    // may go with the new rows, and one that comes takes its room from this
    // column when the list fits it (a width changed costs the control
    // milliseconds).
    int bar = SystemMetricForDpi(SM_CXVSCROLL, Dpi());
    int room = RoomBesideColumns(autoIndex) + (VerticalScrollBarShown() ? bar : 0) - bar;
    SetColumnPixels(autoIndex, room < 0 ? 0 : room);
}

// The columns before the size: the self-fitting one is fitted beside the
// others' new widths once, not scaled after its fit.
void ListView::DpiChanged(int oldDpi, int newDpi) {
    const int autoIndex = AutoColumn();
    for (int i = 0; i < ColumnCount(); ++i)
        if (i != autoIndex)
            SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                         MAKELPARAM(MulDiv(ColumnPixels(i), newDpi, oldDpi), 0));
    Window::DpiChanged(oldDpi, newDpi);
    FitAutoColumn();
    // Its rows' images are gone with the old list: rows filled when needed
    // are filled anew, others by their owner.
    if (images_) SetSmallImages(*images_);
    RefillRows();
    tip_.reset();
    for (Row& row : rows_) row.fittedRoom = -1;
    fittedTexts_.clear();
}

void ListView::ClampAllColumns() {
    for (int i = 0; i < ColumnCount(); ++i) {
        int width = ColumnWidth(i);
        if (Clamp(i, width) != width) SetColumnWidth(i, width);
    }
}

std::string ListView::FullText(int row, int column) const {
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return {};
    if (column == fittedColumn_ && !RowData(row).empty()) return RowData(row);
    return CellText(row, column);
}

std::string ListView::SelectedRowsText() const {
    std::vector<int> order(static_cast<size_t>(ColumnCount()));
    if (!SendMessageW(Handle(), LVM_GETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data())))
        std::iota(order.begin(), order.end(), 0);
    std::vector<int> shown;
    for (int column : order)
        if (ColumnWidth(column) > 0 && !Column(column).caption.empty()) shown.push_back(column);
    auto line = [&shown](const std::function<std::string(int column)>& cell) {
        std::string text;
        for (size_t i = 0; i < shown.size(); ++i) text += (i > 0 ? "\t" : "") + cell(shown[i]);
        return text + "\r\n";
    };
    std::string rows;
    for (int row = SelectedRow(); row >= 0;
         row = static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)))
        rows += line([this, row](int column) { return FullText(row, column); });
    if (rows.empty()) return {};
    return line([this](int column) { return Column(column).caption; }) + rows;
}

// Answers the control's search (typed letters, LVM_FINDITEM): rows from
// start on, on past the end to the first row when the search wraps.
int ListView::FindRow(const std::wstring& text, int start, UINT flags) const {
    // Rows carry no parameter to find them by.
    if ((flags & LVFI_PARAM) || text.empty()) return -1;
    bool whole = (flags & (LVFI_PARTIAL | kFindSubstring)) == 0;
    int count = RowCount();
    if (start < 0) start = 0;
    for (int i = 0; i < count; ++i) {
        int row = start + i;
        if (row >= count) {
            if (!(flags & LVFI_WRAP)) break;
            row -= count;
        }
        std::vector<std::string> texts = FindTexts ? FindTexts(row) : std::vector<std::string>{CellText(row, 0)};
        for (const std::string& candidate : texts)
            if (BeginsWith(candidate, text, whole)) return row;
    }
    return -1;
}

ListView::Cell ListView::CellAt(LPARAM clientPoint) const {
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)};
    SendMessageW(Handle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem < 0 || hit.iItem >= RowCount() || hit.iSubItem < 0 || hit.iSubItem >= ColumnCount()) return {};
    return {hit.iItem, hit.iSubItem};
}

// The pointer on a cell: its tip waits until the pointer rests there.
void ListView::PointerMoved(LPARAM clientPoint) {
    Cell cell = CellAt(clientPoint);
    bool sameCell = cell.row == pointerCell_.row && cell.column == pointerCell_.column;
    if (sameCell && tip_ && tip_->Showing()) return;
    if (!sameCell) {
        HideCellTip();
        pointerCell_ = cell;
    }
    if (cell.row < 0) return;
    // Asked at every move, not only on entering a cell: the pointer may have
    // left over the header or another window and come back to the same cell.
    // Leaving is watched only while a tip shows: Wine watches by polling the
    // pointer on a timer for as long as it is asked to.
    TRACKMOUSEEVENT track{sizeof track, TME_HOVER, Handle(), HOVER_DEFAULT};
    TrackMouseEvent(&track);
}

// A cell is cut when its whole text is wider than the room the control
// gives a text in its column (the control ends such a text with "...",
// and the fitted column holds a shortened form of it).
void ListView::PointerRested(LPARAM clientPoint) {
    Cell cell = CellAt(clientPoint);
    if (cell.row < 0 || cell.row != pointerCell_.row || cell.column != pointerCell_.column) return;
    std::string text = FullText(cell.row, cell.column);
    if (text.empty() || TextPixels(text) <= TextRoom(cell.column)) return;
    RECT rect{};
    rect.top = cell.column;
    rect.left = LVIR_BOUNDS;
    if (!SendMessageW(Handle(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(cell.row), reinterpret_cast<LPARAM>(&rect)))
        return;
    MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
    if (!tip_) tip_ = std::make_unique<ToolTip>(Handle());
    tip_->Show(text, rect);
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), HOVER_DEFAULT};
    TrackMouseEvent(&track);
}

void ListView::HideCellTip() {
    if (tip_ && tip_->Showing()) {
        tip_->Hide();
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_CANCEL, Handle(), HOVER_DEFAULT};
        TrackMouseEvent(&track);
    }
    pointerCell_ = {};
}

bool ListView::OnNotify(NMHDR* header, LRESULT& result) {
    switch (header->code) {
        // The parent asked for notifications in UTF-16 (WM_NOTIFYFORMAT).
        case LVN_ODFINDITEMW: {
            const auto* find = reinterpret_cast<NMLVFINDITEMW*>(header);
            bool byText = !(find->lvfi.flags & LVFI_PARAM) && find->lvfi.psz;
            result = FindRow(byText ? std::wstring(find->lvfi.psz) : std::wstring(), find->iStart, find->lvfi.flags);
            return true;
        }
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
            if (item.iItem < 0 || item.iItem >= RowCount()) return true;
            if (item.mask & LVIF_IMAGE) item.iImage = item.iSubItem == 0 ? ImageIndex(item.iItem) : -1;
            if (item.mask & LVIF_TEXT) Utf16Into(CellText(item.iItem, item.iSubItem), item.pszText, item.cchTextMax);
            return true;
        }
        case NM_CLICK:
            if (OnClick) OnClick();
            return true;
        case NM_DBLCLK:
            if (OnDblClick) OnDblClick();
            return true;
        default:
            return false;
    }
}

// A right click reaches here too: the control sends WM_CONTEXTMENU when its
// parent leaves NM_RCLICK unanswered. The keys send (-1, -1).
void ListView::ContextMenu(LPARAM screenPoint) {
    if (!OnContextMenu) return;
    POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (at.x == -1 && at.y == -1) {
        at = {0, 0};
        int row = FocusedRow();
        RECT rect{};
        rect.left = LVIR_LABEL;
        if (row >= 0) SendMessageW(Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        if (row >= 0 && SendMessageW(Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect)))
            at = {rect.left > 0 ? rect.left : 0, (rect.top + rect.bottom) / 2};
        ClientToScreen(Handle(), &at);
    }
    OnContextMenu(at.x, at.y);
}

LRESULT ListView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CONTEXTMENU:
            ContextMenu(lParam);
            return 0;
        case WM_SYSKEYDOWN:
            // Shift+F10 asks for the context menu here. Passed on, the key
            // would also take the window's menu bar when released (Wine).
            if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
                ContextMenu(-1);
                return 0;
            }
            break;
        case WM_SETFONT: {
            LRESULT result = DefaultHandling(message, wParam, lParam);
            if (fittedColumn_ >= 0) {
                textPadding_ = MeasureTextPadding();
                measure_ = std::make_unique<TextMeasure>(Font());
            }
            fittedTexts_.clear();
            // A tip keeps the font it was made with.
            tip_.reset();
            return result;
        }
        case WM_PAINT: {
            // Drawn only where the control painted over it: twice over
            // itself, a smoothed text darkens.
            HRGN painted = nullptr;
            if (rows_.empty() && !emptyText_.empty()) {
                painted = CreateRectRgn(0, 0, 0, 0);
                if (painted && GetUpdateRgn(Handle(), painted, FALSE) == ERROR) {
                    DeleteObject(painted);
                    painted = nullptr;
                }
            }
            LRESULT result = DefaultHandling(message, wParam, lParam);
            if (painted) {
                if (HDC dc = GetDC(Handle())) {
                    SelectClipRgn(dc, painted);
                    DrawEmptyText(dc);
                    ReleaseDC(Handle(), dc);
                }
                DeleteObject(painted);
            }
            return result;
        }
        case WM_PRINTCLIENT: {
            LRESULT result = DefaultHandling(message, wParam, lParam);
            if (rows_.empty() && !emptyText_.empty()) DrawEmptyText(reinterpret_cast<HDC>(wParam));
            return result;
        }
        case WM_SIZE: {
            LRESULT result = DefaultHandling(message, wParam, lParam);
            SIZE size{LOWORD(lParam), HIWORD(lParam)};
            if (size.cx != lastSize_.cx || size.cy != lastSize_.cy) {
                lastSize_ = size;
                FitAutoColumn();
                if (OnResize) OnResize();
            }
            return result;
        }
        case WM_NOTIFY: {
            // Header notifications: a dragged column edge is brought back
            // within its limits once the change has been made.
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == HDN_ITEMCHANGEDA || header->code == HDN_ITEMCHANGEDW ||
                header->code == HDN_ENDTRACKA || header->code == HDN_ENDTRACKW)
                PostMessageW(Handle(), kClampColumns, 0, 0);
            break;
        }
        case kClampColumns:
            ClampAllColumns();
            return 0;
        case WM_KEYDOWN:
            HideCellTip();
            if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
                std::string rows = SelectedRowsText();
                if (!rows.empty()) SetClipboardText(Handle(), rows);
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            PointerMoved(lParam);
            break;
        case WM_MOUSEHOVER:
            PointerRested(lParam);
            break;
        // Whatever moves the cells or the pointer away ends a tip; rows that
        // go take theirs with them.
        case WM_MOUSELEAVE:
        case WM_MOUSEWHEEL:
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case LVM_DELETEITEM:
        case LVM_DELETEALLITEMS:
        case LVM_SETITEMCOUNT:
            HideCellTip();
            break;
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
