// Using windows of this process as a person does: menu commands through the
// real menus, clicks at a row's rectangle, keys as real input, and reading
// what the controls show (cell texts, column widths, menu checks, the popup
// menu while it is open).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Handles this thread's messages for a while.
void Pump(int milliseconds = 60);
// Handles messages until the condition holds or the time is up; reports it.
bool PumpUntil(const std::function<bool()>& condition, int milliseconds = 10000);

// A command of a menu, found by its captions from the menu down ("&Items",
// "&Version"): the submenus on the way are opened as the menu opens them
// (WM_INITMENUPOPUP to the owner), then the item's own id is sent as
// WM_COMMAND. Fails the test when there is no such item.
void ChooseMenuItem(HWND owner, HMENU menu, const std::vector<std::string>& captions);
// The submenu under a caption (opened as above), or null.
HMENU OpenSubmenu(HWND owner, HMENU menu, const std::string& caption);
std::vector<std::string> MenuCaptions(HMENU menu);  // "-" for a separator
bool MenuItemChecked(HMENU menu, int position);

// What a list view shows, asked of the control.
int RowCount(HWND list);
std::string CellText(HWND list, int row, int column);
int ColumnWidth(HWND list, int column);
int ColumnCount(HWND list);
std::string ColumnCaption(HWND list, int column);
int SelectedRow(HWND list);
int FocusedRow(HWND list);
// The first row whose cell reads the text, or -1.
int FindRow(HWND list, int column, const std::string& text);
// The rows that the list shows at present.
std::vector<int> VisibleRows(HWND list);
bool Scrolls(HWND list);

// Mouse input at the middle of a row's rectangle (scrolled into view first,
// as a person scrolls to it), and at a point of a window's client area.
void ClickRow(HWND list, int row);
void DoubleClickRow(HWND list, int row);
void RightClickRow(HWND list, int row);  // real input: the pointer moves there
// Presses the left button at one client point, moves to another, releases.
void Drag(HWND window, POINT from, POINT to);
// A key (with Shift when asked) as real keyboard input to the focused window.
void PressKey(WORD key, bool shift = false);
// Keys held down in order and let go in reverse ({VK_CONTROL, 'C'}).
void PressChord(const std::vector<WORD>& keys);
// Lower-case letters and digits typed as real keyboard input, at once.
void TypeLetters(const std::string& letters);
// The pointer moved to a client point of a window as a real mouse move.
void MovePointer(HWND window, POINT client);
// The middle of a list view's cell (the row scrolled into view first).
POINT CellMiddle(HWND list, int row, int column);

// The clipboard's Unicode text as UTF-8; empty when it holds none.
std::string ClipboardText();
void EmptyTheClipboard();
// The text of the tip window of this thread that shows at present, or
// empty when none does.
std::string ShownTip();

// Runs the action and, while a popup menu of this thread is open, reads the
// menu's screen rectangle and closes it. Also tells whether the window's
// menu bar went into its keyboard mode (which is then ended).
struct PopupSeen {
    bool opened = false;
    RECT rect{};
    bool menuBarEntered = false;
};
PopupSeen SeePopupMenu(const std::function<void()>& action);

// The pixels (0x00RRGGBB, rows from the top) that the drawing leaves on a
// bitmap of the given size.
std::vector<DWORD> DrawnPixels(int width, int height, const std::function<void(HDC)>& draw);

// The space a list view leaves between a sub-item's column edges and its
// text, found by drawing: the narrowest column that the control draws a text
// in without cutting it, less the text's width. Measured by the test on a
// list view of its own with the given font, apart from the program.
int DrawnTextPadding(HFONT font);
int StringWidth(HWND list, const std::string& text);

std::string StatusText(HWND statusBar, int panel);
// The lines of a multi-line text box as the control counts them.
std::vector<std::string> EditLines(HWND edit);

}  // namespace testing_support
