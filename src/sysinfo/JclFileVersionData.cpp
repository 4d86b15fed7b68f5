#include "sysinfo/JclFileVersionData.h"

#include <algorithm>
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
    auto wide = [](const char* text, std::size_t length) {
        int units = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
        std::wstring result(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
        if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), &result[0], units);
        return result;
    };
    std::wstring x = wide(a, aLength), y = wide(b, bLength);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                          static_cast<int>(y.size())) == CSTR_EQUAL;
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

// UTF-16 (little-endian, any alignment) to the program's text, UTF-8, on
// every system and under every code page. Unpaired surrogates become
// U+FFFD, as the system's conversion makes them.
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
}

// A node's header; its value starts where the header ends.
struct NodeHeader {
    std::size_t end;  // start + wLength, never past the parent's end
    std::uint16_t valueLength;
    std::uint16_t type;
    std::string key;
};

}  // namespace

// One pass over RawData. Every node lies inside its parent (the root inside
// the buffer) and covers at least its header; keys and values are read only
// from inside their own node. Anything else is malformed. The read position
// only moves forward and every byte is read a bounded number of times, so
// work and output stay linear in the size of the resource.
class TVersionResourceWalk {
public:
    explicit TVersionResourceWalk(TJclFileVersionData& data)
        : data_(data), bytes_(data.rawData_.data()), size_(data.rawData_.size()) {}

    void Run() {
        // The 16-bit layout has no type word, so offset 4 holds the first
        // characters of the root key there instead of 0 or 1.
        wide_ = Word(4) < 2;

        NodeHeader root = ReadHeader(size_);
        if (!AsciiEqualNoCase(root.key, "VS_VERSION_INFO") ||
            root.valueLength != TJclFileVersionData::FixedInfoSize ||
            !Inside(pos_, TJclFileVersionData::FixedInfoSize, root.end))
            Malformed();
        data_.fixedOffset_ = pos_;
        if (DWord(pos_) != FixedInfoSignature) Malformed();
        pos_ += TJclFileVersionData::FixedInfoSize;
        Align();

        while (pos_ < root.end) {
            NodeHeader child = ReadHeader(root.end);
            SkipValue(child);
            if (AsciiEqualNoCase(child.key, "StringFileInfo"))
                ReadStringTables(child.end);
            else if (AsciiEqualNoCase(child.key, "VarFileInfo"))
                ReadTranslations(child.end);
            else
                break;
        }

        std::uint32_t tableIndex = static_cast<std::uint32_t>(data_.tableIndex_);
        data_.strings_.clear();
        data_.strings_.reserve(static_cast<std::size_t>(
            std::count_if(data_.allStrings_.begin(), data_.allStrings_.end(),
                          [tableIndex](const TVersionStringLine& line) { return line.Data == tableIndex; })));
        for (const TVersionStringLine& line : data_.allStrings_)
            if (line.Data == tableIndex) data_.strings_.push_back({line.Text, data_.tableLanguages_[tableIndex]});
    }

private:
    [[noreturn]] static void Malformed() { throw EJclFileVersionInfoError(); }

    static bool Inside(std::size_t at, std::size_t count, std::size_t end) {
        return at <= end && count <= end - at;
    }

    std::uint16_t Word(std::size_t at) const {
        if (!Inside(at, 2, size_)) Malformed();
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }

    std::uint32_t DWord(std::size_t at) const {
        if (!Inside(at, 4, size_)) Malformed();
        return static_cast<std::uint32_t>(bytes_[at]) | static_cast<std::uint32_t>(bytes_[at + 1]) << 8 |
               static_cast<std::uint32_t>(bytes_[at + 2]) << 16 |
               static_cast<std::uint32_t>(bytes_[at + 3]) << 24;
    }

