#include "sysinfo/JclFileUtils.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string OSErrorMessage(DWORD errorCode) {
    if (errorCode == 0) return "A call to an OS function failed";
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  errorCode, 0, text, sizeof text, nullptr);
    // The system's texts end with a line break, which would only trail the message.
    while (length > 0 && static_cast<unsigned char>(text[length - 1]) <= ' ') --length;
    char head[64];
    std::snprintf(head, sizeof head, "System Error.  Code: %lu.\r\n", static_cast<unsigned long>(errorCode));
    return head + std::string(text, length);
}

std::vector<std::uint8_t> ReadVersionResource(const std::string& fileName) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &handle);
    if (size == 0) throw EJclFileVersionInfoError();
    // The system hands out more than the resource (room for its own text
    // conversions); the walk ends at the root's length anyway.
    std::vector<std::uint8_t> rawData(size);
    if (!GetFileVersionInfoA(fileName.c_str(), handle, size, rawData.data())) throw EOSError(GetLastError());
    return rawData;
}

}  // namespace

EOSError::EOSError(DWORD errorCode) : errorCode_(errorCode), message_(OSErrorMessage(errorCode)) {}

TJclFileVersionInfo::TJclFileVersionInfo(const std::string& fileName)
    : TJclFileVersionData(ReadVersionResource(fileName)) {}

VS_FIXEDFILEINFO TJclFileVersionInfo::FixedInfo() const {
    static_assert(sizeof(VS_FIXEDFILEINFO) == FixedInfoSize, "the fixed block is 52 bytes");
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, Fixed(), sizeof info);
    return info;
}

bool HasVersionResource(const std::string& fileName) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &handle);
    if (size == 0) return false;
    std::vector<std::uint8_t> scratch(size);
    return GetFileVersionInfoA(fileName.c_str(), handle, size, scratch.data()) != FALSE;
}
