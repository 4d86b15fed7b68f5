#include "widgets/Application.h"

#include "widgets/Dialogs.h"

namespace widgets {

Application& Application::Instance() {
    static Application application;
    return application;
}

void Application::Run() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Application::ProcessMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Application::ShowException(const std::exception& error) {
    MessageDlg(error.what(), DialogKind::Error, DialogButtons::OK);
}

void Application::ShowUnknownException() {
    MessageDlg("An unexpected error occurred.", DialogKind::Error, DialogButtons::OK);
}

}  // namespace widgets
