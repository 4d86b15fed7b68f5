#include "support/ProgramWindow.h"

#include "framework/KmxFormat.h"
#include "support/Gui.h"
#include "widgets/Application.h"

namespace testing_support {

void ProgramWindowTest::SetUp() {
    RegDeleteTreeA(HKEY_CURRENT_USER, settingsKey.c_str());
    widgets::Application::Instance().SetTitle(title_);
    widgets::SetDialogHook([this](const std::string& text, DialogKind kind, DialogButtons buttons) {
        dialogs.push_back({text, kind, buttons});
        if (whileDialogOpen) whileDialogOpen();
        return Answer(dialogs.back());
    });
}

void ProgramWindowTest::TearDown() {
    Stop();
    widgets::SetDialogHook(nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, settingsKey.c_str());
}

void ProgramWindowTest::Start() {
    controller = std::make_unique<TCMain>();
    Form().Show();
    SetForegroundWindow(Main());
    SetFocus(Processes());
    Pump();
}

void ProgramWindowTest::Stop() {
    controller.reset();
    widgets::Application::Instance().DestroyMainForm();
}

void ProgramWindowTest::Choose(const std::vector<std::string>& captions) {
    ChooseMenuItem(Main(), Popup(), captions);
}

int ProgramWindowTest::RowOf(DWORD processId) {
    return FindRow(Processes(), kPidColumn, ProcessIdText(processId));
}

std::vector<std::string> ProgramWindowTest::DialogTexts() const {
    std::vector<std::string> texts;
    for (const Dialog& dialog : dialogs) texts.push_back(dialog.text);
    return texts;
}

}  // namespace testing_support
