// A progress bar: how much of a known amount of work is done.
#pragma once

#include "widgets/Window.h"

namespace widgets {

class ProgressBar : public Window {
public:
    ProgressBar(HWND parent, UINT_PTR id);
    void SetMaximum(int maximum);
    int Maximum() const { return maximum_; }
    void SetPosition(int position);
    int Position() const;

private:
    int maximum_ = 100;
};

}  // namespace widgets
