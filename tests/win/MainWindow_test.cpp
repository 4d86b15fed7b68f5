// The main window in a world that looks like a real machine, used as a
// person uses it: commands through the real menus, clicks at the rows, keys
// as real input, the window resized and the splitter dragged. What is
// checked is what the window shows: cell texts and column widths as the
// controls report them, the Items checks, where the popup opens, dialogs.
#include "framework/KmxFormat.h"
#include "support/Gui.h"
#include "support/ProgramWindow.h"
#include "support/TestSupport.h"
#include "support/World.h"
#include "sysinfo/JclAppInst.h"
#include "sysinfo/JclSysInfo.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

::testing::Environment* const world = ::testing::AddGlobalTestEnvironment(new PopulatedWorld);

const int kWidths[7] = {20, 235, 125, 220, -1, 0, 0};  // as designed; the path column takes the rest
const char* const kItems[7] = {"&Icon", "&Product", "&Company", "&Description", "Path and &filename",
                               "&Version", "P&rocess ID"};

class MainWindow : public ProgramWindowTest {
protected:
    MainWindow() : ProgramWindowTest("Ovrelle Window Test", "Software\\Quillmar\\OvrelleWindowTest") {}
    void SetUp() override {
        ASSERT_NE(PopulatedWorld::Current(), nullptr);
        ProgramWindowTest::SetUp();
    }

    HWND Status() { return Form().stbStatus.Handle(); }
    HWND Splitter() { return FindWindowExA(Main(), nullptr, "OvrelleSplitter", nullptr); }
    // The checks of the Items submenu as it shows them when it opens.
    std::array<bool, 7> ItemsChecks() {
        HMENU items = OpenSubmenu(Main(), Popup(), "&Items");
        std::array<bool, 7> checks{};
        for (int i = 0; i < 7; ++i) checks[static_cast<size_t>(i)] = MenuItemChecked(items, i);
        return checks;
    }

