// The application object: the title, the main window, the message loop and
// the general error reporting that every window procedure hands errors to.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace widgets {

class Application {
public:
    static Application& Instance();

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // The main window: its closing ends the message loop.
    HWND MainWindowHandle() const { return mainWindow_; }
    void SetMainWindowHandle(HWND window) { mainWindow_ = window; }

    // Runs the message loop until the main window has closed.
    void Run();
    // Handles the messages waiting in the queue, then returns.
    void ProcessMessages();

    // The general error reporting: shows the message and lets the program
    // go on. Called by the window procedures for errors no handler caught.
    void ShowException(const std::exception& error);
    void ShowUnknownException();

private:
    Application() = default;
    std::string title_;
    HWND mainWindow_ = nullptr;
};

}  // namespace widgets
