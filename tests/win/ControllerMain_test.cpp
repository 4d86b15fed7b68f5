// The main controller in this process: window, lists, status bar, layout
// and commands, with the dialogs answered by the test.
#include "controllers/ControllerMain.h"
#include "framework/KmxFormat.h"
#include "framework/KmxMiscellaneous.h"
#include "support/TestSupport.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

using namespace testing_support;
using widgets::Application;
using widgets::DialogButtons;
using widgets::DialogKind;
using widgets::DialogResult;

namespace {

const char kTitle[] = "Ovrelle Controller Test";
const char kKey[] = "Software\\Quillmar\\OvrelleControllerTest";

struct Dialog {
    std::string text;
    DialogKind kind;
    DialogButtons buttons;
};

class MainController : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        Application::Instance().SetTitle(kTitle);
        widgets::SetDialogHook([this](const std::string& text, DialogKind kind, DialogButtons buttons) {
            dialogs.push_back({text, kind, buttons});
            return answer;
        });
    }
    void TearDown() override {
        controller.reset();
        Application::Instance().DestroyMainForm();
        widgets::SetDialogHook(nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    }
    void Start() {
        controller = std::make_unique<TCMain>();
        Form().Show();
    }
    TfrmMain& Form() { return controller->Form(); }

    int RowOfProcess(DWORD processId) {
        auto& list = Form().lsvProcesses;
        for (int row = 0; row < list.RowCount(); ++row)
            if (list.SubItem(row, 5) == ProcessIdText(processId)) return row;
        return -1;
    }
    void Focus(int row) {
        Form().lsvProcesses.SelectRow(row);
        Form().lsvProcesses.FocusRow(row);
    }
    void StoreText(const char* name, const char* text) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\Items").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
        RegCloseKey(key);
    }

    std::unique_ptr<TCMain> controller;
    std::vector<Dialog> dialogs;
    DialogResult answer = DialogResult::OK;
};

}  // namespace

