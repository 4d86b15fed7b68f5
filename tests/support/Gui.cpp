#include "support/Gui.h"

#include "widgets/Application.h"
#include "widgets/Utf16.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace testing_support {

void Pump(int milliseconds) {
    DWORD start = GetTickCount();
    do {
        widgets::Application::Instance().ProcessMessages();
        Sleep(5);
    } while (static_cast<int>(GetTickCount() - start) < milliseconds);
    widgets::Application::Instance().ProcessMessages();
}

bool PumpUntil(const std::function<bool()>& condition, int milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        widgets::Application::Instance().ProcessMessages();
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) > milliseconds) return false;
        Sleep(10);
    }
}

// ------------------------------------------------------------------ menus

namespace {
std::string MenuCaption(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return widgets::Utf8UpToNul(text, 256);
}

int MenuPosition(HMENU menu, const std::string& caption) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (MenuCaption(menu, i) == caption) return i;
    return -1;
}
}  // namespace

HMENU OpenSubmenu(HWND owner, HMENU menu, const std::string& caption) {
    int position = MenuPosition(menu, caption);
    HMENU submenu = position < 0 ? nullptr : GetSubMenu(menu, position);
    if (submenu) SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(submenu), MAKELPARAM(position, FALSE));
    return submenu;
}

