// The program against a hostile machine: processes that come and go while
// the list is built, a module list of a process
// that has just ended, odd registry contents, and a damaged instance table.
// None of it may crash the program, show an error box or leave bad rows.
#include "framework/KmxFormat.h"
#include "framework/KmxRegistryText.h"
#include "support/Gui.h"
#include "support/ProgramWindow.h"
#include "support/TestSupport.h"
#include "sysinfo/JclAppInst.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleRobustnessTest";

class Robustness : public ProgramWindowTest {
protected:
    Robustness() : ProgramWindowTest("Ovrelle Robustness Test", kKey) {}

    // The first fault of the process rows, or empty: every row carries an id
    // text that reads back, and no id comes twice. (A process caught while
    // it starts may have no name yet; its row is listed all the same.)
    std::string RowFault() {
        std::set<std::int32_t> ids;
        for (int row = 0; row < RowCount(Processes()); ++row) {
            std::string text = CellText(Processes(), row, kPidColumn);
            std::int32_t id = ProcessIdFromText(text);
            if (id == -1) return "row " + std::to_string(row) + " has the id text '" + text + "'";
            if (!ids.insert(id).second) return "id " + text + " is listed twice";
        }
        return {};
    }
};

}  // namespace

// ------------------------------------------------------------ processes

TEST_F(Robustness, RowsStayConsistentWhileProcessesStartAndEnd) {
    Start();
    std::atomic<bool> done{false};
    std::atomic<int> started{0};
    std::thread churn([&] {
        std::deque<std::unique_ptr<ChildProcess>> running;
        for (int i = 0; i < 24; ++i) {
            try {
                running.push_back(std::make_unique<ChildProcess>(ChildExe("WindowChild"), "--none" + ParentArgument()));
                ++started;
            } catch (const std::exception&) {
            }
            if (running.size() > 3) running.pop_front();
        }
        running.clear();
        done = true;
    });

    int refreshes = 0, moduleFills = 0;
    std::string fault;
    while (!done || refreshes < 5) {
        Refresh();
        ++refreshes;
        if (fault.empty()) fault = RowFault();
        // The newest child row is the likeliest to end during the fill.
        for (int row = RowCount(Processes()) - 1; row >= 0; --row) {
            if (CellText(Processes(), row, 1) != "WindowChild.exe") continue;
            ClickRow(Processes(), row);
            ++moduleFills;
            break;
        }
    }
    churn.join();

    EXPECT_EQ(started.load(), 24);
    EXPECT_GT(moduleFills, 0);
    EXPECT_EQ(fault, "") << "after " << refreshes << " refreshes";
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{});
}


namespace {
bool StillRunning(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return false;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code == STILL_ACTIVE;
}
}  // namespace

TEST_F(Robustness, ModuleListOfAProcessThatHasJustExitedIsEmpty) {
    ChildProcess held(ChildExe("WindowChild"), "--none" + ParentArgument());
    held.WaitIdle();
    auto unheld = std::make_unique<ChildProcess>(ChildExe("WindowChild"), "--none" + ParentArgument());
    unheld->WaitIdle();
    const DWORD unheldId = unheld->Id();
    Start();

    int row = RowOf(held.Id());
    ASSERT_GE(row, 0);
    ClickRow(Processes(), row);
    ASSERT_GT(RowCount(Modules()), 0);
    // Ended, but this test still holds the process object.
    TerminateProcess(held.Handle(), 7);
    ASSERT_EQ(held.WaitExit(5000), 7u);
    ClickRow(Processes(), row);
    EXPECT_EQ(RowCount(Modules()), 0);

    // Ended and let go of entirely, so that its id may be gone.
    row = RowOf(unheldId);
    ASSERT_GE(row, 0);
    unheld.reset();
    // Wine may keep the ended process a moment longer; only a new process
    // under the same id would change what the list should show.
    if (StillRunning(unheldId)) GTEST_SKIP() << "the id was given to another process at once";
    ClickRow(Processes(), row);
    EXPECT_EQ(RowCount(Modules()), 0);
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{});
}

