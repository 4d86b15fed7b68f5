// Texts are UTF-8 inside the program and UTF-16 at the system's boundary:
// every call that takes or returns text is made in its wide form, through
// these two conversions, whatever code page the process runs under.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace widgets {

// Invalid UTF-8 becomes U+FFFD, as the system converts it.
std::wstring Utf16(const std::string& text);
// Into a buffer of the system, NUL-terminated, cut to what it holds.
void Utf16Into(const std::string& text, wchar_t* buffer, int capacity);
// Unpaired surrogates become U+FFFD.
std::string Utf8(const wchar_t* text, std::size_t length);
std::string Utf8(const std::wstring& text);
// A text of a buffer the system filled: up to its first NUL or its end.
std::string Utf8UpToNul(const wchar_t* buffer, std::size_t capacity);

// A file's path as the wide calls take it past MAX_PATH: with the prefix of
// long paths ("\\\\?\\", or "\\\\?\\UNC\\" for a share) when it is that long.
std::wstring FilePathForSystem(const std::string& path);
// The short (8.3) form of a path past MAX_PATH, for the calls that take no
// longer one (those that load a file as a library); empty when the path is
// shorter or the volume keeps no short names that bring it under MAX_PATH.
std::wstring ShortFilePath(const std::string& path);

// Texts compared whole and without regard to case as the file system compares
// names: character by character (ordinally), not by the user's language
// rules, under which a Turkish "I" is no capital "i" and "ß" equals "ss".
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

}  // namespace widgets
