#include "sysinfo/JclFileVersionData.h"

#include <cstdio>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

const char* const VersionKeyNames[13] = {
    "",
    "Comments",
    "CompanyName",
    "FileDescription",
    "FileVersion",
    "InternalName",
    "LegalCopyright",
    "LegalTradeMarks",
    "OriginalFilename",
    "ProductName",
    "ProductVersion",
    "SpecialBuild",
    "PrivateBuild",
};

namespace {

constexpr std::uint32_t FixedInfoSignature = 0xFEEF04BD;
constexpr std::uint16_t TypeBinary = 0;
constexpr std::uint16_t TypeText = 1;

bool AsciiEqualNoCase(const std::string& a, const char* b) {
    std::size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The key compare of the string list: the user's locale on Windows.
bool KeyEqualNoCase(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
#ifdef _WIN32
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(aLength), b,
                          static_cast<int>(bLength)) == CSTR_EQUAL;
#else
    return AsciiEqualNoCase(std::string(a, aLength), std::string(b, bLength).c_str());
#endif
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned HexValue(const std::string& digits) {
    unsigned value = 0;
    for (char c : digits) {
        unsigned digit = c <= '9' ? static_cast<unsigned>(c - '0')
                         : c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                    : static_cast<unsigned>(c - 'a' + 10);
        value = value * 16 + digit;
    }
    return value;
}

// Drops every "0x" (lower-case x only: "0X" is left to the digit filter and so
// makes the key one character too long), then everything but hex digits.
std::string NormaliseTableKey(const std::string& key) {
    std::string result;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '0' && i + 1 < key.size() && key[i + 1] == 'x') {
            ++i;
            continue;
        }
        if (IsHexDigit(key[i])) result += key[i];
    }
    return result;
}

#ifndef _WIN32
void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}
#endif

// UTF-16 (little-endian, any alignment) to the program's single-byte text:
// the ANSI code page on Windows (UTF-8 through the manifest), UTF-8 elsewhere.
// Unpaired surrogates become U+FFFD, as WideCharToMultiByte makes them.
std::string WideToText(const std::uint8_t* bytes, std::size_t units) {
    if (units == 0) return {};
    // Plain ASCII, nearly every key and value, is the same in every code page.
    std::string text(units, '\0');
    for (std::size_t i = 0; i < units; ++i) {
        if (bytes[2 * i] >= 0x80 || bytes[2 * i + 1] != 0) {
            text.clear();
            break;
        }
        text[i] = static_cast<char>(bytes[2 * i]);
    }
    if (!text.empty()) return text;
#ifdef _WIN32
    std::wstring wide(units, L'\0');
    std::memcpy(&wide[0], bytes, units * 2);
    int wideLength = static_cast<int>(units);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    text.assign(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &text[0], length, nullptr, nullptr);
    return text;
#else
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t unit = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            std::uint32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return text;
#endif
}

struct NodeHeader {
    std::size_t start;
    std::uint16_t length;
    std::uint16_t valueLength;
    std::uint16_t type;
    std::string key;
    std::size_t size;
};

}  // namespace

// One pass over RawData. Every read is checked against the end of the
// buffer: a node or value that would run past it is malformed, like the
// resource errors the walk itself detects.
class TVersionResourceWalk {
public:
    explicit TVersionResourceWalk(TJclFileVersionData& data)
        : data_(data), bytes_(data.rawData_.data()), size_(data.rawData_.size()) {}

    void Run() {
        // The 16-bit layout has no type word, so offset 4 holds the first
        // characters of the root key there instead of 0 or 1.
        wide_ = Word(4) < 2;

        NodeHeader root = ReadHeader();
        std::size_t rootEnd = root.start + root.length;
        if (!AsciiEqualNoCase(root.key, "VS_VERSION_INFO") ||
            root.valueLength != TJclFileVersionData::FixedInfoSize)
            Malformed();
        Need(pos_, TJclFileVersionData::FixedInfoSize);
        data_.fixedOffset_ = pos_;
        if (DWord(pos_) != FixedInfoSignature) Malformed();
        pos_ += TJclFileVersionData::FixedInfoSize;
        Align();

        while (pos_ < rootEnd) {
            NodeHeader child = ReadHeader();
            Need(pos_, child.valueLength);
            pos_ += child.valueLength;
            // Wraps like the 16-bit lengths it is made of; reads stay checked.
            auto remaining = static_cast<std::uint16_t>(child.length - child.size - child.valueLength);
            if (AsciiEqualNoCase(child.key, "StringFileInfo"))
                ReadStringTables(remaining);
            else if (AsciiEqualNoCase(child.key, "VarFileInfo"))
                ReadTranslations();
            else
                break;
        }

        data_.strings_.clear();
        for (const TVersionStringLine& line : data_.allStrings_)
            if (line.Data == static_cast<std::uint32_t>(data_.tableIndex_))
                data_.strings_.push_back(
                    {line.Text, data_.tableLanguages_[static_cast<std::size_t>(data_.tableIndex_)]});
    }

private:
    [[noreturn]] static void Malformed() { throw EJclFileVersionInfoError(); }

