// The texts of the About box and the easter-egg panels: the maker's
// addresses, the link names built from the product's compact name, the
// copyright and version lines. Plain text work, no windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Fixed values of the maker.
extern const char MakerWebHost[];      // "www.quillmar.net"
extern const char MakerMailDomain[];   // "quillmar.net"
extern const char MakerSiteText[];     // what the site link shows
extern const char MakerAuthor[];       // the name on the picture panel
extern const char FreewareStatement[]; // the short line under the version

// "http://" + host + "/~quillmar/quillmar/", ending in a slash.
std::string SiteUrl();
// siteUrl + "software" (no trailing slash) and siteUrl + "software/donate.htm".
std::string SoftwareUrl(const std::string& siteUrl);
std::string DonationUrl(const std::string& siteUrl);

// shortName + "@" + the mail domain, and the "mailto:" link to an address.
std::string EmailAddress(const std::string& shortName);
std::string MailtoUrl(const std::string& address);

// What the easter-egg form shows for a product: the download address and the
// nine lines of its address memo (the first one empty, none after the last
// address). Names are looked up lower-cased, so "TrellisGrip" and
// "trellisgrip" both get the special pages.
struct EasterEggLinks {
    std::string downloadUrl;
    std::vector<std::string> memoLines;
};
EasterEggLinks EasterEggLinkTexts(const std::string& siteUrl, const std::string& softwareUrl,
                                  const std::string& shortName);

// "Click here to download the latest version of " + title + ".".
std::string DownloadCaption(const std::string& title);

// "Copyright © first-current Quillmar." (UTF-8), a line break, then the
// warranty sentence. One year alone when the current year is not later
// than the first (a clock set back gives no reversed range).
std::string CopyrightText(int firstYear, int currentYear);

// "Version 2.5  Build 117" from the fixed file information's two file-version
// double words (major.minor in the first, release.build in the second); the
// release number is not shown.
std::string VersionText(std::uint32_t fileVersionMs, std::uint32_t fileVersionLs);

// Point size of the product name: 18 for titles of up to 10 characters, else 14.
int ProductNameFontSize(const std::string& title);
