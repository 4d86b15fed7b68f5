#include "framework/KmxLinks.h"

#include <cctype>

const char MakerWebHost[] = "www.quillmar.net";
const char MakerMailDomain[] = "quillmar.net";
const char MakerSiteText[] = "www.quillmar.net";
const char MakerAuthor[] = "Elvarn Quillmar";
const char FreewareStatement[] = "This program is freeware by Quillmar.";

namespace {

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct PageNames {
    const char* shortName;
    const char* information;
    const char* screenshot;
    const char* download;
};

// Products whose pages on the site do not carry their own name.
const PageNames SpecialPages[] = {
    {"trellisgrip", "tgp", "trellisgrip", "trellisgrip"},
    {"harbourlist", "links", "links", "links"},
};

}  // namespace

std::string SiteUrl() { return std::string("http://") + MakerWebHost + "/~quillmar/quillmar/"; }
std::string SoftwareUrl(const std::string& siteUrl) { return siteUrl + "software"; }
std::string DonationUrl(const std::string& siteUrl) { return siteUrl + "software/donate.htm"; }

std::string EmailAddress(const std::string& shortName) { return shortName + "@" + MakerMailDomain; }
std::string MailtoUrl(const std::string& address) { return "mailto:" + address; }

EasterEggLinks EasterEggLinkTexts(const std::string& siteUrl, const std::string& softwareUrl,
                                  const std::string& shortName) {
    std::string name = LowerCase(shortName);
    std::string information = name, screenshot = name, download = name;
    for (const PageNames& special : SpecialPages) {
        if (name == special.shortName) {
            information = special.information;
            screenshot = special.screenshot;
            download = special.download;
            break;
        }
    }
    EasterEggLinks links;
    links.downloadUrl = softwareUrl + "/download/" + download + ".zip";
    links.memoLines = {"",
                       "Information:",
                       softwareUrl + "/" + information + ".htm",
                       "",
                       "Screenshot:",
                       siteUrl + "images/software_" + screenshot + ".jpg",
                       "",
                       "Download:",
                       links.downloadUrl};
    return links;
}

std::string DownloadCaption(const std::string& title) {
    return "Click here to download the latest version of " + title + ".";
}

std::string CopyrightText(int firstYear, int currentYear) {
    std::string years = std::to_string(firstYear);
    if (currentYear > firstYear) years += "-" + std::to_string(currentYear);
    return "Copyright \xC2\xA9 " + years +
           " Quillmar.\r\nThis program is freeware, provided as is, without warranty of any kind.";
}

std::string VersionText(std::uint32_t fileVersionMs, std::uint32_t fileVersionLs) {
    return "Version " + std::to_string(fileVersionMs >> 16) + "." +
           std::to_string(fileVersionMs & 0xFFFFu) + "  Build " +
           std::to_string(fileVersionLs & 0xFFFFu);
}

int ProductNameFontSize(const std::string& title) { return title.size() <= 10 ? 18 : 14; }
