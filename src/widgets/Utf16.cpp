#include "widgets/Utf16.h"

#include "widgets/SystemLibrary.h"

#include <cwchar>

namespace widgets {

std::wstring Utf16(const std::string& text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

void Utf16Into(const std::string& text, wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return;
    int length = text.empty() ? 0
                              : MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), buffer,
                                                    capacity - 1);
    if (length <= 0 && !text.empty()) {
        // Longer than the buffer: converted whole, then cut.
        std::wstring wide = Utf16(text);
        length = static_cast<int>(wide.copy(buffer, static_cast<std::size_t>(capacity - 1)));
    }
    buffer[length] = 0;
}

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (!text || length == 0) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &narrow[0], size, nullptr, nullptr);
    return narrow;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

std::string Utf8UpToNul(const wchar_t* buffer, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && buffer[length]) ++length;
    return Utf8(buffer, length);
}

std::wstring FilePathForSystem(const std::string& path) {
    std::wstring wide = Utf16(path);
    if (wide.size() < MAX_PATH || wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\') return L"\\\\?\\" + wide;
    return wide;
}

std::wstring ShortFilePath(const std::string& path) {
    std::wstring full = FilePathForSystem(path);
    if (full.size() < MAX_PATH) return {};
    wchar_t buffer[MAX_PATH + 8] = {};
    DWORD length = GetShortPathNameW(full.c_str(), buffer, MAX_PATH + 8);
    if (length == 0 || length >= MAX_PATH + 8) return {};
    std::wstring shortPath(buffer, length);
    if (shortPath.compare(0, 8, L"\\\\?\\UNC\\") == 0) shortPath = L"\\\\" + shortPath.substr(8);
    else if (shortPath.compare(0, 4, L"\\\\?\\") == 0) shortPath.erase(0, 4);
    return shortPath.size() < MAX_PATH ? shortPath : std::wstring();
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    std::wstring wideA = Utf16(a), wideB = Utf16(b);
    if (wideA.size() != wideB.size()) return false;
    static SystemFunction<int WINAPI(LPCWSTR, int, LPCWSTR, int, BOOL)> ordinal(Kernel32Library(),
                                                                                 "CompareStringOrdinal");
    if (ordinal)
        return ordinal.Get()(wideA.data(), static_cast<int>(wideA.size()), wideB.data(),
                             static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
    // Before Vista: both in capitals by the invariant table, then unit by unit.
    for (std::wstring* text : {&wideA, &wideB})
        if (!text->empty())
            LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text->data(), static_cast<int>(text->size()),
                         text->data(), static_cast<int>(text->size()));
    return wideA == wideB;
}

}  // namespace widgets
