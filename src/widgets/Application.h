// The application object: the title, the main window, the message loop and
// the general error reporting that every window procedure hands errors to.
#pragma once

#include <windows.h>

#include <exception>
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
    std::unique_ptr<Form> mainForm_;
    // The thread that creates the application is the window thread; the
    // shell's icon calls need it in a single-threaded COM apartment.
    bool comInitialized_ = false;
};

}  // namespace widgets
