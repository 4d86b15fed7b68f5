// Text forms of values shown in the lists: the process-id text of a row.
#pragma once

#include <cstdint>
#include <string>

// At least four upper-case hexadecimal digits: 4 gives "0004", 1234 "04D2",
// 0xFFFFFFFF (no such process) "FFFFFFFF".
std::string ProcessIdText(std::uint32_t processId);

// Reads a process-id text back: hexadecimal digits in either case, leading
// blanks allowed. Empty text, any other character or more than 32 bits give
// -1, and so does FFFFFFFF.
std::int32_t ProcessIdFromText(const std::string& text);
