// Work that runs in steps on the window thread, between the messages: each
// step comes once the input, painting and timer messages that wait before
// it are handled, so the windows answer and show progress while the work
// goes on, and Stop ends it before its next step.
#pragma once

#include "widgets/Window.h"

#include <functional>

namespace widgets {

class StepRunner : public Window {
public:
    StepRunner();
    ~StepRunner() override;

    // Runs step again and again until it returns false or Stop is called;
    // an error that a step lets pass ends the work too.
    void Start(std::function<bool()> step);
    void Stop();
    bool Running() const { return running_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Schedule();
    void RunStep();
    std::function<bool()> step_;
    bool running_ = false;
    // Steps started and not yet come: one Start's steps are not run for another's.
    unsigned generation_ = 0;
    bool timerSet_ = false;
};

}  // namespace widgets
