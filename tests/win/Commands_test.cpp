// The commands of the main window as its menus send them: the session
// commands against a system that takes or refuses the request, and the
// termination of a process when something fails on the way.
#include "framework/KmxMiscellaneous.h"
#include "support/Gui.h"
#include "support/ProgramWindow.h"
#include "support/TestSupport.h"
#include "widgets/Application.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

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

// Wine knows no critical process: the system's answer that one is.
LONG WINAPI CriticalProcessAnswer(HANDLE, ULONG infoClass, PVOID info, ULONG, PULONG) {
    *static_cast<ULONG*>(info) = infoClass == 29;  // ProcessBreakOnTermination
    return 0;
}

class Commands : public ProgramWindowTest {
protected:
    Commands() : ProgramWindowTest("Ovrelle Commands Test", "Software\\Quillmar\\OvrelleCommandsTest") {}
    void SetUp() override {
        ProgramWindowTest::SetUp();
        savedSession = SessionApi();
        SessionApi().ExitWindowsEx = StandInExitWindowsEx;
        sessionSystem = &system;
        Start();
    }
    void TearDown() override {
        ProgramWindowTest::TearDown();
        SessionApi() = savedSession;
        sessionSystem = nullptr;
    }
    DialogResult Answer(const Dialog& dialog) override {
        if (throwAtConfirmation && dialog.buttons == DialogButtons::YesNo) throw 42;  // not a std::exception
        return answer;
    }

    // A command of the window's menu bar, as a click on it sends it.
    void ChooseFromMenuBar(const std::vector<std::string>& captions) {
        ChooseMenuItem(Main(), GetMenu(Main()), captions);
    }
    // Handles what the command left in the queue; true when the program
    // has been asked to end.
    bool ProgramEnds() {
        widgets::Application::Instance().ProcessMessages();
        MSG quit{};
        return PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }

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
        const char* caption;
        const char* question;
        UINT flags;
    } cases[] = {
        {"&Logout Windows user", "All unsaved data will be lost.\r\nContinue to logout?", EWX_LOGOFF},
        {"&Reboot computer", "All unsaved data will be lost.\r\nContinue to reboot?", EWX_REBOOT},
        {"&Shutdown computer", "All unsaved data will be lost.\r\nContinue to shutdown?",
         EWX_SHUTDOWN | EWX_POWEROFF},
    };
    system.refuses = true;
    for (const Case& c : cases) {
        for (DialogResult given : {DialogResult::Cancel, DialogResult::OK}) {
            answer = given;
            dialogs.clear();
            system.requests.clear();
            ChooseFromMenuBar({"&System", c.caption});
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
    ChooseFromMenuBar({"&System", "&Reboot computer"});
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(system.requests, std::vector<UINT>{EWX_REBOOT});
    EXPECT_TRUE(ProgramEnds());
    EXPECT_FALSE(Form().Visible());
}

// Whatever fails between the confirmation and the termination is answered
// with the cannot-terminate message, not the general error report; a
// critical process (its end stops Windows) is refused before the warning.
TEST_F(Commands, AnyErrorWhileTerminatingOrACriticalProcessIsAnsweredWithTheCannotTerminateMessage) {
    ChildProcess child(ChildExe("WindowChild"), "--none");
    child.WaitIdle();
    Refresh();
    int row = RowOf(child.Id());
    ASSERT_GE(row, 0);
    ClickRow(Processes(), row);

    throwAtConfirmation = true;
    Choose({"Shut&down process"});
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].text, "Can not terminate WindowChild.exe.");
    EXPECT_EQ(dialogs[1].kind, DialogKind::Information);
    EXPECT_TRUE(child.Running());
    EXPECT_EQ(RowOf(child.Id()), row);

    const TNtQueryInformationProcess system = NtQueryInformationProcessEntry();
    NtQueryInformationProcessEntry() = CriticalProcessAnswer;
    dialogs.clear();
    Choose({"Shut&down process"});
    NtQueryInformationProcessEntry() = system;
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{"Can not terminate WindowChild.exe.\r\nIt is a critical "
                                                      "process of the system: Windows stops at once when it ends."});
    EXPECT_TRUE(child.Running());
}
