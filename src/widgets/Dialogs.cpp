#include "widgets/Dialogs.h"

#include "widgets/Application.h"
#include "widgets/Utf16.h"

#include <windows.h>

namespace widgets {

namespace {
DialogHook& Hook() {
    static DialogHook hook;
    return hook;
}
}  // namespace

void SetDialogHook(DialogHook hook) { Hook() = std::move(hook); }

DialogResult MessageDlg(const std::string& text, DialogKind kind, DialogButtons buttons) {
    // The program's windows stay as they were while a question is open.
    HeldWhileOpen held;
    if (Hook()) return Hook()(text, kind, buttons);

    UINT style = MB_TASKMODAL;
    std::string title = Application::Instance().Title();
    switch (kind) {
        case DialogKind::Warning: style |= MB_ICONWARNING; title = "Warning"; break;
        case DialogKind::Information: style |= MB_ICONINFORMATION; title = "Information"; break;
        case DialogKind::Error: style |= MB_ICONERROR; title = "Error"; break;
        case DialogKind::Plain: break;
    }
    switch (buttons) {
        case DialogButtons::OK: style |= MB_OK; break;
        case DialogButtons::OKCancel: style |= MB_OKCANCEL; break;
        case DialogButtons::YesNo: style |= MB_YESNO; break;
    }
    HWND owner = Application::Instance().MainWindowHandle();
    switch (MessageBoxW(owner, Utf16(text).c_str(), Utf16(title).c_str(), style)) {
        case IDOK: return DialogResult::OK;
        case IDYES: return DialogResult::Yes;
        case IDNO: return DialogResult::No;
        default: return DialogResult::Cancel;
    }
}

}  // namespace widgets