void ChooseMenuItem(HWND owner, HMENU menu, const std::vector<std::string>& captions) {
    SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    for (size_t i = 0; i + 1 < captions.size(); ++i) {
        menu = OpenSubmenu(owner, menu, captions[i]);
        ASSERT_NE(menu, nullptr) << "no submenu " << captions[i];
    }
    int position = MenuPosition(menu, captions.back());
    ASSERT_GE(position, 0) << "no menu item " << captions.back();
    UINT id = GetMenuItemID(menu, position);
    SendMessageA(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::vector<std::string> MenuCaptions(HMENU menu) {
    std::vector<std::string> captions;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        bool separator = (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0;
        captions.push_back(separator ? "-" : MenuCaption(menu, i));
    }
    return captions;
}

bool MenuItemChecked(HMENU menu, int position) {
    return (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_CHECKED) != 0;
}

// ------------------------------------------------------------- list views

int RowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

// Read back as UTF-16, as any program reads another's controls.
std::string CellText(HWND list, int row, int column) {
    wchar_t text[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return widgets::Utf8UpToNul(text, 1024);
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string ColumnCaption(HWND list, int column) {
    wchar_t text[256] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = 256;
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    return widgets::Utf8UpToNul(text, 256);
}

int SelectedRow(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int FocusedRow(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

int FindRow(HWND list, int column, const std::string& text) {
    for (int row = 0, rows = RowCount(list); row < rows; ++row)
        if (CellText(list, row, column) == text) return row;
    return -1;
}

std::vector<int> VisibleRows(HWND list) {
    int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    int perPage = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    std::vector<int> rows;
    for (int row = top; row < std::min(RowCount(list), top + perPage); ++row) rows.push_back(row);
    return rows;
}

bool Scrolls(HWND list) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    return (GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) && GetScrollInfo(list, SB_VERT, &info) &&
           info.nMax - info.nMin + 1 > static_cast<int>(info.nPage);
}

namespace {
POINT RowMiddle(HWND list, int row) {
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT rect{};
    rect.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return {std::max<LONG>(rect.left, 0) + 8, (rect.top + rect.bottom) / 2};
}

void PostButton(HWND window, UINT message, WPARAM keys, POINT at) {
    PostMessageA(window, message, keys, MAKELPARAM(at.x, at.y));
}
}  // namespace

void ClickRow(HWND list, int row) {
    POINT at = RowMiddle(list, row);
    PostButton(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostButton(list, WM_LBUTTONUP, 0, at);
    Pump();
}

void DoubleClickRow(HWND list, int row) {
    ClickRow(list, row);
    POINT at = RowMiddle(list, row);
    PostButton(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostButton(list, WM_LBUTTONUP, 0, at);
    Pump();
}

void RightClickRow(HWND list, int row) {
    POINT at = RowMiddle(list, row);
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, input, sizeof(INPUT));
}

void Drag(HWND window, POINT from, POINT to) {
    PostButton(window, WM_LBUTTONDOWN, MK_LBUTTON, from);
    Pump(20);
    PostButton(window, WM_MOUSEMOVE, MK_LBUTTON, {(from.x + to.x) / 2, (from.y + to.y) / 2});
    PostButton(window, WM_MOUSEMOVE, MK_LBUTTON, to);
    Pump(20);
    PostButton(window, WM_LBUTTONUP, 0, to);
    Pump();
}

void PressKey(WORD key, bool shift) {
    if (shift) PressChord({VK_SHIFT, key});
    else PressChord({key});
}

void PressChord(const std::vector<WORD>& keys) {
    std::vector<INPUT> input;
    auto add = [&input](WORD vk, bool up) {
        INPUT one{};
        one.type = INPUT_KEYBOARD;
        one.ki.wVk = vk;
        one.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        input.push_back(one);
    };
    for (WORD key : keys) add(key, false);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) add(*key, true);
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void TypeLetters(const std::string& letters) {
    std::vector<INPUT> input;
    for (char letter : letters) {
        INPUT one{};
        one.type = INPUT_KEYBOARD;
        one.ki.wVk = static_cast<WORD>(LOBYTE(VkKeyScanA(letter)));
        input.push_back(one);
        one.ki.dwFlags = KEYEVENTF_KEYUP;
        input.push_back(one);
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void MovePointer(HWND window, POINT client) {
    ClientToScreen(window, &client);
    SetCursorPos(client.x, client.y);
    // A move of no distance: the window under the pointer hears of it.
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof move);
}

POINT CellMiddle(HWND list, int row, int column) {
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT rect{};
    rect.top = column;
    rect.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::string ClipboardText() {
    if (!OpenClipboard(nullptr)) return {};
    std::string text;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (const auto* wide = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            text.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
            text.resize(static_cast<size_t>(size - 1));
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void EmptyTheClipboard() {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

namespace {
BOOL CALLBACK FindShownTip(HWND window, LPARAM found) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, TOOLTIPS_CLASSA) != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
}  // namespace

std::string ShownTip() {
    HWND tip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindShownTip, reinterpret_cast<LPARAM>(&tip));
    if (!tip) return {};
    wchar_t text[2048] = {};
    SendMessageW(tip, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return widgets::Utf8UpToNul(text, 2048);
}

// ------------------------------------------------------------ popup menus

namespace {
struct PopupWatch {
    PopupSeen seen;
    int ticks = 0;
    bool stop = false;
} popupWatch;

// Runs inside the menu's own message loop while a menu is open.
void CALLBACK ReadAndClosePopup(HWND, UINT, UINT_PTR, DWORD) {
    HWND menu = FindWindowA("#32768", nullptr);
    DWORD owner = menu ? GetWindowThreadProcessId(menu, nullptr) : 0;
    if (!popupWatch.seen.opened && menu && IsWindowVisible(menu) && owner == GetCurrentThreadId()) {
        popupWatch.seen.opened = true;
        GetWindowRect(menu, &popupWatch.seen.rect);
        EndMenu();
    }
    // A menu mode that no one ends (the menu bar taken by the keys) is
    // ended here, so that the test goes on.
    if (popupWatch.seen.menuBarEntered || ++popupWatch.ticks > 100) EndMenu();
}

LRESULT CALLBACK WatchMenuLoops(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_ENTERMENULOOP && !message->wParam)
        popupWatch.seen.menuBarEntered = true;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

PopupSeen SeePopupMenu(const std::function<void()>& action) {
    popupWatch = PopupWatch{};
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchMenuLoops, nullptr, GetCurrentThreadId());
    UINT_PTR timer = SetTimer(nullptr, 0, 30, ReadAndClosePopup);
    action();
    PumpUntil([] { return popupWatch.seen.opened; }, 4000);
    // Keys released after the menu closed still have their say.
    Pump(300);
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(hook);
    return popupWatch.seen;
}

// ------------------------------------------------------- drawn pixels

std::vector<DWORD> DrawnPixels(int width, int height, const std::function<void(HDC)>& draw) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    draw(dc);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + width * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

namespace {
// The dark pixels of a sub-item's cell as the control draws it, one flag
// per pixel column, for a column of the given width.
std::vector<bool> DrawnInk(HWND list, int width) {
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(width, 0));
    RECT cell{};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell));
    RECT client{};
    GetClientRect(list, &client);
    std::vector<DWORD> pixels = DrawnPixels(client.right, client.bottom, [list](HDC dc) {
        SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    });
    std::vector<bool> ink(static_cast<size_t>(width), false);
    for (int y = std::max<LONG>(cell.top, 0); y < std::min(cell.bottom, client.bottom); ++y)
        for (int x = 0; x < width && cell.left + x < client.right; ++x) {
            DWORD p = pixels[static_cast<size_t>(y * client.right + cell.left + x)];
            if (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) < 384) ink[static_cast<size_t>(x)] = true;
        }
    return ink;
}
}  // namespace

int DrawnTextPadding(HFONT font) {
    HWND holder = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 700, 80,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 700, 80, holder,
                                nullptr, nullptr, nullptr);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = 40;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    int padding = 0;
    for (const char* text : {"C:\\...\\Render Host\\chart render host.exe", "...\\Förhandsgranskaren.exe",
                             "Z:\\...\\mailsync.exe"}) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<char*>("");
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(text);
        SendMessageA(list, LVM_SETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item));
        int textWidth = StringWidth(list, text);
        std::vector<bool> whole = DrawnInk(list, textWidth + 200);
        int narrowest = textWidth + 200;
        // Widening a column past the narrowest whole drawing changes nothing
        // in the text; below it the control draws an ellipsis instead.
        for (int width = textWidth + 40; width >= textWidth - 4; --width) {
            std::vector<bool> drawn = DrawnInk(list, width);
            if (!std::equal(drawn.begin(), drawn.end(), whole.begin())) break;
            narrowest = width;
        }
        padding = std::max(padding, narrowest - textWidth);
    }
    DestroyWindow(holder);
    return padding;
}

int StringWidth(HWND list, const std::string& text) {
    return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(widgets::Utf16(text).c_str())));
}

std::string StatusText(HWND statusBar, int panel) {
    int length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&text[0]));
    return widgets::Utf8UpToNul(text.data(), static_cast<size_t>(length));
}

std::vector<std::string> EditLines(HWND edit) {
    std::vector<std::string> lines;
    int count = static_cast<int>(SendMessageA(edit, EM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        *reinterpret_cast<WORD*>(text) = sizeof text - 1;
        LRESULT length = SendMessageA(edit, EM_GETLINE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        lines.emplace_back(text, static_cast<size_t>(length));
    }
    return lines;
}

}  // namespace testing_support
