#include "sysinfo/JclFileUtils.h"

#include "widgets/Utf16.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string OSErrorMessage(DWORD errorCode) {
    if (errorCode == 0) return "A call to an OS function failed";
    wchar_t text[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  errorCode, 0, text, 512, nullptr);
    if (length >= 512) length = 0;
    // The system's texts end with a line break, which would only trail the message.
    while (length > 0 && text[length - 1] <= L' ') --length;
    char head[64];
    std::snprintf(head, sizeof head, "System Error.  Code: %lu.\r\n", static_cast<unsigned long>(errorCode));
    return head + widgets::Utf8(text, length);
}

// The resource as the system reads it; false when the file has none (a
// missing file included), with the size call's verdict in noResource.
bool ReadResource(const std::string& fileName, std::vector<std::uint8_t>& rawData, bool& noResource) {
    std::wstring name = widgets::Utf16(fileName);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(name.c_str(), &handle);
    // The file is loaded as a library, which may take no path past MAX_PATH.
    if (size == 0 && name.size() >= MAX_PATH) {
        std::wstring shortPath = widgets::ShortFilePath(fileName);
        if (!shortPath.empty()) {
            name = shortPath;
            size = GetFileVersionInfoSizeW(name.c_str(), &handle);
        }
    }
    noResource = size == 0;
    if (noResource) return false;
    // The system hands out more than the resource (room for its own text
    // conversions); the walk ends at the root's length anyway.
    rawData.assign(size, 0);
    return GetFileVersionInfoW(name.c_str(), handle, size, rawData.data()) != FALSE;
}

std::vector<std::uint8_t> ReadVersionResource(const std::string& fileName) {
    std::vector<std::uint8_t> rawData;
    bool noResource = false;
    if (!ReadResource(fileName, rawData, noResource)) {
        if (noResource) throw EJclFileVersionInfoError();
        throw EOSError(GetLastError());
    }
    return rawData;
}

}  // namespace

EOSError::EOSError(DWORD errorCode) : errorCode_(errorCode), message_(OSErrorMessage(errorCode)) {}

TJclFileVersionInfo::TJclFileVersionInfo(const std::string& fileName)
    : TJclFileVersionData(ReadVersionResource(fileName)) {}

TJclFileVersionInfo::TJclFileVersionInfo(std::vector<std::uint8_t> rawData)
    : TJclFileVersionData(std::move(rawData)) {}

VS_FIXEDFILEINFO TJclFileVersionInfo::FixedInfo() const {
    static_assert(sizeof(VS_FIXEDFILEINFO) == FixedInfoSize, "the fixed block is 52 bytes");
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, Fixed(), sizeof info);
    return info;
}

std::string FileNamePart(const std::string& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool HasDirectoryPart(const std::string& name) { return name.find_first_of("\\:") != std::string::npos; }

std::vector<std::uint8_t> VersionResourceOf(const std::string& fileName) {
    std::vector<std::uint8_t> rawData;
    bool noResource = false;
    if (!ReadResource(fileName, rawData, noResource)) rawData.clear();
    return rawData;
}
