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

    // What the program keeps for its next start, written once: what the
    // controller puts into the store (CollectSettings), the window's
    // placement, then the store's values. At exit, and when the session
    // ends with the program open (the system ends the process then).
    void StoreSettings();

protected:
    // The same from a destructor: an error is shown, not thrown.
    void StoreSettingsAtExit() noexcept;
    virtual void CollectSettings() {}

    // Owned by the application, which destroys it at the very end.
    TfrmMain* MainForm;

private:
    std::unique_ptr<TCRegistry> settings_;
    bool stored_ = false;
};
