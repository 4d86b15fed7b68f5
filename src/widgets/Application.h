// The application object: the title, the main window, the message loop and
// the general error reporting that every window procedure hands errors to.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

    // Runs the message loop until the main window has closed. While no
    // message waits, the idle work goes on.
    void Run();
    // Handles the messages waiting in the queue, then, when none is left, a
    // round of the idle work; then returns.
    void ProcessMessages();

    // Work done between messages, while none waits, one small step at a
    // time: a step answers whether work is left, and the work ends when
    // none is. An owner has one work; adding another replaces it.
    void AddIdleWork(const void* owner, std::function<bool()> step);
    void RemoveIdleWork(const void* owner);
    bool HasIdleWork() const { return !idleWork_.empty(); }
    // Steps of the idle work until a message comes or a round's time is up
    // (input waits no longer than that and one step); false when no work is
    // left.
    bool DoIdleWork();

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
    struct IdleWork {
        const void* owner;
        std::function<bool()> step;
    };
    std::vector<IdleWork> idleWork_;
    size_t nextIdleWork_ = 0;
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