    void Resize(int dx, int dy) {
        RECT r{};
        GetWindowRect(Main(), &r);
        SetWindowPos(Main(), nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
    }
    // Moves the splitter by dy pixels (up: the module list grows).
    void DragSplitter(int dy) {
        HWND splitter = Splitter();
        ASSERT_NE(splitter, nullptr);
        Drag(splitter, {100, 1}, {100, 1 + dy});
    }
    // A resize or a splitter drag asks for a refresh at the next tick.
    // (The countdown, set to 1 by the resize, is back near 600 once it ran.)
    void WaitForTheRefreshAtTheNextTick() {
        EXPECT_TRUE(PumpUntil([this] { return controller->Countdown > 1; }, 15000));
        Pump();
    }
};

// A child of the test's own, for what ends or changes a process.
std::unique_ptr<ChildProcess> StartOwnChild(const std::string& arguments = "--none") {
    auto child = std::make_unique<ChildProcess>(ChildExe("WindowChild"), arguments + ParentArgument());
    child->WaitIdle();
    return child;
}

// A program that hangs as Windows counts it (Wine only after five seconds),
// whose thread the program must not join its input to.
DWORD hungThread = 0;
BOOL WINAPI HungAsWindowsCountsIt(HWND window) { return GetWindowThreadProcessId(window, nullptr) == hungThread; }
BOOL WINAPI AttachThreadInputNotToTheHung(DWORD from, DWORD to, BOOL attach) {
    EXPECT_NE(to, hungThread) << "input joined to a hung thread";
    return AttachThreadInput(from, to, attach);
}

std::string FileNamePart(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

bool EndsWith(std::string text, std::string end, bool ignoringCase = false) {
    if (text.size() < end.size()) return false;
    text = text.substr(text.size() - end.size());
    if (ignoringCase)
        for (std::string* s : {&text, &end})
            std::transform(s->begin(), s->end(), s->begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text == end;
}

// The image a row shows, asked of the control.
int ImageOfRow(HWND list, int row) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -2;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

HIMAGELIST SmallImages(HWND list) {
    return reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
}

// What an image looks like: its pixels drawn on white.
std::vector<DWORD> PixelsOf(HIMAGELIST images, int index) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    return DrawnPixels(cx, cy, [&](HDC dc) {
        RECT all{0, 0, cx, cy};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    });
}

}  // namespace

TEST_F(MainWindow, LaysOutTheWindowAsDesignedAndListsEveryProcessOfTheWorld) {
    Start();
    // Read before the first tick: the one tick of the start-up found no rows.
    EXPECT_EQ(StatusText(Status(), 3), "Process count: 0");

    RECT client{};
    GetClientRect(Main(), &client);
    EXPECT_EQ(client.right, 905);
    EXPECT_EQ(client.bottom, 566);
    auto bounds = [this](HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(HWND_DESKTOP, Main(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT status = bounds(Status()), modules = bounds(Modules()), splitter = bounds(Splitter()),
         processes = bounds(Processes());
    EXPECT_EQ(status.bottom - status.top, 19);
    EXPECT_EQ(status.bottom, 566);
    EXPECT_EQ(modules.bottom, status.top);
    EXPECT_EQ(modules.bottom - modules.top, 147);
    EXPECT_EQ(splitter.bottom, modules.top);
    EXPECT_EQ(splitter.bottom - splitter.top, 3);
    EXPECT_EQ(processes.top, 0);
    EXPECT_EQ(processes.bottom, splitter.top);
    EXPECT_EQ(processes.right - processes.left, 905);

    const std::vector<std::string> captions = {"", "Process", "Company", "Description", "Path and filename",
                                               "Version", "Process ID"};
    ASSERT_EQ(ColumnCount(Processes()), 7);
    ASSERT_EQ(ColumnCount(Modules()), 6);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ColumnCaption(Processes(), i), captions[static_cast<size_t>(i)]);
        if (i == kPathColumn) continue;
        EXPECT_EQ(ColumnWidth(Processes(), i), kWidths[i]) << "column " << i;
        if (i == 6) continue;
        EXPECT_EQ(ColumnCaption(Modules(), i), i == 1 ? "Module" : captions[static_cast<size_t>(i)]);
        EXPECT_EQ(ColumnWidth(Modules(), i), kWidths[i]) << "module column " << i;
    }
    EXPECT_GT(ColumnWidth(Processes(), kPathColumn), 0);
    EXPECT_GT(ColumnWidth(Modules(), kPathColumn), 0);

    EXPECT_EQ(MenuCaptions(GetMenu(Main())), (std::vector<std::string>{"&File", "&Desktop", "&System", "&About"}));
    EXPECT_EQ(MenuCaptions(Popup()),
              (std::vector<std::string>{"&Switch to process", "Shut&down process", "-", "&Refresh screen", "&Items",
                                        "-", "&Find module...", "&Open file location", "&Properties"}));
    EXPECT_EQ(MenuCaptions(Form().popModule.Handle()),
              (std::vector<std::string>{"&Find in all processes", "&Open file location", "&Properties"}));
    EXPECT_EQ(MenuCaptions(OpenSubmenu(Main(), Popup(), "&Items")),
              std::vector<std::string>(std::begin(kItems), std::end(kItems)));
    EXPECT_EQ(ItemsChecks(), (std::array<bool, 7>{true, true, true, true, true, false, false}));

    // Every process of the world has its own row with its own id, and its
    // texts and icon from its own file, also where it grants no more than
    // its path; one that grants nothing shows its name and no file's texts.
    ASSERT_TRUE(Scrolls(Processes()));
    for (const PopulatedWorld::Process& process : PopulatedWorld::Current()->Processes()) {
        int row = RowOf(process.id);
        ASSERT_GE(row, 0) << process.path;
        std::string name = FileNamePart(process.path);
        std::string product = CellText(Processes(), row, 1), company = CellText(Processes(), row, 2);
        if (process.access == PopulatedWorld::Access::Sealed) {
            EXPECT_EQ(CellText(Processes(), row, kPathColumn), name);
            EXPECT_EQ(product + company + CellText(Processes(), row, 3), "") << process.path;
            EXPECT_EQ(ImageOfRow(Processes(), row), -1) << process.path;
            continue;
        }
        EXPECT_TRUE(EndsWith(CellText(Processes(), row, kPathColumn), "\\" + name)) << process.path;
        EXPECT_EQ(ImageOfRow(Processes(), row) >= 0, process.child != "BareChild" && process.child != "ManyModules")
            << process.path;
        if (process.child == "HellasChild") {
            EXPECT_EQ(product, "Ελληνικά Εργαλεία");
            EXPECT_EQ(company, "Εργαστήριο Αιγαίου");
        } else if (process.child == "LedgerChild") {
            EXPECT_EQ(product, "Nordlys Ledger");
            EXPECT_EQ(company, "Nordlys Software AB");
            EXPECT_EQ(CellText(Processes(), row, 5), "4.2.0.1877");
        } else if (process.child == "WindowChild") {
            // A product name of "-" gives way to the file name.
            EXPECT_EQ(product, name);
            EXPECT_EQ(company, "Quillmar Test");
        } else {
            // No version resource: the texts are empty, the row is there.
            EXPECT_EQ(product, "") << process.path;
            EXPECT_EQ(company, "");
        }
    }
    ASSERT_GE(RowOf(GetCurrentProcessId()), 0);

    // The first tick counts the rows; the machine's panels stay as they were.
    std::string user = StatusText(Status(), 0);
    EXPECT_EQ(user.rfind("User: ", 0), 0u);
    EXPECT_EQ(StatusText(Status(), 1).rfind("Computer: ", 0), 0u);
    std::string count = "Process count: " + std::to_string(RowCount(Processes()));
    EXPECT_TRUE(PumpUntil([&] { return StatusText(Status(), 3) == count; }, 5000)) << StatusText(Status(), 3);
    std::string memory = StatusText(Status(), 2);
    EXPECT_EQ(memory.rfind("Memory used: ", 0), 0u);
    EXPECT_EQ(memory.back(), '%');
    EXPECT_EQ(StatusText(Status(), 4).rfind("Uptime: ", 0), 0u);
    EXPECT_EQ(StatusText(Status(), 0), user);
    int edges[5] = {};
    SendMessageA(Status(), SB_GETPARTS, 5, reinterpret_cast<LPARAM>(edges));
    // The designed 100, or what the count's text needs beside it.
    EXPECT_GE(edges[3] - edges[2], 100);
    EXPECT_EQ(dialogs.size(), 0u);
}

TEST_F(MainWindow, HiddenColumnsStayHiddenThroughRefreshesResizesAndSplitterDrags) {
    Start();
    std::array<bool, 7> shown{true, true, true, true, true, false, false};
    auto expectLayout = [&](const std::string& when) {
        EXPECT_EQ(ItemsChecks(), shown) << when;
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(ColumnWidth(Processes(), i) > 0, shown[static_cast<size_t>(i)]) << "column " << i << " " << when;
            // The module list mirrors all but its icon and its path column,
            // which keep showing.
            if (i == 0 || i == kPathColumn) {
                EXPECT_GT(ColumnWidth(Modules(), i), 0) << when;
            } else if (i < 6) {
                EXPECT_EQ(ColumnWidth(Modules(), i) > 0, shown[static_cast<size_t>(i)]) << i << " " << when;
            }
        }
    };
    // Each column is hidden (or shown) once, then every change is undone.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 7; ++i) {
            Choose({"&Items", kItems[i]});
            shown[static_cast<size_t>(i)] = !shown[static_cast<size_t>(i)];
            expectLayout("after choosing " + std::string(kItems[i]));
        }
        for (int n = 1; n <= 3; ++n) {
            Refresh();
            expectLayout("after refresh " + std::to_string(n));
        }
        Resize(-120, 40);
        expectLayout("after a resize");
        WaitForTheRefreshAtTheNextTick();
        expectLayout("after the refresh that the resize asked for");
        DragSplitter(-60);
        expectLayout("after a splitter drag");
        WaitForTheRefreshAtTheNextTick();
        expectLayout("after the refresh that the drag asked for");
    }
    // Shown again, each column has the width it had.
    for (int i : {0, 1, 2, 3}) EXPECT_EQ(ColumnWidth(Processes(), i), kWidths[i]);
    EXPECT_EQ(dialogs.size(), 0u);
}