// ------------------------------------------------------------ registry

namespace {

void StoreRaw(const char* section, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\" + section).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void StoreText(const char* section, const char* name, const std::string& text) {
    StoreRaw(section, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void StoreDword(const char* section, const char* name, DWORD value) {
    StoreRaw(section, name, REG_DWORD, &value, sizeof value);
}

struct Stored {
    bool present = false;
    DWORD type = REG_NONE;
    std::string text;
};

Stored ReadStored(const char* section, const std::string& name) {
    Stored stored;
    std::vector<wchar_t> data(256);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    std::string key = std::string(kKey) + "\\" + section;
    if (RegGetValueW(HKEY_CURRENT_USER, widgets::Utf16(key).c_str(), widgets::Utf16(name).c_str(),
                     RRF_RT_ANY | RRF_NOEXPAND, &stored.type, data.data(), &size) != ERROR_SUCCESS)
        return stored;
    stored.present = true;
    stored.text = widgets::Utf8UpToNul(data.data(), size / sizeof(wchar_t));
    return stored;
}

// Every value the program writes is a REG_SZ whose text reads back as a
// number: widths and placement as decimal text, visibility as "0" or "1".
void ExpectValidTexts() {
    const std::int32_t invalid = -123456789;
    for (int n = 0; n < 7; ++n) {
        std::string width = std::to_string(n) + "width", visible = std::to_string(n) + "visible";
        Stored w = ReadStored("Items", width), v = ReadStored("Items", visible);
        EXPECT_TRUE(w.present && w.type == REG_SZ) << width;
        EXPECT_NE(RegistryTextToInteger(w.text, invalid), invalid) << width << " = '" << w.text << "'";
        EXPECT_TRUE(v.present && v.type == REG_SZ) << visible;
        EXPECT_TRUE(v.text == "0" || v.text == "1") << visible << " = '" << v.text << "'";
    }
    for (const char* name : {"frmMainTop", "frmMainLeft", "frmMainWidth", "frmMainHeight"}) {
        Stored s = ReadStored("Forms", name);
        EXPECT_TRUE(s.present && s.type == REG_SZ) << name;
        EXPECT_NE(RegistryTextToInteger(s.text, invalid), invalid) << name << " = '" << s.text << "'";
    }
}

}  // namespace

TEST_F(Robustness, StoredValuesOfTheWrongKindReadAsDefaultsAndAreRewrittenAsText) {
    const BYTE binary[] = {0xFF, 0xFE, 0x00, 0x41};
    const char multi[] = "1\0 0\0";
    const ULONGLONG quad = 0x100000001ULL;
    const char unterminated[] = {'9', '0'};
    StoreDword("Items", "0width", 300);
    StoreDword("Items", "0visible", 0);
    StoreRaw("Items", "1width", REG_BINARY, binary, sizeof binary);
    StoreRaw("Items", "1visible", REG_BINARY, binary, sizeof binary);
    StoreRaw("Items", "2width", REG_MULTI_SZ, multi, sizeof multi);
    StoreRaw("Items", "2visible", REG_MULTI_SZ, multi, sizeof multi);
    StoreRaw("Items", "3width", REG_QWORD, &quad, sizeof quad);
    StoreRaw("Items", "3visible", REG_NONE, nullptr, 0);
    StoreText("Items", "4width", "");
    StoreText("Items", "4visible", "");
    StoreText("Items", "5width", std::string(100000, '7'));
    StoreText("Items", "5visible", "yes");
    StoreRaw("Items", "6width", REG_SZ, unterminated, sizeof unterminated);
    StoreText("Items", "6visible", " 1");
    StoreDword("Forms", "frmMainTop", 10);
    StoreRaw("Forms", "frmMainLeft", REG_BINARY, binary, sizeof binary);
    StoreText("Forms", "frmMainWidth", "");
    StoreRaw("Forms", "frmMainHeight", REG_MULTI_SZ, multi, sizeof multi);

    Start();
    // Everything but the one readable text ("90", without its zero) is as
    // on a first run.
    EXPECT_EQ(Form().ClientWidth(), 905);
    EXPECT_EQ(Form().ClientHeight(), 566);
    const int designed[] = {20, 235, 125, 220, -1, 0, 0};
    for (int i : {0, 1, 2, 3, 5})
        EXPECT_EQ(ColumnWidth(Processes(), i), designed[i]) << "column " << i;
    EXPECT_EQ(ColumnWidth(Processes(), 6), 0);
    EXPECT_GT(ColumnWidth(Processes(), 4), 0);
    EXPECT_GT(RowCount(Processes()), 0);
    Refresh();
    EXPECT_EQ(RowFault(), "");
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{});

    Stop();
    ExpectValidTexts();
    EXPECT_EQ(ReadStored("Items", "0width").text, "20");
    EXPECT_EQ(ReadStored("Items", "1width").text, "235");
    EXPECT_EQ(ReadStored("Items", "0visible").text, "1");
    EXPECT_EQ(ReadStored("Items", "5visible").text, "0");
    EXPECT_EQ(ReadStored("Items", "6width").text, "90");
    EXPECT_EQ(ReadStored("Items", "6visible").text, "0");
}

// Numbers no window or drag can have. A width of zero or below is no width:
// the column keeps its designed one, shown now or when it is shown again.
TEST_F(Robustness, AbsurdNumbersGiveAWindowOnTheScreenAndTheDesignedWidths) {
    StoreText("Forms", "frmMainTop", "99999999");
    StoreText("Forms", "frmMainLeft", "-2147483648");
    StoreText("Forms", "frmMainWidth", "-5");
    StoreText("Forms", "frmMainHeight", "2147483647");
    StoreText("Items", "1width", "-500");
    StoreText("Items", "2width", "2147483647");
    StoreText("Items", "3width", "99999999999");
    StoreText("Items", "2visible", "-7");
    StoreText("Items", "3visible", "99999999999");
    StoreText("Items", "4width", "-2147483648");
    StoreText("Items", "5width", "-2147483648");
    StoreText("Items", "5visible", "0");
    StoreRaw("Items", "6width", REG_EXPAND_SZ, "77", 3);
    StoreText("Items", "6visible", "7");

    Start();
    RECT window{}, screen{};
    GetWindowRect(Form().Handle(), &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
    RECT visible{};
    EXPECT_TRUE(IntersectRect(&visible, &window, &screen)) << "the window is off the screen";
    // Applied as read, within what the system allows a sizeable window.
    EXPECT_GE(window.right - window.left, GetSystemMetrics(SM_CXMINTRACK));
    EXPECT_LE(window.bottom - window.top, GetSystemMetrics(SM_CYMAXTRACK));
    // Above the maximum: the maximum. Not a number: the designed width.
    EXPECT_EQ(ColumnWidth(Processes(), 1), 235);
    EXPECT_EQ(ColumnWidth(Processes(), 2), 300);
    EXPECT_EQ(ColumnWidth(Processes(), 3), 220);
    // An expandable text is read as text, and any number but zero shows.
    EXPECT_EQ(ColumnWidth(Processes(), 6), 77);
    Choose({"&Items", "&Version"});
    EXPECT_EQ(ColumnWidth(Processes(), 5), 80);
    EXPECT_EQ(ColumnWidth(Modules(), 5), 80);
    Refresh();
    EXPECT_GT(RowCount(Processes()), 0);
    EXPECT_EQ(RowFault(), "");
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{});

    Stop();
    ExpectValidTexts();
    EXPECT_EQ(ReadStored("Items", "1width").text, "235");
    EXPECT_EQ(ReadStored("Items", "2width").text, "300");
    EXPECT_EQ(ReadStored("Items", "2visible").text, "1");
    EXPECT_EQ(ReadStored("Items", "3visible").text, "1");
    EXPECT_EQ(ReadStored("Items", "5width").text, "80");
    EXPECT_EQ(ReadStored("Items", "6width").text, "77");
    EXPECT_EQ(ReadStored("Items", "6visible").text, "1");
    EXPECT_GT(RegistryTextToInteger(ReadStored("Forms", "frmMainWidth").text, 0), 0);
    EXPECT_GT(RegistryTextToInteger(ReadStored("Forms", "frmMainHeight").text, 0), 0);
}

// ------------------------------------------------------------ instance table

// Outside the unnamed namespace: the parameterised test's factory holds one.
struct TableState {
    const char* name;
    std::uint16_t maxInstances;
    std::uint16_t count;
    bool runs;  // as the rules say: a full table or a reached limit refuses
};

void PrintTo(const TableState& state, std::ostream* out) { *out << state.name; }

namespace {

const char kProgramKey[] = "Software\\Quillmar\\Ovrelle";

// Runs a copy of the program of its own, so that its shared names are apart
// from those of every other test that starts the program.
class DamagedInstanceTable : public ::testing::TestWithParam<TableState> {
protected:
    static void SetUpTestSuite() {
        std::string dir = WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/../robustness-copy");
        char full[MAX_PATH * 2] = {};
        GetFullPathNameA(dir.c_str(), sizeof full, full, nullptr);
        CreateDirectoryA(full, nullptr);
        exe_ = std::string(full) + "\\Ovrelle.exe";
        CopyFileA(OvrelleExe().c_str(), exe_.c_str(), FALSE);
        HKEY key = nullptr;
        keyExisted_ = RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key) RegCloseKey(key);
    }
    static void TearDownTestSuite() {
        if (!keyExisted_) RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    }

