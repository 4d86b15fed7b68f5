#include "widgets/Application.h"

#include "widgets/Dialogs.h"
#include "widgets/Form.h"

#include <objbase.h>

namespace widgets {

Application& Application::Instance() {
    static Application application;
    return application;
}

Application::Application()
    : comInitialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

Application::~Application() {
    if (comInitialized_) CoUninitialize();
}

void Application::AdoptMainForm(std::unique_ptr<Form> form) { mainForm_ = std::move(form); }

HWND Application::MainWindowHandle() const { return mainForm_ ? mainForm_->Handle() : nullptr; }

void Application::DestroyMainForm() { mainForm_.reset(); }

void Application::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
}

void Application::ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void Application::Dispatch(MSG& message) {
    if (mainForm_ && mainForm_->TranslateShortcut(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Application::BeginHold() { ++holds_; }

void Application::EndHold() {
    if (holds_ == 0 || --holds_ > 0) return;
    if (OnHoldEnded) OnHoldEnded();
}

void Application::ShowException(const std::exception& error) {
    MessageDlg(error.what(), DialogKind::Error, DialogButtons::OK);
}

void Application::ShowUnknownException() {
    MessageDlg("An unexpected error occurred.", DialogKind::Error, DialogButtons::OK);
}

}  // namespace widgets
