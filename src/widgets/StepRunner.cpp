#include "widgets/StepRunner.h"

namespace widgets {

namespace {
const UINT kStepMessage = WM_APP + 41;
const UINT_PTR kStepTimer = 1;
// Windows that ask for painting again and again, and timers, cannot hold a
// step up longer.
const int kMostPaints = 32;
}  // namespace

StepRunner::StepRunner() {
    RegisterClass("OvrelleStepRunner", nullptr, nullptr);
    CreateOwn("OvrelleStepRunner", "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

StepRunner::~StepRunner() {
    if (Handle()) KillTimer(Handle(), kStepTimer);
}

void StepRunner::Start(std::function<bool()> step) {
    Stop();
    step_ = std::move(step);
    running_ = true;
    Schedule();
}

void StepRunner::Stop() {
    running_ = false;
    ++generation_;
    timerSet_ = false;
    KillTimer(Handle(), kStepTimer);
}

// A posted message comes before input, painting and timers, so a step is
// posted only when no input waits; painting and the timers that are due are
// handled here, as they would otherwise wait for the end of the work. Input
// is let through first by a timer of this window's, which comes after it.
void StepRunner::Schedule() {
    const unsigned generation = generation_;
    MSG waiting;
    for (int i = 0; i < kMostPaints && PeekMessageW(&waiting, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageW(&waiting);
    for (int i = 0; i < kMostPaints && PeekMessageW(&waiting, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE); ++i)
        DispatchMessageW(&waiting);
    // A timer's handler may have stopped the work, or started it anew.
    if (generation != generation_ || !running_) return;
    if (HIWORD(GetQueueStatus(QS_INPUT)) != 0) {
        timerSet_ = true;
        SetTimer(Handle(), kStepTimer, USER_TIMER_MINIMUM, nullptr);
    } else {
        PostMessageW(Handle(), kStepMessage, generation_, 0);
    }
}

void StepRunner::RunStep() {
    if (!running_) return;
    const unsigned generation = generation_;
    bool more = false;
    try {
        more = step_();
    } catch (...) {
        if (generation == generation_) running_ = false;
        throw;
    }
    // The step may have stopped the work, or started it anew.
    if (generation != generation_ || !running_) return;
    if (more) Schedule();
    else running_ = false;
}

LRESULT StepRunner::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kStepMessage) {
        if (wParam == generation_) RunStep();
        return 0;
    }
    if (message == WM_TIMER && wParam == kStepTimer) {
        KillTimer(Handle(), kStepTimer);
        // One that was posted before the timer was killed counts only once.
        if (timerSet_) {
            timerSet_ = false;
            RunStep();
        }
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}

}  // namespace widgets
