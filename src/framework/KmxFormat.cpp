#include "framework/KmxFormat.h"

#include <cstdio>

std::string ProcessIdText(std::uint32_t processId) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.4X", static_cast<unsigned>(processId));
    return buffer;
}

std::int32_t ProcessIdFromText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return -1;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else return -1;
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFu) return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}