TEST_F(MainWindow, DraggedColumnsStopAtTheirLimitsAndAreRemembered) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (settingsKey + "\\Items").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "1width", 0, REG_SZ, reinterpret_cast<const BYTE*>("700"), 4);
    RegCloseKey(key);
    Start();
    EXPECT_EQ(ColumnWidth(Processes(), 1), 300);

    HWND header = reinterpret_cast<HWND>(SendMessageA(Processes(), LVM_GETHEADER, 0, 0));
    auto dragEdge = [&](int column, int dx) {
        RECT item{};
        SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        int y = (item.top + item.bottom) / 2;
        Drag(header, {item.right - 1, y}, {item.right - 1 + dx, y});
    };
    dragEdge(2, 55);
    EXPECT_EQ(ColumnWidth(Processes(), 2), 180);
    dragEdge(3, 400);
    EXPECT_EQ(ColumnWidth(Processes(), 3), 500);
    // From the next refresh on the dragged widths are the remembered ones,
    // the module list's columns follow, and a hidden column comes back so.
    Refresh();
    EXPECT_EQ(ColumnWidth(Modules(), 2), 180);
    EXPECT_EQ(ColumnWidth(Modules(), 3), 500);
    Choose({"&Items", "&Company"});
    EXPECT_EQ(ColumnWidth(Processes(), 2), 0);
    Choose({"&Items", "&Company"});
    EXPECT_EQ(ColumnWidth(Processes(), 2), 180);

    Stop();
    auto stored = [this](const char* name) {
        char text[32] = {};
        DWORD size = sizeof text;
        RegGetValueA(HKEY_CURRENT_USER, (settingsKey + "\\Items").c_str(), name, RRF_RT_REG_SZ, nullptr,
                     text, &size);
        return std::string(text);
    };
    EXPECT_EQ(stored("1width"), "300");
    EXPECT_EQ(stored("2width"), "180");
    EXPECT_EQ(stored("3width"), "500");
}

