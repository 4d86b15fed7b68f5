#include "widgets/ProgressBar.h"

namespace widgets {

ProgressBar::ProgressBar(HWND parent, UINT_PTR id) {
    // The program's start registers the classes it always needs; this one
    // only where a window shows a progress bar.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    CreateControl(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, parent, id);
    SetMaximum(maximum_);
}

void ProgressBar::SetMaximum(int maximum) {
    maximum_ = maximum > 0 ? maximum : 1;
    SendMessageW(Handle(), PBM_SETRANGE32, 0, maximum_);
}

void ProgressBar::SetPosition(int position) { SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(position), 0); }

int ProgressBar::Position() const { return static_cast<int>(SendMessageW(Handle(), PBM_GETPOS, 0, 0)); }

}  // namespace widgets
