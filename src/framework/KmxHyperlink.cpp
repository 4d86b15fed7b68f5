#include "framework/KmxHyperlink.h"

#include "widgets/Application.h"
#include "widgets/PageControl.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <shellapi.h>

namespace {

ShellOpenFunction& Hook() {
    static ShellOpenFunction hook;
    return hook;
}

// Every link of the container back to rest; a plain label with a hint
// counts as a link, one without is left alone.
void ResetLinks(widgets::Container& container) {
    for (widgets::GraphicControl* control : container.Controls()) {
        auto* label = dynamic_cast<widgets::Label*>(control);
        if (!label || label->Hint().empty()) continue;
        label->SetUnderline(false);
        label->SetFontColor(widgets::color::Black);
    }
}

}  // namespace

void SetShellOpenHook(ShellOpenFunction hook) { Hook() = std::move(hook); }

void ShellOpen(const std::string& target) {
    HWND owner = widgets::Application::Instance().MainWindowHandle();
    if (Hook()) {
        Hook()(owner, target);
        return;
    }
    // A shell that cannot be loaded opens nothing, as a target it cannot open.
    static widgets::SystemFunction<decltype(ShellExecuteW)> execute(widgets::Shell32Library(), "ShellExecuteW");
    if (execute) execute.Get()(owner, L"open", widgets::Utf16(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

TLabelToLinkEventHandlers& LinkHandlers() {
    static TLabelToLinkEventHandlers handlers;
    return handlers;
}

void TLabelToLinkEventHandlers::LabelClick(widgets::Label& sender) {
    ResetLinks(sender.Parent());
    ShellOpen(sender.Hint());
}

void TLabelToLinkEventHandlers::LabelMouseMove(widgets::Label& sender, int, int) {
    ResetLinks(sender.Parent());
    sender.SetUnderline(true);
    sender.SetFontColor(widgets::color::Blue);
}

void TLabelToLinkEventHandlers::ParentMouseMove(widgets::Container& sender, int, int) {
    ResetLinks(sender);
}

void LabelToLink(widgets::Label& label, const std::string& url) {
    label.SetCursor(LoadCursor(nullptr, IDC_HAND));
    label.SetHint(url);
    label.OnClick = [](widgets::Label& sender) { LinkHandlers().LabelClick(sender); };
    label.OnMouseMove = [](widgets::Label& sender, int x, int y) {
        LinkHandlers().LabelMouseMove(sender, x, y);
    };
    // Labels of this widget layer always lie on a panel or a tab sheet.
    widgets::Container& container = label.Parent();
    if (dynamic_cast<widgets::Panel*>(&container) || dynamic_cast<widgets::TabSheet*>(&container)) {
        container.OnMouseMove = [](widgets::Container& sender, int x, int y) {
            LinkHandlers().ParentMouseMove(sender, x, y);
        };
    }
}
