#include "widgets/Application.h"

#include "widgets/Dialogs.h"
#include "widgets/Form.h"

#include <objbase.h>

#include <chrono>
#include <cstddef>

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
    for (;;) {
        while (HasIdleWork() && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) DoIdleWork();
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) return;
        Dispatch(message);
    }
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
    if (HasIdleWork()) DoIdleWork();
}

void Application::AddIdleWork(const void* owner, std::function<bool()> step) {
    for (IdleWork& work : idleWork_) {
        if (work.owner != owner) continue;
        work.step = std::move(step);
        return;
    }
    idleWork_.push_back({owner, std::move(step)});
}

void Application::RemoveIdleWork(const void* owner) {
    for (size_t i = 0; i < idleWork_.size(); ++i) {
        if (idleWork_[i].owner != owner) continue;
        idleWork_.erase(idleWork_.begin() + static_cast<std::ptrdiff_t>(i));
        if (nextIdleWork_ > i) --nextIdleWork_;
        return;
    }
}

// A round is short enough that a key or click waits unnoticed; input that
// comes during it ends it after the step under way. The queue is looked at
// once a millisecond: each look is a request to the Wine server, which
// costs more than a short step.
bool Application::DoIdleWork() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point looked = start;
    const auto round = std::chrono::milliseconds(8), look = std::chrono::milliseconds(1);
    while (!idleWork_.empty()) {
        if (nextIdleWork_ >= idleWork_.size()) nextIdleWork_ = 0;
        // The step may add or remove work: it runs from a copy.
        const void* owner = idleWork_[nextIdleWork_].owner;
        std::function<bool()> step = idleWork_[nextIdleWork_].step;
        // A work that fails ends, so that its error is shown once.
        bool more = false;
        try {
            more = step();
        } catch (const std::exception& error) {
            ShowException(error);
        } catch (...) {
            ShowUnknownException();
        }
        if (!more) RemoveIdleWork(owner);
        else ++nextIdleWork_;
        const Clock::time_point now = Clock::now();
        if (now - start >= round) break;
        if (now - looked >= look) {
            looked = now;
            if (HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0) break;
        }
    }
    return HasIdleWork();
}

void Application::Dispatch(MSG& message) {
    // Only keys make shortcuts; the check asks the system for the active
    // window, a request to the Wine server, which other messages are spared.
    const UINT kind = message.message;
    bool key = kind == WM_KEYDOWN || kind == WM_SYSKEYDOWN || kind == WM_CHAR || kind == WM_SYSCHAR;
    if (key && mainForm_ && mainForm_->TranslateShortcut(message)) return;
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
