// Modal message dialogs with a kind (title and icon) and a button set.
// Tests answer them through a hook instead of a person.
#pragma once

#include <functional>
#include <string>

namespace widgets {

enum class DialogKind { Plain, Warning, Information, Error };
enum class DialogButtons { OK, OKCancel, YesNo };
enum class DialogResult { OK, Cancel, Yes, No };

// Shows the dialog owned by the application's main window (if any) and
// returns the button pressed. Plain dialogs carry the application title.
DialogResult MessageDlg(const std::string& text, DialogKind kind, DialogButtons buttons);

// While a hook is set, MessageDlg calls it instead of showing anything.
using DialogHook = std::function<DialogResult(const std::string& text, DialogKind, DialogButtons)>;
void SetDialogHook(DialogHook hook);

}  // namespace widgets
