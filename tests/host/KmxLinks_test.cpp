#include "framework/KmxLinks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string Site = "http://www.quillmar.net/~quillmar/quillmar/";
const std::string Software = Site + "software";

std::vector<std::string> MemoFor(const std::string& info, const std::string& shot,
                                 const std::string& download) {
    return {"", "Information:", Software + "/" + info + ".htm", "", "Screenshot:",
            Site + "images/software_" + shot + ".jpg", "", "Download:",
            Software + "/download/" + download + ".zip"};
}

}  // namespace

TEST(Links, AddressesHangOffTheSiteBase) {
    EXPECT_EQ(SiteUrl(), Site);
    EXPECT_EQ(SoftwareUrl(SiteUrl()), Software);
    EXPECT_EQ(DonationUrl(SiteUrl()), Site + "software/donate.htm");
    EXPECT_EQ(EmailAddress("Ovrelle"), "Ovrelle@quillmar.net");
    EXPECT_EQ(MailtoUrl(EmailAddress("Ovrelle")), "mailto:Ovrelle@quillmar.net");
}

// Names are matched whole, in any letter case; near misses are ordinary.
TEST(PrepareLinks, SpecialProductsUseTheirOwnPagesAndAllOthersTheirLowerCasedName) {
    struct Case {
        const char* shortName;
        const char* information;
        const char* screenshot;
        const char* download;
    } cases[] = {
        {"Ovrelle", "ovrelle", "ovrelle", "ovrelle"},
        {"TrellisGrip", "tgp", "trellisgrip", "trellisgrip"},
        {"tReLlIsGrIp", "tgp", "trellisgrip", "trellisgrip"},
        {"harbourlist", "links", "links", "links"},
        {"HARBOURLIST", "links", "links", "links"},
        {"HarbourList2", "harbourlist2", "harbourlist2", "harbourlist2"},
        {"Trellis", "trellis", "trellis", "trellis"},
    };
    for (const Case& c : cases) {
        EasterEggLinks links = EasterEggLinkTexts(Site, Software, c.shortName);
        EXPECT_EQ(links.memoLines, MemoFor(c.information, c.screenshot, c.download)) << c.shortName;
        EXPECT_EQ(links.downloadUrl, Software + "/download/" + c.download + ".zip") << c.shortName;
    }
}

TEST(PrepareLinks, DownloadCaptionKeepsTheTitleAsItIs) {
    EXPECT_EQ(DownloadCaption("Ovr Elle's"),
              "Click here to download the latest version of Ovr Elle's.");
}

TEST(AboutTexts, CopyrightShowsTheYearRangeOrOneYear) {
    const std::string warranty =
        "\r\nThis program is freeware, provided as is, without warranty of any kind.";
    EXPECT_EQ(CopyrightText(2002, 2025), "Copyright \xC2\xA9 2002-2025 Quillmar." + warranty);
    EXPECT_EQ(CopyrightText(2025, 2025), "Copyright \xC2\xA9 2025 Quillmar." + warranty);
    EXPECT_EQ(CopyrightText(2002, 1999), "Copyright \xC2\xA9 2002 Quillmar." + warranty);
}

TEST(AboutTexts, VersionShowsMajorMinorAndBuildButNotTheRelease) {
    EXPECT_EQ(VersionText((2u << 16) | 5u, (3u << 16) | 117u), "Version 2.5  Build 117");
    EXPECT_EQ(VersionText(0x00010000u, 0x00000001u), "Version 1.0  Build 1");
    EXPECT_EQ(VersionText(0xFFFFFFFFu, 0xFFFFFFFFu), "Version 65535.65535  Build 65535");
}

TEST(AboutTexts, ProductNameIsSmallerFromElevenCharactersOn) {
    EXPECT_EQ(ProductNameFontSize("Ovrelle"), 18);
    EXPECT_EQ(ProductNameFontSize("0123456789"), 18);
    EXPECT_EQ(ProductNameFontSize("0123456789A"), 14);
    EXPECT_EQ(ProductNameFontSize(""), 18);
}