TEST_F(MainWindow, PathCellsAreNeverWiderThanTheRoomTheirColumnGivesThem) {
    Start();
    const int padding = DrawnTextPadding(reinterpret_cast<HFONT>(SendMessageA(Processes(), WM_GETFONT, 0, 0)));
    ASSERT_GT(padding, 0);
    int shortened = 0;
    auto expectCellsFit = [&](HWND list, const std::string& when) {
        int room = ColumnWidth(list, kPathColumn) - padding;
        std::vector<int> rows = VisibleRows(list);
        ASSERT_GT(rows.size(), 3u) << when;
        for (int row : rows) {
            std::string text = CellText(list, row, kPathColumn);
            if (text.find("...\\") != std::string::npos) ++shortened;
            // A bare file name is the shortest text there is.
            if (text.find('\\') == std::string::npos) continue;
            EXPECT_LE(StringWidth(list, text), room) << "row " << row << " '" << text << "' " << when;
        }
    };
    expectCellsFit(Processes(), "after the first refresh");
    Resize(-150, 0);
    expectCellsFit(Processes(), "after a resize");
    WaitForTheRefreshAtTheNextTick();
    expectCellsFit(Processes(), "after the refresh that the resize asked for");

    int row = RowOf(PopulatedWorld::Current()->ManyModules().id);
    ASSERT_GE(row, 0);
    ClickRow(Processes(), row);
    ASSERT_GT(RowCount(Modules()), 60);
    ASSERT_TRUE(Scrolls(Modules()));
    expectCellsFit(Modules(), "in the module list");
    SendMessageA(Modules(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(RowCount(Modules()) - 1), FALSE);
    Pump();
    expectCellsFit(Modules(), "at the end of the module list");
    DragSplitter(-100);
    expectCellsFit(Modules(), "in the module list made taller");
    expectCellsFit(Processes(), "in the process list made shorter");
    EXPECT_GT(shortened, 10) << "the world's paths are longer than their columns";
}

TEST_F(MainWindow, ThePopupMenuOpensAtTheFocusedRowFromTheKeyboardAndAtThePointerFromTheMouse) {
    Start();
    HWND list = Processes();
    auto screenRow = [list](int row) {
        RECT r{};
        r.left = LVIR_BOUNDS;
        SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(list, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT listRect{};
    GetWindowRect(list, &listRect);

    ClickRow(list, 4);
    SetFocus(list);
    ASSERT_EQ(FocusedRow(list), 4);
    PopupSeen seen = SeePopupMenu([] { PressKey(VK_F10, true); });
    EXPECT_FALSE(seen.menuBarEntered) << "Shift+F10 took the menu bar";
    ASSERT_TRUE(seen.opened) << "Shift+F10 opened no popup menu";
    RECT row = screenRow(4);
    EXPECT_GE(seen.rect.top, row.top);
    EXPECT_LE(seen.rect.top, row.bottom);
    EXPECT_GE(seen.rect.left, listRect.left);
    EXPECT_LT(seen.rect.left, listRect.right);

    // A focused row scrolled out of view is scrolled back first.
    SendMessageA(list, LVM_SCROLL, 0, 60 * 17);
    Pump();
    ASSERT_GT(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 4);
    seen = SeePopupMenu([] { PressKey(VK_APPS); });
    ASSERT_TRUE(seen.opened) << "the context-menu key opened no popup menu";
    EXPECT_FALSE(seen.menuBarEntered);
    row = screenRow(4);
    EXPECT_GE(row.top, listRect.top);
    EXPECT_GE(seen.rect.top, row.top);
    EXPECT_LE(seen.rect.top, row.bottom);

    // The mouse opens it where the pointer is, on the row it clicked.
    int clicked = VisibleRows(list)[3];
    RECT target = screenRow(clicked);
    seen = SeePopupMenu([&] { RightClickRow(list, clicked); });
    ASSERT_TRUE(seen.opened) << "a right click opened no popup menu";
    POINT pointer{};
    GetCursorPos(&pointer);
    EXPECT_EQ(seen.rect.left, pointer.x);
    EXPECT_EQ(seen.rect.top, pointer.y);
    EXPECT_GE(pointer.y, target.top);
    EXPECT_LT(pointer.y, target.bottom);
    EXPECT_EQ(FocusedRow(list), clicked);
}

// A process that lets a standard user read its path only: its modules
// cannot be read, and the list says why where its rows would be.
TEST_F(MainWindow, AProcessWhoseModulesCannotBeReadHasTheSystemsReasonInTheEmptyModuleList) {
    Start();
    const PopulatedWorld::Process limited = PopulatedWorld::Current()->RunningFrom("\\ContosoSync.exe")[0];
    ASSERT_EQ(limited.access, PopulatedWorld::Access::Limited);
    wchar_t reason[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0,
                   reason, 256, nullptr);
    std::string expected = widgets::Utf8UpToNul(reason, 256);
    while (!expected.empty() && static_cast<unsigned char>(expected.back()) <= ' ') expected.pop_back();
    ASSERT_FALSE(expected.empty());
    // Pixels of the system's grey text colour in the module list as drawn.
    auto greyPixels = [this] {
        RECT client{};
        GetClientRect(Modules(), &client);
        std::vector<DWORD> pixels = DrawnPixels(client.right, client.bottom, [this](HDC dc) {
            SendMessageW(Modules(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
        });
        COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
        DWORD rgb = (GetRValue(grey) << 16) | (GetGValue(grey) << 8) | GetBValue(grey);
        return std::count(pixels.begin(), pixels.end(), rgb);
    };

    ClickRow(Processes(), RowOf(PopulatedWorld::Current()->ManyModules().id));
    ASSERT_GT(RowCount(Modules()), 60);
    EXPECT_EQ(Form().lsvModules.EmptyText(), "");
    ClickRow(Processes(), RowOf(limited.id));
    EXPECT_EQ(RowCount(Modules()), 0);
    EXPECT_EQ(Form().lsvModules.EmptyText(), expected);
    EXPECT_GT(greyPixels(), 10) << "the reason is not drawn";
    // It is no row: nothing to copy.
    SetFocus(Modules());
    EmptyTheClipboard();
    PressChord({VK_CONTROL, 'C'});
    Pump(300);
    EXPECT_EQ(ClipboardText(), "");
    // The next fill takes it away.
    ClickRow(Processes(), RowOf(PopulatedWorld::Current()->ManyModules().id));
    EXPECT_GT(RowCount(Modules()), 60);
    EXPECT_EQ(Form().lsvModules.EmptyText(), "");
    EXPECT_EQ(dialogs.size(), 0u);
}

TEST_F(MainWindow, ARefreshKeepsTheSelectionByPosition) {
    auto last = StartOwnChild();
    Start();
    ClickRow(Processes(), 5);
    Refresh();
    EXPECT_EQ(SelectedRow(Processes()), 5);
    EXPECT_EQ(FocusedRow(Processes()), 5);
    // The list shows its first rows again.
    EXPECT_EQ(SendMessageA(Processes(), LVM_GETTOPINDEX, 0, 0), 0);

    // With the last row selected and a process gone, the new last row is.
    int rows = RowCount(Processes());
    ClickRow(Processes(), rows - 1);
    last.reset();
    Refresh();
    ASSERT_EQ(RowCount(Processes()), rows - 1);
    EXPECT_EQ(SelectedRow(Processes()), rows - 2);
    EXPECT_EQ(FocusedRow(Processes()), rows - 2);
}

TEST_F(MainWindow, AnErrorInAHandlerIsReportedAndTheWindowGoesOn) {
    Start();
    Form().lsvProcesses.OnClick = [] { throw std::runtime_error("boom"); };
    ClickRow(Processes(), 2);
    EXPECT_TRUE(PumpUntil([this] { return !dialogs.empty(); }, 3000));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "boom");
    EXPECT_EQ(dialogs[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs[0].buttons, DialogButtons::OK);
    Refresh();
    EXPECT_GT(RowCount(Processes()), 150);
}

// ------------------------------------------------ keys, clipboard, tips

TEST_F(MainWindow, MenuCommandsKeysAndDoubleClicksEndOrSwitchToTheFocusedRowsProcess) {
    auto gone = StartOwnChild();
    auto ended = StartOwnChild();
    auto sameFile = StartOwnChild();
    auto target = StartOwnChild("SwitchTarget");
    HWND window = WaitForWindow(target->Id(), "SwitchTarget");
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    Start();
    HWND list = Processes();

    // F5: a process that has ended leaves the list at the refresh.
    DWORD goneId = gone->Id();
    ASSERT_GE(RowOf(goneId), 0);
    gone.reset();
    SetFocus(list);
    PressKey(VK_F5);
    EXPECT_TRUE(PumpUntil([&] { return RowOf(goneId) == -1; }, 5000)) << "F5 did not refresh";

    // Shutdown asks first; answered No, nothing ends.
    const int row = RowOf(ended->Id());
    ASSERT_GE(row, 0);
    ClickRow(list, row);
    const int rows = RowCount(list);
    answer = DialogResult::No;
    Choose({"Shut&down process"});
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text,
              "Do you want to terminate WindowChild.exe?\r\nPossible the system become instable or out of control.");
    EXPECT_EQ(dialogs[0].kind, DialogKind::Warning);
    EXPECT_EQ(dialogs[0].buttons, DialogButtons::YesNo);
    EXPECT_TRUE(ended->Running());
    EXPECT_EQ(RowCount(list), rows);

    // Delete asks the same; answered Yes, only the focused row's process
    // ends (another of the same file runs on) and its row goes at once.
    answer = DialogResult::Yes;
    const std::string below = row + 1 < rows ? CellText(list, row + 1, kPidColumn) : "";
    PressKey(VK_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return dialogs.size() == 2; }, 5000)) << "Delete asked nothing";
    EXPECT_EQ(dialogs[1].text, dialogs[0].text);
    EXPECT_EQ(ended->WaitExit(5000), 0u);
    EXPECT_EQ(RowCount(list), rows - 1);
    EXPECT_EQ(RowOf(ended->Id()), -1);
    if (row + 1 < rows) {
        EXPECT_EQ(CellText(list, row, kPidColumn), below);
    }
    EXPECT_TRUE(sameFile->Running());
    EXPECT_GE(RowOf(sameFile->Id()), 0);
    // The count drops at the next tick, before any refresh.
    const std::string count = "Process count: " + std::to_string(rows - 1);
    EXPECT_TRUE(PumpUntil([&] { return StatusText(Status(), 3) == count; }, 5000)) << StatusText(Status(), 3);

    // A refresh that falls due while the warning is open waits for it: the
    // process named ends, and only its row goes, although a process listed
    // before it ended meanwhile; the refresh comes right after.
    auto before = StartOwnChild();
    auto named = StartOwnChild();
    Refresh();
    const int namedRow = RowOf(named->Id());
    ASSERT_GT(namedRow, RowOf(before->Id()));
    std::vector<std::string> expected;
    for (int r = 0; r < RowCount(list); ++r)
        if (r != namedRow) expected.push_back(CellText(list, r, kPidColumn));
    const DWORD beforeId = before->Id();
    whileDialogOpen = [&] {
        before.reset();
        controller->Countdown = 1;
        Pump(2500);
    };
    ClickRow(list, namedRow);
    Choose({"Shut&down process"});
    whileDialogOpen = nullptr;
    EXPECT_EQ(named->WaitExit(5000), 0u);
    std::vector<std::string> shown;
    for (int r = 0; r < RowCount(list); ++r) shown.push_back(CellText(list, r, kPidColumn));
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(PumpUntil([&] { return RowOf(beforeId) == -1; }, 3000)) << "the held refresh did not come";

    // A process that refuses to be ended is answered as one that has gone.
    const PopulatedWorld::Process limited = PopulatedWorld::Current()->RunningFrom("\\ContosoSync.exe")[0];
    ClickRow(list, RowOf(limited.id));
    Choose({"Shut&down process"});
    ASSERT_EQ(dialogs.size(), 5u);
    EXPECT_EQ(dialogs[4].text, "Can not terminate ContosoSync.exe.");
    EXPECT_EQ(WaitForSingleObject(limited.handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(RowOf(limited.id), 0);

    // Enter, a double click and the Switch command each bring the row's
    // window back from the taskbar.
    auto expectRestored = [&](const std::string& how) {
        EXPECT_TRUE(PumpUntil([&] { return !IsIconic(window) && GetForegroundWindow() == window; }, 5000)) << how;
        ShowWindow(window, SW_MINIMIZE);
        ASSERT_TRUE(PumpUntil([&] { return IsIconic(window) != FALSE; }, 3000));
    };
    ClickRow(list, RowOf(target->Id()));
    PressKey(VK_RETURN);
    expectRestored("by Enter");
    DoubleClickRow(list, RowOf(target->Id()));
    expectRestored("by a double click");
    Choose({"&Switch to process"});
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(window); }, 5000)) << "by the menu";
    EXPECT_EQ(dialogs.size(), 5u);

    // To a minimised program that hangs: the window answers again within 5
    // seconds, and its input never joins the hung thread's.
    auto hung = StartOwnChild("Hung --hang");
    hungThread = GetWindowThreadProcessId(WaitForWindow(hung->Id(), "Hung"), nullptr);
    Refresh();
    ClickRow(list, RowOf(hung->Id()));
    const TWindowMessageApi system = WindowMessageApi();
    WindowMessageApi() = {system.SendMessageTimeoutW, HungAsWindowsCountsIt, AttachThreadInputNotToTheHung};
    DWORD start = GetTickCount();
    Choose({"&Switch to process"});
    EXPECT_LT(GetTickCount() - start, 5000u);
    WindowMessageApi() = system;
}

TEST_F(MainWindow, CtrlCCopiesTheShownColumnsOfTheSelectedRowWithItsWholePath) {
    Start();
    std::vector<PopulatedWorld::Process> previews = PopulatedWorld::Current()->RunningFrom("Förhandsgranskaren.exe");
    ASSERT_FALSE(previews.empty());
    const PopulatedWorld::Process& preview = previews[0];
    Choose({"&Items", "&Description"});
    Choose({"&Items", "P&rocess ID"});
    int row = RowOf(preview.id);
    ASSERT_GE(row, 0);
    ClickRow(Processes(), row);
    ASSERT_NE(CellText(Processes(), row, kPathColumn).find("...\\"), std::string::npos) << "the path shows whole";

    EmptyTheClipboard();
    PressChord({VK_CONTROL, 'C'});
    EXPECT_TRUE(PumpUntil([] { return !ClipboardText().empty(); }, 5000)) << "nothing was copied";
    EXPECT_EQ(ClipboardText(), "Process\tCompany\tPath and filename\tProcess ID\r\n"
                               "Förhandsgranskaren.exe\tQuillmar Test\t" + preview.path + "\t" +
                                   ProcessIdText(preview.id) + "\r\n");
    // Greek names and a path past 300 characters come whole, as they are.
    for (const char* end : {"\\Εργαλείο.exe", "\\Very Long Path Viewer.exe"}) {
        std::vector<PopulatedWorld::Process> found = PopulatedWorld::Current()->RunningFrom(end);
        ASSERT_FALSE(found.empty()) << end;
        const PopulatedWorld::Process& process = found[0];
        ClickRow(Processes(), RowOf(process.id));
        EmptyTheClipboard();
        PressChord({VK_CONTROL, 'C'});
        EXPECT_TRUE(PumpUntil([] { return !ClipboardText().empty(); }, 5000)) << end;
        const std::string company = process.child == "HellasChild" ? "Εργαστήριο Αιγαίου" : "Nordlys Software AB";
        std::string text = ClipboardText();
        EXPECT_NE(text.find("\t" + company + "\t" + process.path + "\t" + ProcessIdText(process.id) + "\r\n"),
                  std::string::npos)
            << text;
    }
    const PopulatedWorld::Process longest = PopulatedWorld::Current()->RunningFrom("\\Very Long Path Viewer.exe")[0];
    EXPECT_GT(longest.path.size(), 300u);
    ClickRow(Processes(), RowOf(preview.id));

    // The click showed the process's modules, its own file first; the
    // module list copies its own columns (it has no Process ID).
    SetFocus(Modules());
    PressKey(VK_HOME);
    ASSERT_TRUE(PumpUntil([this] { return SelectedRow(Modules()) == 0; }, 5000));
    EmptyTheClipboard();
    PressChord({VK_CONTROL, 'C'});
    EXPECT_TRUE(PumpUntil([] { return !ClipboardText().empty(); }, 5000));
    EXPECT_EQ(ClipboardText(), "Module\tCompany\tPath and filename\r\n"
                               "Förhandsgranskaren.exe\tQuillmar Test\t" + preview.path + "\r\n");
    EXPECT_EQ(dialogs.size(), 0u);
}

TEST_F(MainWindow, TypedLettersFindTheNextRowByItsProcessTextOrFileName) {
    Start();
    HWND list = Processes();
    auto sortedRows = [this](const std::string& pathEnd) {
        std::vector<int> rows;
        for (const PopulatedWorld::Process& process : PopulatedWorld::Current()->RunningFrom(pathEnd))
            rows.push_back(RowOf(process.id));
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    // The collector has no version resource: its Process text is empty,
    // its file name finds it.
    std::vector<int> collectors = sortedRows("\\telemetry collector.exe");
    ASSERT_GE(collectors.size(), 2u);
    ASSERT_GT(collectors[0], 0);
    ASSERT_EQ(CellText(list, collectors[0], 1), "");
    ClickRow(list, 0);
    const int modules = RowCount(Modules());
    const std::string firstModule = CellText(Modules(), 0, kPathColumn);

    TypeLetters("tele");
    EXPECT_TRUE(PumpUntil([&] { return FocusedRow(list) == collectors[0]; }, 5000)) << FocusedRow(list);
    EXPECT_EQ(SelectedRow(list), collectors[0]);
    std::vector<int> visible = VisibleRows(list);
    EXPECT_NE(std::find(visible.begin(), visible.end(), collectors[0]), visible.end()) << "not scrolled to";

    // After a pause a new search starts after the focused row ...
    Pump(1500);
    TypeLetters("tele");
    EXPECT_TRUE(PumpUntil([&] { return FocusedRow(list) == collectors[1]; }, 5000)) << FocusedRow(list);
    // ... and wraps; a Process text finds its row as well.
    Pump(1500);
    int ledger = -1;
    for (int i = 1; i <= RowCount(list) && ledger < 0; ++i) {
        int candidate = (collectors[1] + i) % RowCount(list);
        if (CellText(list, candidate, 1) == "Nordlys Ledger") ledger = candidate;
    }
    ASSERT_GE(ledger, 0);
    TypeLetters("nord");
    EXPECT_TRUE(PumpUntil([&] { return FocusedRow(list) == ledger; }, 5000)) << FocusedRow(list);
    // Moving by letters, as by arrow keys, leaves the module list alone.
    EXPECT_EQ(RowCount(Modules()), modules);
    EXPECT_EQ(CellText(Modules(), 0, kPathColumn), firstModule);

    // In the module list, by a module's file name.
    ClickRow(list, RowOf(PopulatedWorld::Current()->ManyModules().id));
    SetFocus(Modules());
    TypeLetters("wsock32");
    EXPECT_TRUE(PumpUntil([this] {
        return EndsWith(CellText(Modules(), FocusedRow(Modules()), kPathColumn), "\\wsock32.dll", true);
    }, 5000)) << CellText(Modules(), FocusedRow(Modules()), kPathColumn);
    visible = VisibleRows(Modules());
    EXPECT_NE(std::find(visible.begin(), visible.end(), FocusedRow(Modules())), visible.end());
}

TEST_F(MainWindow, RestingOnACutCellShowsItsWholeTextInATip) {
    Start();
    HWND list = Processes();
    std::vector<PopulatedWorld::Process> helpers = PopulatedWorld::Current()->RunningFrom("\\tray helper.exe");
    ASSERT_FALSE(helpers.empty());
    int row = RowOf(helpers[0].id);
    ASSERT_GE(row, 0);
    ASSERT_NE(CellText(list, row, kPathColumn).find("...\\"), std::string::npos);

    MovePointer(list, CellMiddle(list, row, kPathColumn));
    EXPECT_TRUE(PumpUntil([&] { return ShownTip() == helpers[0].path; }, 5000)) << "tip: '" << ShownTip() << "'";

    // A whole text has no tip: moving there ends the tip, resting brings none.
    const int company = 2;
    ASSERT_EQ(CellText(list, row, company), "Quillmar Test");
    MovePointer(list, CellMiddle(list, row, company));
    EXPECT_TRUE(PumpUntil([] { return ShownTip().empty(); }, 5000));
    Pump(1500);
    EXPECT_EQ(ShownTip(), "");

    // Narrowed by its edge, the column cuts the text (the control draws
    // "..."), and the tip shows it whole.
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT edge{};
    SendMessageA(header, HDM_GETITEMRECT, company, reinterpret_cast<LPARAM>(&edge));
    int y = (edge.top + edge.bottom) / 2;
    MovePointer(header, {edge.right - 1, y});
    Pump(100);
    Drag(header, {edge.right - 1, y}, {edge.left + 40, y});
    ASSERT_LT(ColumnWidth(list, company), StringWidth(list, "Quillmar Test"));
    // Back from the header to the cell it rested on before.
    MovePointer(list, CellMiddle(list, row, company));
    EXPECT_TRUE(PumpUntil([] { return ShownTip() == "Quillmar Test"; }, 5000)) << "tip: '" << ShownTip() << "'";
}

// Run by hand only, for the README's screenshot (see there): lays the window
// out in the world with a few columns chosen, the module-heavy process
// clicked, and holds it on top for OVRELLE_HOLD_SECONDS (default 20).
TEST_F(MainWindow, DISABLED_HoldsThePopulatedWindowForAScreenshot) {
    Start();
    Choose({"&Items", "&Description"});
    Choose({"&Items", "&Version"});
    Choose({"&Items", "P&rocess ID"});
    std::vector<PopulatedWorld::Process> ledger = PopulatedWorld::Current()->RunningFrom("\\Ledger.exe");
    ASSERT_FALSE(ledger.empty());
    int row = RowOf(ledger[0].id);
    ASSERT_GE(row, 0);
    ClickRow(Processes(), row);
    // The clicked row near the top, the world's other programs below it.
    int perPage = static_cast<int>(SendMessageA(Processes(), LVM_GETCOUNTPERPAGE, 0, 0));
    SendMessageA(Processes(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(std::min(RowCount(Processes()) - 1, row + perPage - 3)), FALSE);
    ASSERT_TRUE(Scrolls(Processes()));
    ASSERT_TRUE(Scrolls(Modules()));
    EXPECT_EQ(ItemsChecks(), (std::array<bool, 7>{true, true, true, false, true, true, true}));
    SetWindowPos(Main(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RECT r{};
    GetWindowRect(Main(), &r);
    printf("window %ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    fflush(stdout);
    const char* hold = getenv("OVRELLE_HOLD_SECONDS");
    Pump(1000 * (hold ? atoi(hold) : 20));
}

TEST_F(MainWindow, RowsOfOneIconShareOneImageAndRefreshesAddNone) {
    Start();
    HIMAGELIST processImages = SmallImages(Processes()), moduleImages = SmallImages(Modules());
    // Every image shown is one distinct icon: as many images as the rows show
    // (counted once every row has been read, and so its icon added).
    auto distinctImages = [](HWND list) {
        std::set<int> images;
        for (int row = 0; row < RowCount(list); ++row)
            if (ImageOfRow(list, row) >= 0) images.insert(ImageOfRow(list, row));
        return images;
    };
    const int shownImages = static_cast<int>(distinctImages(Processes()).size());
    EXPECT_EQ(shownImages, ImageList_GetImageCount(processImages));

    // The processes of one file show one image.
    std::vector<PopulatedWorld::Process> browsers = PopulatedWorld::Current()->RunningFrom("\\skylark.exe");
    ASSERT_GT(browsers.size(), 2u);
    const int browserImage = ImageOfRow(Processes(), RowOf(browsers[0].id));
    ASSERT_GE(browserImage, 0);
    for (const PopulatedWorld::Process& browser : browsers)
        EXPECT_EQ(ImageOfRow(Processes(), RowOf(browser.id)), browserImage);
    // Another file has an image of its own, although both are programs.
    std::vector<PopulatedWorld::Process> ledger = PopulatedWorld::Current()->RunningFrom("\\Ledger.exe");
    ASSERT_FALSE(ledger.empty());
    EXPECT_NE(ImageOfRow(Processes(), RowOf(ledger[0].id)), browserImage);

    // The modules of one extension show one image, the shell's for it.
    ClickRow(Processes(), RowOf(PopulatedWorld::Current()->ManyModules().id));
    ASSERT_GT(RowCount(Modules()), 60);
    int dllImage = -1, dllRows = 0;
    for (int row = 0; row < RowCount(Modules()); ++row) {
        if (!EndsWith(CellText(Modules(), row, kPathColumn), ".dll", true)) continue;
        if (dllImage < 0) dllImage = ImageOfRow(Modules(), row);
        EXPECT_EQ(ImageOfRow(Modules(), row), dllImage) << CellText(Modules(), row, kPathColumn);
        ++dllRows;
    }
    EXPECT_GT(dllRows, 50);
    EXPECT_GE(dllImage, 0);
    const int shownModuleImages = static_cast<int>(distinctImages(Modules()).size());
    EXPECT_EQ(shownModuleImages, ImageList_GetImageCount(moduleImages));

    // A file first shown as a process keeps its own icon among the modules.
    const int browserRow = RowOf(browsers[1].id);
    ClickRow(Processes(), browserRow);
    ASSERT_TRUE(EndsWith(CellText(Modules(), 0, kPathColumn), "\\skylark.exe", true));
    EXPECT_EQ(PixelsOf(moduleImages, ImageOfRow(Modules(), 0)), PixelsOf(processImages, browserImage));
    EXPECT_NE(ImageOfRow(Modules(), 0), dllImage);

    // Refreshed and clicked again, the lists show the same images and add none.
    const int processCount = ImageList_GetImageCount(processImages);
    const int moduleCount = ImageList_GetImageCount(moduleImages);
    const std::set<int> shownModules = distinctImages(Modules());
    Refresh();
    ClickRow(Processes(), browserRow);
    EXPECT_EQ(ImageList_GetImageCount(processImages), processCount);
    EXPECT_EQ(ImageList_GetImageCount(moduleImages), moduleCount);
    EXPECT_EQ(ImageOfRow(Processes(), RowOf(browsers[0].id)), browserImage);
    EXPECT_EQ(distinctImages(Modules()), shownModules);
    EXPECT_EQ(dialogs.size(), 0u);
}

// ------------------------------------------------ rows read when needed

namespace {
// A new process under the id of one that has ended, as Windows may show it
// (Wine seldom reuses ids): in the table of processes and opened by that id.
TImagePathApi realSystem;
DWORD endedId = 0, successorId = 0;
LONG WINAPI TableWithReusedId(ULONG infoClass, PVOID buffer, ULONG size, PULONG needed) {
    LONG status = realSystem.NtQuerySystemInformation(infoClass, buffer, size, needed);
    for (auto* at = static_cast<BYTE*>(buffer); status >= 0 && infoClass == 5;) {
        auto* record = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(at);
        if (HandleToULong(record->UniqueProcessId) == successorId) record->UniqueProcessId = ULongToHandle(endedId);
        if (record->NextEntryOffset == 0) break;
        at += record->NextEntryOffset;
    }
    return status;
}
HANDLE WINAPI OpenReusedId(DWORD access, BOOL inherit, DWORD id) {
    return realSystem.OpenProcess(access, inherit, id == endedId ? successorId : id);
}
}  // namespace

TEST_F(MainWindow, AProcessStartedUnderTheIdOfOneThatEndedShowsItsOwnPathAndTexts) {
    auto ended = std::make_unique<ChildProcess>(ChildExe("LedgerChild"), "--none" + ParentArgument());
    ended->WaitIdle();
    Start();
    endedId = ended->Id();
    ASSERT_EQ(CellText(Processes(), RowOf(endedId), 1), "Nordlys Ledger");
    ended.reset();
    auto successor = StartOwnChild();
    successorId = successor->Id();
    realSystem = ImagePathApi();
    ImagePathApi().NtQuerySystemInformation = TableWithReusedId;
    ImagePathApi().OpenProcess = OpenReusedId;
    Refresh();
    ImagePathApi() = realSystem;
    const int row = RowOf(endedId);
    EXPECT_EQ(CellText(Processes(), row, 1) + "|" + CellText(Processes(), row, 2), "WindowChild.exe|Quillmar Test");
    EXPECT_TRUE(EndsWith(CellText(Processes(), row, kPathColumn), "\\WindowChild.exe", true));
    EXPECT_EQ(RowOf(successorId), -1);
}

// A new row below the first screen is read when first needed: typed
// letters find it, never drawn, and Ctrl+C copies it at once. (Scrolling
// and tips read drawn rows the same way.)
TEST_F(MainWindow, ARowNeverDrawnIsFoundAndCopiedWithItsOwnTexts) {
    Start();
    auto found = StartOwnChild();
    Refresh();
    const widgets::ListView& list = Form().lsvProcesses;
    int row = list.RowCount() - 1;
    while (row > 0 && list.RowValue(row) != found->Id()) --row;
    ASSERT_GT(row, VisibleRows(Processes()).back());
    ASSERT_FALSE(list.RowFilled(row));
    EmptyTheClipboard();
    TypeLetters("windowchild");
    PressChord({VK_CONTROL, 'C'});
    EXPECT_TRUE(PumpUntil([] { return !ClipboardText().empty(); }, 5000)) << "nothing was copied";
    EXPECT_EQ(FocusedRow(Processes()), row);
    const std::string copied = ClipboardText();
    EXPECT_EQ(copied.rfind("Process\tCompany\tDescription\tPath and filename\r\n"
                           "WindowChild.exe\tQuillmar Test\tWindow child\t", 0), 0u) << copied;
    EXPECT_TRUE(EndsWith(copied, "\\WindowChild.exe\r\n", true)) << copied;
}

// A new display scale under the terminate question lays out and images the
// rows the list has; nothing is listed anew while it is open, and the
// process it named is the one that ends.
TEST_F(MainWindow, AScaleChangeUnderTheTerminateQuestionKeepsTheRowsAndTheNamedProcessEnds) {
    auto named = StartOwnChild();
    Start();
    const int row = RowOf(named->Id()), rows = RowCount(Processes());
    ClickRow(Processes(), row);
    const int other = Form().Dpi() == 96 ? 144 : 96;
    const unsigned long enumerations = ProcessEnumerationCount();
    int iconSize = 0, image = -1;
    std::string during;
    whileDialogOpen = [&] {
        RECT suggested{};
        GetWindowRect(Main(), &suggested);
        SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
        Pump(1500);
        during = CellText(Processes(), row, kPidColumn);
        ImageList_GetIconSize(SmallImages(Processes()), &iconSize, &iconSize);
        image = ImageOfRow(Processes(), row);
    };
    answer = DialogResult::Yes;
    Choose({"Shut&down process"});
    whileDialogOpen = nullptr;
    EXPECT_EQ(during, ProcessIdText(named->Id()));
    EXPECT_EQ(ProcessEnumerationCount(), enumerations);
    EXPECT_EQ(iconSize, MulDiv(16, other, 96));
    EXPECT_GE(image, 0);
    EXPECT_EQ(named->WaitExit(5000), 0u);
    EXPECT_EQ(RowCount(Processes()), rows - 1);
}
