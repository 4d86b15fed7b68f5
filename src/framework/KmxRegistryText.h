// Text forms of the values the settings store keeps in the registry (every
// value is a string there), and the compact title its key is named after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decimal text with a minus sign for negatives: -5 gives "-5".
std::string IntegerToRegistryText(std::int32_t value);

// "1" for true, "0" for false.
std::string BooleanToRegistryText(bool value);

// What converts: an optional '+' or '-', then one or more decimal digits and
// nothing else (no blanks, no hexadecimal), of a value from -2147483648 to
// 2147483647. "7" is 7, "-1" is -1, "+007" is 7; "abc", "", " 7", "7 ",
// "0x10", "1e3" and "99999999999" give defaultValue.
std::int32_t RegistryTextToInteger(const std::string& text, std::int32_t defaultValue);

// True exactly when the text converts to a non-zero integer ("1", "2" and
// "-1" are true, "0" is false); text that does not convert gives defaultValue.
bool RegistryTextToBoolean(const std::string& text, bool defaultValue);

// The title with every space removed, then trimmed of leading and trailing
// blanks and control characters, then every apostrophe removed:
// "Ovrelle", " Ovr elle " and "Ovr'elle" all give "Ovrelle".
std::string CompactTitle(const std::string& title);
