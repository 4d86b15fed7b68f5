// The commands of the main window as its menus send them: the session
// commands against a system that takes or refuses the request, and the
// termination of a process when something fails on the way.
#include "controllers/ControllerMain.h"
#include "framework/KmxFormat.h"
#include "framework/KmxMiscellaneous.h"
#include "support/TestSupport.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

using testing_support::ChildExe;
using testing_support::ChildProcess;
using widgets::Application;
using widgets::DialogButtons;
using widgets::DialogKind;
using widgets::DialogResult;

namespace {

const char kTitle[] = "Ovrelle Commands Test";
const char kKey[] = "Software\\Quillmar\\OvrelleCommandsTest";

struct Dialog {
    std::string text;
    DialogKind kind;
    DialogButtons buttons;
};

// The session end as the system answers it; the real one is never reached.
struct SessionSystem {
    bool refuses = false;
    std::vector<UINT> requests;
};
SessionSystem* sessionSystem = nullptr;

BOOL WINAPI StandInExitWindowsEx(UINT flags, DWORD) {
    sessionSystem->requests.push_back(flags);
    if (!sessionSystem->refuses) return TRUE;
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

// The system's own words for an error code.
std::string SystemWording(DWORD code) {
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    return std::string(text, length);
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        Application::Instance().SetTitle(kTitle);
        widgets::SetDialogHook([this](const std::string& text, DialogKind kind, DialogButtons buttons) {
            dialogs.push_back({text, kind, buttons});
            if (throwAtConfirmation && buttons == DialogButtons::YesNo) throw 42;  // not a std::exception
            return answer;
        });
        savedSession = SessionApi();
        SessionApi().ExitWindowsEx = StandInExitWindowsEx;
        sessionSystem = &system;
        controller = std::make_unique<TCMain>();
        Form().Show();
    }
    void TearDown() override {
        controller.reset();
        Application::Instance().DestroyMainForm();
        SessionApi() = savedSession;
        sessionSystem = nullptr;
        widgets::SetDialogHook(nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    }
    TfrmMain& Form() { return controller->Form(); }

    // What a click on the menu item sends to the window.
    void Choose(widgets::MenuItem& item) {
        SendMessageA(Form().Handle(), WM_COMMAND, MAKEWPARAM(item.Id(), 0), 0);
    }
    // Handles what the command left in the queue; true when the program
    // has been asked to end.
    bool ProgramEnds() {
        Application::Instance().ProcessMessages();
        MSG quit{};
        return PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }

    // The process list's row showing the process id, read as it is shown.
    int RowShowingProcess(DWORD processId) {
        HWND list = Form().lsvProcesses.Handle();
        int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            char text[32] = {};
            ListView_GetItemText(list, row, 6, text, sizeof text);
            if (ProcessIdText(processId) == text) return row;
        }
        return -1;
    }
    void ClickRow(int row) {
        HWND list = Form().lsvProcesses.Handle();
        RECT r{};
        r.left = LVIR_BOUNDS;
        ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)));
        LPARAM at = MAKELPARAM(r.left + 60, (r.top + r.bottom) / 2);
        PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(list, WM_LBUTTONUP, 0, at);
        Application::Instance().ProcessMessages();
        ASSERT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), row);
    }

    std::unique_ptr<TCMain> controller;
    std::vector<Dialog> dialogs;
    DialogResult answer = DialogResult::OK;
    bool throwAtConfirmation = false;
    SessionSystem system;
    TSessionApi savedSession{};
};

}  // namespace

// Each session command asks first; cancelled, it asks nothing of the
// system; refused by the system, it says why and the program stays; taken,
// the program closes.
TEST_F(Commands, SessionCommandsAskFirstAndCloseTheProgramOnlyWhenTheSystemTakesTheRequest) {
    struct Case {
        widgets::MenuItem& item;
        const char* question;
        UINT flags;
    } cases[] = {
        {Form().mniLogout, "All unsaved data will be lost.\r\nContinue to logout?", EWX_LOGOFF},
        {Form().mniReboot, "All unsaved data will be lost.\r\nContinue to reboot?", EWX_REBOOT},
        {Form().mniShutdowncomputer, "All unsaved data will be lost.\r\nContinue to shutdown?",
         EWX_SHUTDOWN | EWX_POWEROFF},
    };
    system.refuses = true;
    for (const Case& c : cases) {
        for (DialogResult given : {DialogResult::Cancel, DialogResult::OK}) {
            answer = given;
            dialogs.clear();
            system.requests.clear();
            Choose(c.item);
            ASSERT_EQ(dialogs.size(), given == DialogResult::OK ? 2u : 1u) << c.question;
            EXPECT_EQ(dialogs[0].text, c.question);
            EXPECT_EQ(dialogs[0].kind, DialogKind::Warning);
            EXPECT_EQ(dialogs[0].buttons, DialogButtons::OKCancel);
            EXPECT_EQ(system.requests, given == DialogResult::OK ? std::vector<UINT>{c.flags} : std::vector<UINT>{});
            if (given == DialogResult::OK) {
                EXPECT_EQ(dialogs[1].text, SystemWording(ERROR_PRIVILEGE_NOT_HELD));
                EXPECT_EQ(dialogs[1].kind, DialogKind::Error);
            }
            EXPECT_FALSE(ProgramEnds()) << c.question;
            EXPECT_TRUE(Form().Visible());
        }
    }

    system.refuses = false;
    dialogs.clear();
    system.requests.clear();
    Choose(Form().mniReboot);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(system.requests, std::vector<UINT>{EWX_REBOOT});
    EXPECT_TRUE(ProgramEnds());
    EXPECT_FALSE(Form().Visible());
}

// Whatever fails between the confirmation and the termination is answered
// with the cannot-terminate message, not the general error report.
TEST_F(Commands, AnyErrorWhileTerminatingIsAnsweredWithTheCannotTerminateMessage) {
    ChildProcess child(ChildExe("WindowChild"), "--none");
    child.WaitIdle();
    controller->RefreshList();
    int row = RowShowingProcess(child.Id());
    ASSERT_GE(row, 0);
    ClickRow(row);

    throwAtConfirmation = true;
    Choose(Form().mniShutdownprocess);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].text, "Can not terminate WindowChild.exe.");
    EXPECT_EQ(dialogs[1].kind, DialogKind::Information);
    EXPECT_TRUE(child.Running());
    EXPECT_EQ(RowShowingProcess(child.Id()), row);
}
