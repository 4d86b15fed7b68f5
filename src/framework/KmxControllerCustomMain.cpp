#include "framework/KmxControllerCustomMain.h"

#include "widgets/Application.h"

TCCustomMain::TCCustomMain() {
    widgets::Application& application = widgets::Application::Instance();
    MainForm = application.CreateMainForm<TfrmMain>();
    MainForm->SetText(application.Title());
    Settings().ReadFormPlacement(MainForm->Handle(), MainForm->Name());
}

TCCustomMain::~TCCustomMain() {
    StoreSettingsAtExit();
    settings_.reset();
}

void TCCustomMain::StoreSettingsAtExit() noexcept {
    try {
        StoreSettings();
    } catch (const std::exception& error) {
        widgets::Application::Instance().ShowException(error);
    } catch (...) {
    }
}

void TCCustomMain::StoreSettings() {
    if (stored_) return;
    stored_ = true;
    CollectSettings();
    Settings().WriteFormPlacement(MainForm->Handle(), MainForm->Name());
    Settings().Store();
}

TCRegistry& TCCustomMain::Settings() {
    if (!settings_) settings_ = std::make_unique<TCRegistry>();
    return *settings_;
}
