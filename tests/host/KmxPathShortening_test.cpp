#include "framework/KmxPathShortening.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One pixel per character; records every text measured.
struct Measure {
    std::vector<std::string> seen;
    int operator()(const std::string& text) {
        seen.push_back(text);
        return static_cast<int>(text.size());
    }
};

std::string Shorten(const std::string& path, int maxWidth) {
    return ShortenPathToWidth(path, [](const std::string& text) { return static_cast<int>(text.size()); },
                              maxWidth);
}

}  // namespace

TEST(ShortenPathToWidth, DropsLeadingDirectoriesOneAtATime) {
    Measure measure;
    std::string result = ShortenPathToWidth(
        "C:\\Program Files\\App\\bin\\tool.exe", [&](const std::string& t) { return measure(t); }, 1);
    EXPECT_EQ(result, "tool.exe");
    EXPECT_EQ(measure.seen, (std::vector<std::string>{
                                "C:\\Program Files\\App\\bin\\tool.exe",
                                "C:\\...\\App\\bin\\tool.exe",
                                "C:\\...\\bin\\tool.exe",
                                "C:\\...\\tool.exe",
                                "...\\tool.exe",
                            }));
}

TEST(ShortenPathToWidth, StopsAtTheFirstTextThatFits) {
    const std::string path = "C:\\Program Files\\App\\bin\\tool.exe";
    EXPECT_EQ(Shorten(path, static_cast<int>(path.size())), path);
    EXPECT_EQ(Shorten(path, 23), "C:\\...\\App\\bin\\tool.exe");
    EXPECT_EQ(Shorten(path, 22), "C:\\...\\bin\\tool.exe");
    EXPECT_EQ(Shorten(path, 12), "...\\tool.exe");
    EXPECT_EQ(Shorten(path, 11), "tool.exe");
}

TEST(ShortenPathToWidth, KeepsTheLeadingBackslashOfARootedPath) {
    Measure measure;
    ShortenPathToWidth("\\dir\\sub\\file", [&](const std::string& t) { return measure(t); }, 0);
    EXPECT_EQ(measure.seen, (std::vector<std::string>{"\\dir\\sub\\file", "\\...\\sub\\file", "\\...\\file",
                                                      "...\\file"}));
}

TEST(ShortenPathToWidth, ZeroOrNegativeWidthLeavesTheBareName) {
    EXPECT_EQ(Shorten("C:\\windows\\system32\\kernel32.dll", 0), "kernel32.dll");
    EXPECT_EQ(Shorten("C:\\windows\\system32\\kernel32.dll", -5), "kernel32.dll");
    EXPECT_EQ(Shorten("\\\\server\\share\\dir\\a.txt", -1), "a.txt");
    EXPECT_EQ(Shorten("C:x.exe", 0), "x.exe");
    EXPECT_EQ(Shorten("C:\\", 0), "");
}

TEST(ShortenPathToWidth, BareNameIsNeverTouched) {
    Measure measure;
    EXPECT_EQ(ShortenPathToWidth("System Idle Process", [&](const std::string& t) { return measure(t); }, 0),
              "System Idle Process");
    EXPECT_TRUE(measure.seen.empty());  // nothing to drop, nothing to measure
}

TEST(ShortenPathToWidth, OddDirectoriesStillEndAtTheName) {
    for (const char* path : {".\\a\\b\\x", "..\\..\\x", "\\...\\...\\x", "a:b:x", "C:\\\\\\x", "\\x", "...\\x"})
        EXPECT_EQ(Shorten(path, -1), "x") << path;
}

TEST(DropFirstDirectory, MarksTheCut) {
    EXPECT_EQ(DropFirstDirectory("\\"), "");
    EXPECT_EQ(DropFirstDirectory("\\Program Files\\App\\"), "\\...\\App\\");
    EXPECT_EQ(DropFirstDirectory("\\...\\App\\"), "\\...\\");
    EXPECT_EQ(DropFirstDirectory("Program Files\\App\\"), "...\\App\\");
    EXPECT_EQ(DropFirstDirectory("...\\"), "");
    EXPECT_EQ(DropFirstDirectory("dir"), "");
    EXPECT_EQ(DropFirstDirectory(""), "");
}
