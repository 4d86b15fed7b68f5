#include "sysinfo/JclFileVersionData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A node of a version resource tree, written out in either layout.
struct Node {
    std::string key;
    std::uint16_t type = 1;
    std::uint16_t valueLength = 0;
    Bytes value;
    std::vector<Node> children;
};

void PutWord(Bytes& out, std::size_t at, std::uint16_t word) {
    out[at] = static_cast<std::uint8_t>(word);
    out[at + 1] = static_cast<std::uint8_t>(word >> 8);
}

void Pad(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

void Write(const Node& node, bool wide, Bytes& out) {
    std::size_t start = out.size();
    out.resize(start + (wide ? 6 : 4));
    PutWord(out, start + 2, node.valueLength);
    if (wide) PutWord(out, start + 4, node.type);
    for (char c : node.key) {
        out.push_back(static_cast<std::uint8_t>(c));
        if (wide) out.push_back(0);
    }
    out.insert(out.end(), wide ? 2 : 1, 0);
    Pad(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) {
        Pad(out);
        Write(child, wide, out);
    }
    PutWord(out, start, static_cast<std::uint16_t>(out.size() - start));
}

Bytes Build(const Node& root, bool wide = true) {
    Bytes out;
    Write(root, wide, out);
    return out;
}

// Text in the layout's own form with its NUL; wValueLength counts UTF-16
// units in the 32-bit layout and bytes in the 16-bit one.
Node Text(const std::string& key, const std::string& value, bool wide = true) {
    Node node;
    node.key = key;
    for (char c : value) {
        node.value.push_back(static_cast<std::uint8_t>(c));
        if (wide) node.value.push_back(0);
    }
    node.value.insert(node.value.end(), wide ? 2 : 1, 0);
    node.valueLength = static_cast<std::uint16_t>(value.size() + 1);
    return node;
}

Node Binary(const std::string& key, Bytes value, std::uint16_t valueLength) {
    Node node;
    node.key = key, node.type = 0, node.valueLength = valueLength, node.value = std::move(value);
    return node;
}

Node Block(const std::string& key, std::vector<Node> children) {
    Node node;
    node.key = key, node.children = std::move(children);
    return node;
}

Node Translation(std::vector<std::uint32_t> words) {
    Node node;
    node.key = "Translation", node.type = 0, node.valueLength = static_cast<std::uint16_t>(4 * words.size());
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) node.value.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    return node;
}

Node Root(std::vector<Node> children) {
    Node root{"VS_VERSION_INFO", 0, 52, Bytes(52, 0), std::move(children)};
    root.value[0] = 0xBD, root.value[1] = 0x04, root.value[2] = 0xEF, root.value[3] = 0xFE;
    root.value[8] = 0x2A;  // dwFileVersionMS low byte, to see the block come back
    return root;
}

Bytes Resource(std::vector<Node> strings, const std::string& table = "040904B0") {
    return Build(Root({Block("StringFileInfo", {Block(table, std::move(strings))}),
                       Block("VarFileInfo", {Translation({0x04B00409})})}));
}

// Start of the node with the given key.
std::size_t NodeOffset(const Bytes& raw, const std::string& key, bool wide = true) {
    Bytes text;
    for (char c : key) {
        text.push_back(static_cast<std::uint8_t>(c));
        if (wide) text.push_back(0);
    }
    auto found = std::search(raw.begin(), raw.end(), text.begin(), text.end());
    return static_cast<std::size_t>(found - raw.begin()) - (wide ? 6 : 4);
}

std::uint16_t WordAt(const Bytes& raw, std::size_t at) {
    return static_cast<std::uint16_t>(raw[at] | raw[at + 1] << 8);
}

std::size_t TotalCharacters(const std::vector<TVersionStringLine>& lines) {
    std::size_t total = 0;
    for (const TVersionStringLine& line : lines) total += line.Text.size();
    return total;
}

// One string table filled with as many copies of entry as fit in fill bytes,
// then zero bytes up to size; the root, StringFileInfo and the table all end
// with the last copy.
Bytes FilledTable(const Bytes& entry, std::size_t fill, std::size_t size, bool wide = true) {
    Bytes raw = Build(Root({Block("StringFileInfo", {Block("040904B0", {})})}), wide);
    while (raw.size() + entry.size() <= fill) raw.insert(raw.end(), entry.begin(), entry.end());
    std::size_t end = raw.size();
    raw.resize(size, 0);
    for (std::size_t node : {std::size_t{0}, NodeOffset(raw, "StringFileInfo", wide), NodeOffset(raw, "040904B0", wide)})
        PutWord(raw, node, static_cast<std::uint16_t>(end - node));
    return raw;
}

