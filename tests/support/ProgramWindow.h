// The program's main window as the tests drive it: a title and settings key
// of the test's own (removed before and after each test), the dialogs the
// program shows recorded and answered, and the window's controls and menu
// commands.
#pragma once

#include "controllers/ControllerMain.h"
#include "widgets/Dialogs.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Columns of the process list.
constexpr int kPathColumn = 4;
constexpr int kPidColumn = 6;

class ProgramWindowTest : public ::testing::Test {
protected:
    using DialogButtons = widgets::DialogButtons;
    using DialogKind = widgets::DialogKind;
    using DialogResult = widgets::DialogResult;
    struct Dialog {
        std::string text;
        DialogKind kind;
        DialogButtons buttons;
    };

    ProgramWindowTest(std::string testTitle, std::string settingsKeyPath)
        : settingsKey(std::move(settingsKeyPath)), title_(std::move(testTitle)) {}
    void SetUp() override;
    void TearDown() override;
    // The answer to a dialog, asked after it is recorded.
    virtual DialogResult Answer(const Dialog&) { return answer; }

    // Creates the window and shows it in front, the process list focused.
    void Start();
    // Closes the window, which stores its settings.
    void Stop();

    TfrmMain& Form() { return controller->Form(); }
    HWND Main() { return Form().Handle(); }
    HWND Processes() { return Form().lsvProcesses.Handle(); }
    HWND Modules() { return Form().lsvModules.Handle(); }
    HMENU Popup() { return Form().popProcess.Handle(); }
    // A command of the process list's popup menu, as a click on it sends it.
    void Choose(const std::vector<std::string>& captions);
    void Refresh() { Choose({"&Refresh screen"}); }
    // The process list's row of the process, or -1.
    int RowOf(DWORD processId);
    std::vector<std::string> DialogTexts() const;

    const std::string settingsKey;  // under HKEY_CURRENT_USER
    std::unique_ptr<TCMain> controller;
    std::vector<Dialog> dialogs;
    DialogResult answer = DialogResult::OK;
    // Runs while a dialog is open, before it is answered.
    std::function<void()> whileDialogOpen;

private:
    const std::string title_;
};

}  // namespace testing_support