TEST_F(MainController, BuildsTheWindowAsDesigned) {
    Start();
    TfrmMain& form = Form();
    EXPECT_EQ(form.Text(), kTitle);
    EXPECT_EQ(form.ClientWidth(), 905);
    EXPECT_EQ(form.ClientHeight(), 566);

    const char* processCaptions[] = {"", "Process", "Company", "Description", "Path and filename", "Version", "Process ID"};
    ASSERT_EQ(form.lsvProcesses.ColumnCount(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(form.lsvProcesses.Column(i).caption, processCaptions[i]);
    ASSERT_EQ(form.lsvModules.ColumnCount(), 6);
    EXPECT_EQ(form.lsvModules.Column(1).caption, "Module");

    // The default layout: version and id hidden, the rest at their designed
    // widths, mirrored to the module list.
    const int widths[] = {20, 235, 125, 220, -1, 0, 0};
    for (int i : {0, 1, 2, 3, 5, 6}) EXPECT_EQ(form.lsvProcesses.ColumnWidth(i), widths[i]) << "column " << i;
    for (int i : {0, 1, 2, 3, 5}) EXPECT_EQ(form.lsvModules.ColumnWidth(i), std::max(widths[i], i == 0 ? 20 : 0));
    EXPECT_GT(form.lsvProcesses.ColumnWidth(4), 0);

    EXPECT_EQ(form.mniExit.Caption(), "E&xit");
    EXPECT_EQ(form.mniShutdowncomputer.Caption(), "&Shutdown computer");
    EXPECT_EQ(form.mniShutdownprocess.Caption(), "Shut&down process");
    EXPECT_TRUE(form.N1.IsSeparator());
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(form.mniItem[i]->Tag(), i);
        EXPECT_EQ(form.mniItem[i]->Checked(), i < 5);
    }
    EXPECT_EQ(form.mniItem[6]->Caption(), "P&rocess ID");
    EXPECT_TRUE(controller->Timer->Enabled());
    EXPECT_EQ(controller->Timer->Interval(), 1000u);
    EXPECT_EQ(controller->Countdown, 600);
}

TEST_F(MainController, EachProcessRowShowsItsOwnProcessId) {
    ChildProcess first(ChildExe("WindowChild"), "--none");
    ChildProcess second(ChildExe("WindowChild"), "--none");
    first.WaitIdle();
    second.WaitIdle();
    Start();
    auto& list = Form().lsvProcesses;
    int self = RowOfProcess(GetCurrentProcessId());
    ASSERT_GE(self, 0);
    // No version resource: empty texts, the row still there with its path.
    EXPECT_EQ(list.SubItem(self, 0), "");
    EXPECT_EQ(list.SubItem(self, 4), "");
    EXPECT_EQ(list.SubItem(self, 6), "-");
    int a = RowOfProcess(first.Id()), b = RowOfProcess(second.Id());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    // A product name of "-" gives way to the file name; texts are trimmed.
    EXPECT_EQ(list.SubItem(a, 0), "WindowChild.exe");
    EXPECT_EQ(list.SubItem(a, 1), "Quillmar Test");
    EXPECT_EQ(list.SubItem(a, 4), "2.5.3.117");
}

TEST_F(MainController, StatusBarShowsTheMachineAndCountsRowsAtTheNextTick) {
    Start();
    auto& status = Form().stbStatus;
    EXPECT_EQ(status.PanelText(0).rfind("User: ", 0), 0u);
    EXPECT_EQ(status.PanelWidth(0), status.TextWidth(status.PanelText(0)) + 10);
    EXPECT_EQ(status.PanelText(1).rfind("Computer: ", 0), 0u);
    EXPECT_EQ(status.PanelText(2).rfind("Memory used: ", 0), 0u);
    EXPECT_EQ(status.PanelText(2).back(), '%');
    EXPECT_EQ(status.PanelText(3), "Process count: 0");
    EXPECT_EQ(status.PanelWidth(3), 100);
    EXPECT_EQ(status.PanelText(4).rfind("Uptime: ", 0), 0u);

    controller->TimerTick();
    EXPECT_EQ(status.PanelText(3), "Process count: " + std::to_string(Form().lsvProcesses.RowCount()));
    EXPECT_EQ(controller->Countdown, 599);
}

TEST_F(MainController, ResizeRefreshesAtTheNextTick) {
    Start();
    controller->Countdown = 300;
    RECT r{};
    GetWindowRect(Form().Handle(), &r);
    SetWindowPos(Form().Handle(), nullptr, 0, 0, r.right - r.left + 40, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(controller->Countdown, 1);
    Form().lsvProcesses.Clear();
    controller->TimerTick();
    EXPECT_EQ(controller->Countdown, 600);
    EXPECT_GT(Form().lsvProcesses.RowCount(), 0);
}

TEST_F(MainController, RefreshKeepsTheSelectionByPosition) {
    Start();
    auto& list = Form().lsvProcesses;
    ASSERT_GT(list.RowCount(), 1);
    Focus(1);
    controller->RefreshList();
    EXPECT_EQ(list.SelectedRow(), 1);
    // A selection past the new end moves to the new last row.
    list.AddRow();
    Focus(list.RowCount() - 1);
    controller->RefreshList();
    EXPECT_EQ(list.SelectedRow(), list.RowCount() - 1);
    EXPECT_EQ(list.FocusedRow(), list.SelectedRow());

    list.SelectRow(-1);
    Form().lsvModules.AddRow();
    controller->RefreshList();
    EXPECT_EQ(list.SelectedRow(), -1);
    EXPECT_EQ(Form().lsvModules.RowCount(), 1);
}

TEST_F(MainController, FocusedProcessIdReadsTheRowText) {
    Start();
    auto& list = Form().lsvProcesses;
    int self = RowOfProcess(GetCurrentProcessId());
    ASSERT_GE(self, 0);
    Focus(self);
    EXPECT_EQ(controller->FocusedProcessId(), static_cast<int32_t>(GetCurrentProcessId()));
    list.SetSubItem(self, 5, "FFFFFFFF");
    EXPECT_EQ(controller->FocusedProcessId(), -1);
    list.Clear();
    EXPECT_EQ(controller->FocusedProcessId(), -1);
    controller->ShowModules();
    EXPECT_EQ(Form().lsvModules.RowCount(), 0);
}

TEST_F(MainController, ClickedProcessShowsItsModules) {
    ChildProcess child(ChildExe("WindowChild"), "ModulesOfChild");
    ASSERT_NE(WaitForWindow(child.Id(), "ModulesOfChild"), nullptr);
    Start();
    int row = RowOfProcess(child.Id());
    ASSERT_GE(row, 0);
    Focus(row);
    controller->ShowModules();
    auto& modules = Form().lsvModules;
    ASSERT_GT(modules.RowCount(), 2);
    EXPECT_EQ(modules.SubItem(0, 0), "WindowChild.exe");
    EXPECT_EQ(modules.SubItemCount(0), 6);
    EXPECT_EQ(modules.SubItem(0, 5), "-");
    EXPECT_EQ(modules.RowData(0), ChildExe("WindowChild"));
}

TEST_F(MainController, TerminatesTheFocusedProcessOnlyWhenConfirmed) {
    ChildProcess child(ChildExe("WindowChild"), "--none");
    child.WaitIdle();
    Start();
    auto& list = Form().lsvProcesses;
    int row = RowOfProcess(child.Id());
    ASSERT_GE(row, 0);
    Focus(row);
    int rows = list.RowCount();

    answer = DialogResult::No;
    controller->MenuClick(Form().mniShutdownprocess);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Do you want to terminate WindowChild.exe?\r\nPossible the system become instable or out of control.");
    EXPECT_EQ(dialogs[0].kind, DialogKind::Warning);
    EXPECT_EQ(dialogs[0].buttons, DialogButtons::YesNo);
    EXPECT_TRUE(child.Running());
    EXPECT_EQ(list.RowCount(), rows);

    answer = DialogResult::Yes;
    std::string below = row + 1 < rows ? list.SubItem(row + 1, 5) : "";
    controller->MenuClick(Form().mniShutdownprocess);
    EXPECT_EQ(child.WaitExit(5000), 0u);
    EXPECT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(list.RowCount(), rows - 1);
    EXPECT_EQ(RowOfProcess(child.Id()), -1);
    if (!below.empty()) {
        EXPECT_EQ(list.SubItem(row, 5), below);
    }
}

TEST_F(MainController, RefusesRowsWithoutAProcess) {
    ChildProcess child(ChildExe("WindowChild"), "--none");
    child.WaitIdle();
    Start();
    auto& list = Form().lsvProcesses;
    int row = RowOfProcess(child.Id());
    ASSERT_GE(row, 0);
    Focus(row);
    list.SetSubItem(row, 5, "FFFFFFFF");
    controller->ShutdownProcess();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Can not terminate WindowChild.exe.");
    EXPECT_EQ(dialogs[0].kind, DialogKind::Information);

    // An id that now belongs to another file is not terminated.
    list.SetSubItem(row, 5, ProcessIdText(child.Id()));
    list.SetRowData(row, "C:\\windows\\system32\\notepad.exe");
    answer = DialogResult::Yes;
    controller->ShutdownProcess();
    EXPECT_EQ(dialogs.back().text, "Can not terminate WindowChild.exe.");
    EXPECT_TRUE(child.Running());
}

TEST_F(MainController, SessionCommandsStopWhenCancelled) {
    Start();
    answer = DialogResult::Cancel;
    controller->MenuClick(Form().mniReboot);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "All unsaved data will be lost.\r\nContinue to reboot?");
    EXPECT_EQ(dialogs[0].buttons, DialogButtons::OKCancel);
    EXPECT_TRUE(Form().Visible());
}

namespace {
std::vector<UINT> requestedSessionEnds;
BOOL WINAPI RecordExitWindows(UINT flags, DWORD) {
    requestedSessionEnds.push_back(flags);
    return TRUE;
}
}  // namespace

TEST_F(MainController, ConfirmedSessionCommandRequestsTheEndAndCloses) {
    TSessionApi saved = SessionApi();
    SessionApi().ExitWindowsEx = RecordExitWindows;
    requestedSessionEnds.clear();
    Start();
    answer = DialogResult::OK;
    controller->MenuClick(Form().mniShutdowncomputer);
    SessionApi() = saved;
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "All unsaved data will be lost.\r\nContinue to shutdown?");
    EXPECT_EQ(requestedSessionEnds, std::vector<UINT>{EWX_SHUTDOWN | EWX_POWEROFF});
    // The close hides the main window and ends the message loop.
    MSG quit{};
    for (int i = 0; i < 50 && !PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE); ++i) {
        Application::Instance().ProcessMessages();
        Sleep(10);
    }
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(Form().Visible());
}

