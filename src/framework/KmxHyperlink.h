// Labels that act as hyperlinks: a pointing hand, blue and underlined
// under the mouse, and a click opens the URL kept in the label's hint.
#pragma once

#include "widgets/Label.h"

#include <windows.h>

#include <functional>
#include <string>

// Makes the label a link to the URL (replacing any earlier one) and gives
// its panel or tab sheet the handler that puts its links back to rest.
void LabelToLink(widgets::Label& label, const std::string& url);

// Opens a web or mailto address with the shell, owned by the application's
// main window. Failures are silent.
void ShellOpen(const std::string& target);

// Tests replace the shell call so that no browser opens; null restores it.
using ShellOpenFunction = std::function<void(HWND owner, const std::string& target)>;
void SetShellOpenHook(ShellOpenFunction hook);

// The handlers that every link of the process shares.
class TLabelToLinkEventHandlers {
public:
    void LabelClick(widgets::Label& sender);
    void LabelMouseMove(widgets::Label& sender, int x, int y);
    void ParentMouseMove(widgets::Container& sender, int x, int y);
};

// The one shared instance, made on first use.
TLabelToLinkEventHandlers& LinkHandlers();
