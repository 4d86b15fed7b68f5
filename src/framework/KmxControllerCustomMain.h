// The reusable controller base: creates the main window as the
// application's main window, owns the settings store and restores and
// stores the window's placement.
#pragma once

#include "controllers/ControllerRegistry.h"
#include "views/ViewMain.h"

#include <memory>

class TCCustomMain {
public:
    TCCustomMain();
    virtual ~TCCustomMain();
    TCCustomMain(const TCCustomMain&) = delete;
    TCCustomMain& operator=(const TCCustomMain&) = delete;

    // The store, created on the first request.
    TCRegistry& Settings();

protected:
    // Owned by the application, which destroys it at the very end.
    TfrmMain* MainForm;

private:
    std::unique_ptr<TCRegistry> settings_;
};