TEST_F(MainController, HiddenColumnComesBackWithItsWidth) {
    Start();
    auto& list = Form().lsvProcesses;
    list.SetColumnWidth(2, 180);  // as if dragged
    controller->ItemClick(*Form().mniItem[2]);  // checked: hides
    EXPECT_EQ(list.ColumnWidth(2), 0);
    EXPECT_EQ(Form().lsvModules.ColumnWidth(2), 0);
    controller->ItemsMenuClick();
    EXPECT_FALSE(Form().mniItem[2]->Checked());
    controller->ItemClick(*Form().mniItem[2]);
    EXPECT_EQ(list.ColumnWidth(2), 180);
    EXPECT_EQ(Form().lsvModules.ColumnWidth(2), 180);

    controller->ItemClick(*Form().mniItem[0]);
    EXPECT_EQ(list.ColumnWidth(0), 0);
    EXPECT_EQ(Form().lsvModules.ColumnWidth(0), 20);
}

TEST_F(MainController, DraggedColumnTakesItsLimitWhenTheDragEnds) {
    Start();
    HWND list = Form().lsvProcesses.Handle();
    // Straight to the control, as a drag does, past the wrapper's clamping.
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(700, 0));
    for (int i = 0; i < 10; ++i) Application::Instance().ProcessMessages();
    EXPECT_EQ(Form().lsvProcesses.ColumnWidth(1), 300);
}

