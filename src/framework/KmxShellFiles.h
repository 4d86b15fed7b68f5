// The shell's own views of a file: its folder window with the file
// selected, and its properties sheet (where Windows shows the file's
// details and digital signature). The shell library is loaded at the first
// command; both take paths of any length.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

enum class TShellFileCommand { OpenLocation, Properties };

// False when the file or the shell refused, with the system's reason in the
// calling thread's last error.
bool OpenFileLocation(const std::string& path);
bool ShowFileProperties(const std::string& path);

// Tests take the command as it would reach the shell, the whole path in
// UTF-16, and no window opens; a null hook gives the shell back.
using ShellFileFunction = std::function<bool(TShellFileCommand command, HWND owner, const std::wstring& path)>;
void SetShellFileHook(ShellFileFunction hook);