    // Offsets count from the start of RawData, which is itself aligned.
    void Align() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }

    // The header of the node at the read position, which must end by
    // parentEnd (never past the buffer). A wLength of 0 fails here as well:
    // no node is shorter than its fixed words and the key's NUL.
    NodeHeader ReadHeader(std::size_t parentEnd) {
        NodeHeader header{};
        std::size_t fixedSize = wide_ ? 6 : 4;
        if (!Inside(pos_, fixedSize, parentEnd)) Malformed();
        header.end = pos_ + Word(pos_);
        if (header.end > parentEnd) Malformed();
        header.valueLength = Word(pos_ + 2);
        header.type = wide_ ? Word(pos_ + 4) : TypeText;
        pos_ += fixedSize;
        // The key's NUL must lie inside the node.
        if (wide_) {
            std::size_t units = WideLength(pos_, header.end);
            if (pos_ + 2 * units + 2 > header.end) Malformed();
            header.key = WideToText(bytes_ + pos_, units);
            pos_ += 2 * (units + 1);
        } else {
            std::size_t length = NarrowLength(pos_, header.end);
            if (pos_ + length + 1 > header.end) Malformed();
            header.key.assign(reinterpret_cast<const char*>(bytes_ + pos_), length);
            pos_ += length + 1;
        }
        Align();
        return header;
    }

    // UTF-16 units before the first NUL unit in [at, end), or all whole units
    // there when it holds none.
    std::size_t WideLength(std::size_t at, std::size_t end) const {
        std::size_t units = 0;
        while (at + 2 * units + 2 <= end && Word(at + 2 * units) != 0) ++units;
        return units;
    }

    // Characters before the first NUL in [at, end), or all of them.
    std::size_t NarrowLength(std::size_t at, std::size_t end) const {
        if (at >= end) return 0;
        const void* nul = std::memchr(bytes_ + at, 0, end - at);
        return nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (bytes_ + at)) : end - at;
    }

    // A value never reaches past its node: what its length claims beyond the
    // node's end is not read.
    std::size_t ValueEnd(const NodeHeader& node, std::size_t bytes) const {
        if (pos_ >= node.end) return pos_;
        return pos_ + std::min(bytes, node.end - pos_);
    }

    void SkipValue(const NodeHeader& node) { pos_ = ValueEnd(node, node.valueLength); }

    std::string ReadValue(const NodeHeader& entry) const {
        if (entry.type == TypeText) {
            if (entry.valueLength == 0) return {};
            if (!wide_) {
                std::size_t length = NarrowLength(pos_, entry.end);
                return std::string(reinterpret_cast<const char*>(bytes_ + pos_), length);
            }
            std::size_t end = ValueEnd(entry, 2 * static_cast<std::size_t>(entry.valueLength));
            return WideToText(bytes_ + pos_, WideLength(pos_, end));
        }
        if (entry.type == TypeBinary) {
            if (entry.valueLength < 1 || entry.valueLength > 4) return {};
            // The whole 32-bit word is shown, padded to the value's length;
            // bytes past the end of the node count as zero.
            std::uint32_t word = 0;
            for (std::size_t i = 0; i < 4 && pos_ + i < entry.end; ++i)
                word |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
            char text[16];
            std::snprintf(text, sizeof text, "$%.*X", 2 * entry.valueLength, static_cast<unsigned>(word));
            return text;
        }
        Malformed();
    }

    void ReadStringTables(std::size_t regionEnd) {
        std::uint32_t tableNumber = 0;
        while (pos_ < regionEnd) {
            NodeHeader table = ReadHeader(regionEnd);
            std::string key = NormaliseTableKey(table.key);
            if (table.valueLength != 0 || key.size() != 8) Malformed();
            std::uint32_t language = HexValue(key.substr(0, 4));
            std::uint32_t codePage = HexValue(key.substr(4, 4));
            data_.tableLanguages_.push_back(language | codePage << 16);

            while (pos_ < table.end) {
                NodeHeader entry = ReadHeader(table.end);
                std::string value = ReadValue(entry);
                pos_ = entry.end;
                Align();
                data_.allStrings_.push_back({entry.key + "=" + value, tableNumber});
            }
            ++tableNumber;
        }
    }

    // Only the first child of VarFileInfo is read; a block with no room for
    // one has no translations.
    void ReadTranslations(std::size_t blockEnd) {
        if (pos_ >= blockEnd) return;
        NodeHeader var = ReadHeader(blockEnd);
        if (!AsciiEqualNoCase(var.key, "Translation")) return;
        std::size_t count = (ValueEnd(var, var.valueLength) - pos_) / 4;
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
