// The application object: the title, the main window, the message loop and
// the general error reporting that every window procedure hands errors to.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace widgets {

class Form;

class Application {
public:
    static Application& Instance();

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // The main window, owned by the application: closing it hides it and
    // ends the message loop; it is destroyed at the very end.
    template <typename TForm>
    TForm* CreateMainForm() {
        auto form = std::make_unique<TForm>();
        TForm* raw = form.get();
        AdoptMainForm(std::move(form));
        return raw;
    }
    Form* MainForm() const { return mainForm_.get(); }
    HWND MainWindowHandle() const;
    void DestroyMainForm();

    // Runs the message loop until the main window has closed.
    void Run();
    // Handles the messages waiting in the queue, then returns.
    void ProcessMessages();

    // A menu or a modal box of the program is open from Begin to End (pairs
    // nest): what would change the windows under it waits (Holding) and
    // runs when OnHoldEnded says the last one has closed.
    void BeginHold();
    void EndHold();
    bool Holding() const { return holds_ > 0; }
    std::function<void()> OnHoldEnded;

    // The general error reporting: shows the message and lets the program
    // go on. Called by the window procedures for errors no handler caught.
    void ShowException(const std::exception& error);
    void ShowUnknownException();

private:
    Application();
    ~Application();
    void AdoptMainForm(std::unique_ptr<Form> form);
    // The main window's shortcuts first, then the usual translation.
    void Dispatch(MSG& message);

    std::string title_;
    int holds_ = 0;
    std::unique_ptr<Form> mainForm_;
    // The thread that creates the application is the window thread; the
    // shell's icon calls need it in a single-threaded COM apartment.
    bool comInitialized_ = false;
};

// Holds for the life of a scope.
class HeldWhileOpen {
public:
    HeldWhileOpen() { Application::Instance().BeginHold(); }
    ~HeldWhileOpen() { Application::Instance().EndHold(); }
    HeldWhileOpen(const HeldWhileOpen&) = delete;
    HeldWhileOpen& operator=(const HeldWhileOpen&) = delete;
};

}  // namespace widgets
