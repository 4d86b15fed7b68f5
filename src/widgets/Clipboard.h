// Text for the clipboard.
#pragma once

#include <windows.h>

#include <string>

namespace widgets {

// Replaces the clipboard's contents with the text (in the ANSI code page,
// which the program's manifest makes UTF-8) as Unicode text. Raises
// std::runtime_error when the clipboard cannot be had.
void SetClipboardText(HWND owner, const std::string& text);

}  // namespace widgets