void ExpectMalformed(const Bytes& raw) {
    try {
        TJclFileVersionData data(raw);
        ADD_FAILURE() << "accepted a malformed resource";
    } catch (const EJclFileVersionInfoError& e) {
        EXPECT_STREQ(e.what(), "File contains no version information");
    }
}

}  // namespace

TEST(VersionResource, ReadsKeysFixedBlockAndTranslations) {
    std::vector<Node> strings;
    for (int i = 1; i <= 12; ++i) strings.push_back(Text(VersionKeyNames[i], "value " + std::to_string(i)));
    TJclFileVersionData data(Resource(strings));

    for (int i = 1; i <= 12; ++i) EXPECT_EQ(data.VersionKeyValue(i), "value " + std::to_string(i));
    EXPECT_EQ(data.Fixed()[8], 0x2A);
    EXPECT_EQ(data.Fixed() - data.RawData().data(), 40);
    EXPECT_EQ(data.TableLanguages(), std::vector<std::uint32_t>{0x04B00409});
    EXPECT_EQ(data.Translations(), std::vector<std::uint32_t>{0x04B00409});
    ASSERT_EQ(data.AllStrings().size(), 12u);
    EXPECT_EQ(data.AllStrings()[1].Text, "CompanyName=value 2");
    EXPECT_EQ(data.Strings()[1].Data, 0x04B00409u);
}

TEST(VersionResource, OnlyTheFirstTableCountsWhateverTheTranslationSays) {
    Bytes raw = Build(Root({Block("StringFileInfo",
                                  {Block("040704E4", {Text("CompanyName", "Erste")}),
                                   Block("040904B0", {Text("CompanyName", "Second"), Text("Comments", "x")})}),
                            Block("VarFileInfo", {Translation({0x04B00409, 0x04E40407})})}));
    TJclFileVersionData data(raw);
    EXPECT_EQ(data.VersionKeyValue(2), "Erste");
    EXPECT_EQ(data.VersionKeyValue(1), "");
    EXPECT_EQ(data.TableLanguages(), (std::vector<std::uint32_t>{0x04E40407, 0x04B00409}));
    ASSERT_EQ(data.AllStrings().size(), 3u);
    EXPECT_EQ(data.AllStrings()[2].Text, "Comments=x");
    EXPECT_EQ(data.AllStrings()[2].Data, 1u);
    ASSERT_EQ(data.Strings().size(), 1u);
    EXPECT_EQ(data.Strings()[0].Data, 0x04E40407u);
}

TEST(VersionResource, ReadsTheSixteenBitLayout) {
    Node root = Root({Block("StringFileInfo", {Block("040904E4", {Text("CompanyName", "Old Co", false),
                                                                  Text("FileVersion", "3.10", false)})}),
                      Block("VarFileInfo", {Translation({0x04E40409})})});
    TJclFileVersionData data(Build(root, false));
    EXPECT_EQ(data.VersionKeyValue(2), "Old Co");
    EXPECT_EQ(data.VersionKeyValue(4), "3.10");
    EXPECT_EQ(data.Translations(), std::vector<std::uint32_t>{0x04E40409});
    EXPECT_EQ(data.Fixed()[8], 0x2A);
}

TEST(VersionResource, BinaryValuesShowTheWordInHex) {
    TJclFileVersionData data(Resource({Binary("Comments", {0x34, 0x12, 0, 0}, 2),
                                       Binary("CompanyName", {0x07, 0, 0, 0}, 1),
                                       Binary("FileVersion", {0x07, 0xAB, 0, 0}, 1),
                                       Binary("InternalName", {1, 2, 3, 4, 5, 0, 0, 0}, 5),
                                       Binary("ProductName", {}, 0)}));
    EXPECT_EQ(data.VersionKeyValue(1), "$1234");
    EXPECT_EQ(data.VersionKeyValue(2), "$07");
    EXPECT_EQ(data.VersionKeyValue(4), "$AB07");  // the whole word, padded to the length
    EXPECT_EQ(data.VersionKeyValue(5), "");
    EXPECT_EQ(data.VersionKeyValue(9), "");
}