    // Held by the test across the program's run, so the program opens it
    // as it finds it instead of making a new, zeroed one.
    void PrepareTable(const TableState& state) {
        std::string name = TJclAppInstances::NameBaseOf(exe_) + "_Map";
        mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(InstanceTable),
                                          name.c_str()));
        ASSERT_TRUE(mapping_);
        ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "the program's table is in use";
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(InstanceTable)));
        ASSERT_TRUE(view_);
        InstanceTable& table = Table();
        table.MaxInstances = state.maxInstances;
        table.Count = state.count;
        for (std::uint32_t& id : table.ProcessIds) id = 0xA5A5A5A4;
    }
    InstanceTable& Table() { return *static_cast<InstanceTable*>(view_.get()); }

    static inline std::string exe_;
    static inline bool keyExisted_ = false;
    widgets::UniqueKernelHandle mapping_;
    widgets::UniqueMappedView view_;
};

}  // namespace

TEST_P(DamagedInstanceTable, StartsOrRefusesCleanly) {
    const TableState& state = GetParam();
    ASSERT_NO_FATAL_FAILURE(PrepareTable(state));
    ChildProcess program(exe_);
    if (!state.runs) {
        EXPECT_EQ(program.WaitExit(20000), 0u);
        EXPECT_EQ(Table().Count, state.count) << "a refused start appends nothing";
        return;
    }
    HWND window = WaitForWindow(program.Id(), "Ovrelle");
    ASSERT_NE(window, nullptr) << "no main window";
    EXPECT_EQ(Table().Count, std::min<int>(state.count, InstanceTableSlots - 1) + 1);
    EXPECT_GT(RemoteListViewRowCount(GetDlgItem(window, 101)), 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitExit(20000), 0u);
    EXPECT_EQ(Table().Count, state.count) << "the program took itself out again";
}

INSTANTIATE_TEST_SUITE_P(
    Robustness, DamagedInstanceTable,
    ::testing::Values(TableState{"CountFarBeyondTheSlots", 0, 60000, false},
                      TableState{"NoLimitYetAndGarbageSlots", 0, 0, true},
                      TableState{"HugeLimitAndOneFreeSlot", 65535, 256, true},
                      TableState{"LimitReachedByAnIdThatIsGone", 1, 1, false}),
    [](const ::testing::TestParamInfo<TableState>& info) { return std::string(info.param.name); });
