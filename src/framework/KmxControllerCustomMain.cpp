#include "framework/KmxControllerCustomMain.h"

#include "widgets/Application.h"

TCCustomMain::TCCustomMain() {
    widgets::Application& application = widgets::Application::Instance();
    MainForm = application.CreateMainForm<TfrmMain>();
    MainForm->SetText(application.Title());
    Settings().ReadFormPlacement(MainForm->Handle(), MainForm->Name());
}

TCCustomMain::~TCCustomMain() {
    try {
        Settings().WriteFormPlacement(MainForm->Handle(), MainForm->Name());
    } catch (const std::exception& error) {
        widgets::Application::Instance().ShowException(error);
    }
    settings_.reset();
}

TCRegistry& TCCustomMain::Settings() {
    if (!settings_) settings_ = std::make_unique<TCRegistry>();
    return *settings_;
}