TEST_F(MainController, SwitchBringsTheProcessWindowToTheFront) {
    ChildProcess child(ChildExe("WindowChild"), "SwitchTarget");
    HWND window = WaitForWindow(child.Id(), "SwitchTarget");
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    for (int i = 0; i < 50 && !IsIconic(window); ++i) Sleep(20);
    Start();
    int row = RowOfProcess(child.Id());
    ASSERT_GE(row, 0);
    Focus(row);
    controller->MenuClick(Form().mniSwitch);
    for (int i = 0; i < 50 && (IsIconic(window) || GetForegroundWindow() != window); ++i) Sleep(20);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
}

TEST_F(MainController, MinimizeAllStartsWithTheMainWindow) {
    Start();
    controller->MenuClick(Form().mniMinimize);
    for (int i = 0; i < 100 && !IsIconic(Form().Handle()); ++i) {
        Application::Instance().ProcessMessages();
        Sleep(20);
    }
    EXPECT_TRUE(IsIconic(Form().Handle()));
}

TEST_F(MainController, StoredWidthIsClampedAndRememberedClamped) {
    StoreText("1width", "700");
    Start();
    EXPECT_EQ(Form().lsvProcesses.ColumnWidth(1), 300);
    EXPECT_EQ(controller->Settings().Items[1].Width, 300);
}

TEST_F(MainController, AnErrorInAHandlerIsReportedAndTheProgramGoesOn) {
    Start();
    Form().lsvProcesses.OnClick = [] { throw std::runtime_error("boom"); };
    HWND list = Form().lsvProcesses.Handle();
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    for (int i = 0; i < 20 && dialogs.empty(); ++i) {
        Application::Instance().ProcessMessages();
        Sleep(20);
    }
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "boom");
    EXPECT_EQ(dialogs[0].kind, DialogKind::Error);
    EXPECT_TRUE(IsWindow(Form().Handle()));
}
