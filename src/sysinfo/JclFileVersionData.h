// The walk over a version resource held in memory: string tables, translations
// and the fixed block. TJclFileVersionInfo reads the file and hands the bytes here.
#pragma once

#include "sysinfo/JclBase.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Raised for a file without a version resource and for a resource the walk
// rejects; the message is the same in both cases.
class EJclFileVersionInfoError : public EJclError {
public:
    EJclFileVersionInfoError() : EJclError("File contains no version information") {}
};

// The standard string keys, 1-based: index 0 holds no key.
extern const char* const VersionKeyNames[13];

// One line of a string list with the value attached to it.
struct TVersionStringLine {
    std::string Text;
    std::uint32_t Data;
};

class TJclFileVersionData {
public:
    static constexpr std::size_t FixedInfoSize = 52;

    // Walks the whole resource; raises EJclFileVersionInfoError when it is
    // malformed: a node outside its parent (the root outside the buffer) or
    // shorter than its header, a key without its NUL inside its node, or
    // one of the faults the format itself names. A value whose length runs
    // past its node is read up to the node's end.
    explicit TJclFileVersionData(std::vector<std::uint8_t> rawData);

    // Value of VersionKeyNames[index] in the selected table, as stored
    // (callers trim); empty when the key is absent or the index is not 1-12.
    std::string VersionKeyValue(int index) const;

    const std::vector<std::uint8_t>& RawData() const { return rawData_; }
    // The fixed block (VS_FIXEDFILEINFO) inside RawData, FixedInfoSize bytes.
    const std::uint8_t* Fixed() const { return rawData_.data() + fixedOffset_; }
    // key=value per string entry of every table, in resource order, with the
    // 0-based number of its table.
    const std::vector<TVersionStringLine>& AllStrings() const { return allStrings_; }
    // The lines of the selected table, each with that table's language word pair.
    const std::vector<TVersionStringLine>& Strings() const { return strings_; }
    // Per table: language id in the low word, code page in the high word.
    const std::vector<std::uint32_t>& TableLanguages() const { return tableLanguages_; }
    int TableIndex() const { return tableIndex_; }
    // The "Translation" words of VarFileInfo; kept, not used to choose a table.
    const std::vector<std::uint32_t>& Translations() const { return translations_; }

private:
    std::vector<std::uint8_t> rawData_;
    std::size_t fixedOffset_ = 0;
    std::vector<TVersionStringLine> allStrings_;
    std::vector<TVersionStringLine> strings_;
    std::vector<std::uint32_t> tableLanguages_;
    int tableIndex_ = 0;
    std::vector<std::uint32_t> translations_;

    friend class TVersionResourceWalk;
};