TEST(VersionResource, TableKeysLoseLowerCaseHexPrefixOnly) {
    EXPECT_EQ(TJclFileVersionData(Resource({Text("Comments", "a")}, "0x040904B0")).TableLanguages(),
              std::vector<std::uint32_t>{0x04B00409});
    EXPECT_EQ(TJclFileVersionData(Resource({}, "#0409:04b0")).TableLanguages(),
              std::vector<std::uint32_t>{0x04B00409});
    ExpectMalformed(Resource({}, "0X040904B0"));
    ExpectMalformed(Resource({}, "040904B"));

    Node root = Root({Block("StringFileInfo", {Block("040904B0", {})})});
    root.children[0].children[0].valueLength = 2;  // a table carries no value
    root.children[0].children[0].value = {0, 0, 0, 0};
    ExpectMalformed(Build(root));
}

TEST(VersionResource, LookupIgnoresCaseAndTakesTheFirstOccurrence) {
    TJclFileVersionData data(Resource({Text("legaltrademarks", "tm"), Text("LEGALTRADEMARKS", "later"),
                                       Text("CompanyName", "First"), Text("CompanyName", "Second"),
                                       Text("Comments", "a=b=c")}));
    EXPECT_EQ(data.VersionKeyValue(7), "tm");
    EXPECT_EQ(data.VersionKeyValue(2), "First");
    EXPECT_EQ(data.VersionKeyValue(1), "a=b=c");
    EXPECT_EQ(data.VersionKeyValue(0), "");
    EXPECT_EQ(data.VersionKeyValue(13), "");
    EXPECT_EQ(data.VersionKeyValue(-1), "");
}

TEST(VersionResource, TextValuesStopAtNulLengthOrTheEndOfTheirNode) {
    Node early = Text("Comments", "abc");
    early.value = {'a', 0, 0, 0, 'd', 0, 0, 0};
    early.valueLength = 4;
    Node noNul = Text("CompanyName", "xyz");
    noNul.valueLength = 2;
    Node blank = Text("FileVersion", "");
    blank.valueLength = 0;
    Node unicode = Text("ProductName", "");
    unicode.value = {0xC4, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 0, 0};  // Ä, U+1F600, lone surrogate
    unicode.valueLength = 5;
    Node pastNode = Text("InternalName", "ab");
    pastNode.value.resize(4);  // no NUL inside the node
    pastNode.valueLength = 4000;
    Node pastBuffer = Text("SpecialBuild", "cd");
    pastBuffer.valueLength = 65535;
    TJclFileVersionData data(Resource({early, noNul, blank, unicode, pastNode, pastBuffer}));
    EXPECT_EQ(data.VersionKeyValue(1), "a");
    EXPECT_EQ(data.VersionKeyValue(2), "xy");
    EXPECT_EQ(data.VersionKeyValue(4), "");
    EXPECT_EQ(data.VersionKeyValue(9), "\xC3\x84\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(data.VersionKeyValue(5), "ab");
    EXPECT_EQ(data.VersionKeyValue(11), "cd");

    // In the 16-bit layout a value without its NUL ends with its node, not
    // in the next one, which here follows without padding.
    Node narrow = Text("CompanyName", "Old Corp", false);
    narrow.value.pop_back();
    Node next = Text("FileVersion", "3.10", false);
    TJclFileVersionData sixteen(Build(Root({Block("StringFileInfo", {Block("040904E4", {narrow, next})})}), false));
    EXPECT_EQ(sixteen.VersionKeyValue(2), "Old Corp");
    EXPECT_EQ(sixteen.VersionKeyValue(4), "3.10");
}

TEST(VersionResource, WithoutStringFileInfoEveryKeyIsEmpty) {
    TJclFileVersionData data(Build(Root({Block("VarFileInfo", {Translation({0x04B00409})})})));
    for (int i = 1; i <= 12; ++i) EXPECT_EQ(data.VersionKeyValue(i), "");
    EXPECT_TRUE(data.TableLanguages().empty());
    EXPECT_EQ(data.Translations().size(), 1u);
}

TEST(VersionResource, UnknownBlockUnderTheRootEndsTheWalk) {
    Bytes raw = Build(Root({Block("Extra", {}), Block("StringFileInfo", {Block("040904B0", {Text("Comments", "x")})})}));
    TJclFileVersionData data(raw);
    EXPECT_EQ(data.VersionKeyValue(1), "");
}

TEST(VersionResource, RejectsABrokenRoot) {
    ExpectMalformed({});
    Node root = Root({});
    root.key = "VS_VERSION_INF0";
    ExpectMalformed(Build(root));
    root = Root({});
    root.value[0] = 0;  // signature
    ExpectMalformed(Build(root));
    root = Root({});
    root.valueLength = 48;
    root.value.resize(48);
    ExpectMalformed(Build(root));
    Bytes raw = Resource({Text("Comments", "x")});
    PutWord(raw, 0, 0);
    ExpectMalformed(raw);
}

// Every node lies inside its parent and holds at least its header and its
// key's NUL; the walk never reads a node from inside another.
TEST(VersionResource, RejectsNodesOutsideTheirParentOrShorterThanTheirHeader) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "32-bit layout" : "16-bit layout");
        Node root = Root({Block("StringFileInfo", {Block("040904B0", {Text("Comments", "x", wide),
                                                                      Text("CompanyName", "y", wide)})}),
                          Block("VarFileInfo", {Translation({0x04B00409})})});
        const Bytes raw = Build(root, wide);
        ASSERT_EQ(TJclFileVersionData(raw).VersionKeyValue(2), "y");
        std::size_t fixedSize = wide ? 6 : 4, unit = wide ? 2 : 1;
        std::size_t table = NodeOffset(raw, "040904B0", wide), company = NodeOffset(raw, "CompanyName", wide);
        std::size_t stringFileInfo = NodeOffset(raw, "StringFileInfo", wide);
        std::size_t varFileInfo = NodeOffset(raw, "VarFileInfo", wide);
        auto withLength = [&raw](std::size_t node, std::size_t length) {
            Bytes changed = raw;
            PutWord(changed, node, static_cast<std::uint16_t>(length));
            return changed;
        };
        // A key running past its node.
        ExpectMalformed(withLength(company, fixedSize + 4 * unit));
        // Nodes shorter than their header; 0 included.
        for (std::size_t length : {0, 1, 2, 4}) ExpectMalformed(withLength(company, length));
        ExpectMalformed(withLength(table, 2));
        // Children extending past their parents.
        ExpectMalformed(withLength(table, company - table + fixedSize));
        ExpectMalformed(withLength(stringFileInfo, table - stringFileInfo + fixedSize));
        ExpectMalformed(withLength(varFileInfo, WordAt(raw, varFileInfo) - 4));
        ExpectMalformed(withLength(0, WordAt(raw, 0) - 4));
    }

    Node unknownType = Text("Comments", "x");
    unknownType.type = 2;
    ExpectMalformed(Resource({unknownType}));
}

