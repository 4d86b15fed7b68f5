#include "framework/KmxRegistryText.h"

#include <algorithm>

std::string IntegerToRegistryText(std::int32_t value) { return std::to_string(value); }

std::string BooleanToRegistryText(bool value) { return value ? "1" : "0"; }

std::int32_t RegistryTextToInteger(const std::string& text, std::int32_t defaultValue) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return defaultValue;

    // The magnitude of INT32_MIN is one more than INT32_MAX.
    const std::int64_t limit = negative ? std::int64_t{INT32_MAX} + 1 : INT32_MAX;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return defaultValue;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) return defaultValue;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

bool RegistryTextToBoolean(const std::string& text, bool defaultValue) {
    return RegistryTextToInteger(text, defaultValue ? 1 : 0) != 0;
}

std::string CompactTitle(const std::string& title) {
    std::string result = title;
    result.erase(std::remove(result.begin(), result.end(), ' '), result.end());

    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    auto first = std::find_if_not(result.begin(), result.end(), isBlank);
    auto last = std::find_if_not(result.rbegin(), result.rend(), isBlank).base();
    result = first < last ? std::string(first, last) : std::string();

    result.erase(std::remove(result.begin(), result.end(), '\''), result.end());
    return result;
}