    void Need(std::size_t at, std::size_t count) const {
        if (at > size_ || count > size_ - at) Malformed();
    }

    std::uint16_t Word(std::size_t at) const {
        Need(at, 2);
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }

    std::uint32_t DWord(std::size_t at) const {
        Need(at, 4);
        return static_cast<std::uint32_t>(bytes_[at]) | static_cast<std::uint32_t>(bytes_[at + 1]) << 8 |
               static_cast<std::uint32_t>(bytes_[at + 2]) << 16 |
               static_cast<std::uint32_t>(bytes_[at + 3]) << 24;
    }

    // Offsets count from the start of RawData, which is itself aligned.
    void Align() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }

    NodeHeader ReadHeader() {
        NodeHeader header{};
        header.start = pos_;
        header.length = Word(pos_);
        if (header.length == 0) Malformed();
        Need(pos_, header.length);
        header.valueLength = Word(pos_ + 2);
        pos_ += 4;
        if (wide_) {
            header.type = Word(pos_);
            pos_ += 2;
            std::size_t units = 0;
            while (Word(pos_ + 2 * units) != 0) ++units;
            header.key = WideToText(bytes_ + pos_, units);
            pos_ += 2 * (units + 1);
        } else {
            header.type = TypeText;
            std::size_t length = NarrowLength(pos_);
            header.key.assign(reinterpret_cast<const char*>(bytes_ + pos_), length);
            pos_ += length + 1;
        }
        Align();
        header.size = pos_ - header.start;
        return header;
    }

    // Characters up to the NUL, which must lie inside the buffer.
    std::size_t NarrowLength(std::size_t at) const {
        Need(at, 1);
        const void* nul = std::memchr(bytes_ + at, 0, size_ - at);
        if (!nul) Malformed();
        return static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (bytes_ + at));
    }

    std::string ReadValue(const NodeHeader& entry) const {
        if (entry.type == TypeText) {
            if (entry.valueLength == 0) return {};
            if (!wide_) {
                std::size_t length = NarrowLength(pos_);
                return std::string(reinterpret_cast<const char*>(bytes_ + pos_), length);
            }
            Need(pos_, 2 * static_cast<std::size_t>(entry.valueLength));
            std::size_t units = 0;
            while (units < entry.valueLength && Word(pos_ + 2 * units) != 0) ++units;
            return WideToText(bytes_ + pos_, units);
        }
        if (entry.type == TypeBinary) {
            if (entry.valueLength < 1 || entry.valueLength > 4) return {};
            Need(pos_, entry.valueLength);
            // The whole 32-bit word is shown, padded to the value's length; bytes
            // past the end of the buffer count as zero.
            std::uint32_t word = 0;
            for (std::size_t i = 0; i < 4 && pos_ + i < size_; ++i)
                word |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
            char text[16];
            std::snprintf(text, sizeof text, "$%.*X", 2 * entry.valueLength, static_cast<unsigned>(word));
            return text;
        }
        Malformed();
    }

    void ReadStringTables(std::uint16_t length) {
        std::size_t regionEnd = pos_ + length;
        std::uint32_t tableNumber = 0;
        while (pos_ < regionEnd) {
            NodeHeader table = ReadHeader();
            std::string key = NormaliseTableKey(table.key);
            if (table.valueLength != 0 || key.size() != 8) Malformed();
            std::uint32_t language = HexValue(key.substr(0, 4));
            std::uint32_t codePage = HexValue(key.substr(4, 4));
            data_.tableLanguages_.push_back(language | codePage << 16);

            std::size_t tableEnd = table.start + table.length;
            while (pos_ < tableEnd) {
                NodeHeader entry = ReadHeader();
                std::string value = ReadValue(entry);
                pos_ = entry.start + entry.length;
                Align();
                data_.allStrings_.push_back({entry.key + "=" + value, tableNumber});
            }
            ++tableNumber;
        }
    }

    void ReadTranslations() {
        NodeHeader var = ReadHeader();
        if (!AsciiEqualNoCase(var.key, "Translation")) return;
        std::size_t count = var.valueLength / 4;
        Need(pos_, 4 * count);
        data_.translations_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            data_.translations_[i] = DWord(pos_);
            pos_ += 4;
        }
    }

    TJclFileVersionData& data_;
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool wide_ = true;
};

TJclFileVersionData::TJclFileVersionData(std::vector<std::uint8_t> rawData)
    : rawData_(std::move(rawData)) {
    TVersionResourceWalk(*this).Run();
}

std::string TJclFileVersionData::VersionKeyValue(int index) const {
    if (index < 1 || index > 12) return {};
    const char* name = VersionKeyNames[index];
    std::size_t nameLength = std::strlen(name);
    for (const TVersionStringLine& line : strings_) {
        std::size_t separator = line.Text.find('=');
        if (separator == std::string::npos) continue;
        if (!KeyEqualNoCase(line.Text.data(), separator, name, nameLength)) continue;
        // The value starts after name and "=", as the key matched it.
        if (nameLength + 1 > line.Text.size()) return {};
        return line.Text.substr(nameLength + 1);
    }
    return {};
}