// A resource of 64 KB, the most a root can claim, is either rejected or read
// with work and output in proportion to its size, in both layouts.
TEST(VersionResource, HostileLargeResourcesStayLinear) {
    // Entries one word long whose keys find no NUL before the buffer's end: read
    // without the bounds of their nodes they give 16,345 keys of 267 million
    // characters in all.
    ExpectMalformed(FilledTable({1, 0, 1, 0}, 65532, 65540));
    // In the 16-bit layout no byte of the table is NUL: entries 257 bytes long
    // whose keys run on to the table's end give 251 keys of 8 million characters.
    ExpectMalformed(FilledTable({1, 1, 1, 1}, 65368, 65540, false));

    // Entries each claiming a 65535-unit value without a NUL inside their
    // node: every value is cut at its node's end.
    const Bytes entry = {16, 0, 0xFF, 0xFF, 1, 0, 'A', 0, 0, 0, 0, 0, 'v', 0, 'w', 0};
    Bytes raw = FilledTable(entry, 65532, 65536);
    TJclFileVersionData data(raw);
    std::size_t entries = (WordAt(raw, NodeOffset(raw, "040904B0")) - 24u) / entry.size();
    ASSERT_EQ(data.AllStrings().size(), entries);
    EXPECT_EQ(data.AllStrings().back().Text, "A=vw");
    EXPECT_EQ(data.Strings().size(), entries);
    EXPECT_LE(TotalCharacters(data.AllStrings()), raw.size());
}

TEST(VersionResource, EveryShortenedBufferIsRejected) {
    Bytes raw = Resource({Text("CompanyName", "Company"), Binary("Comments", {1, 0, 0, 0}, 1)});
    for (std::size_t length = 0; length < raw.size(); ++length)
        ExpectMalformed(Bytes(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(length)));
    // A buffer larger than the resource, as the system hands it out, is fine.
    raw.resize(raw.size() * 2 + 4, 0xEE);
    EXPECT_EQ(TJclFileVersionData(raw).VersionKeyValue(2), "Company");
}
