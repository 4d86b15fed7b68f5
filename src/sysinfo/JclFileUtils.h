// Version information of an executable or library file: TJclFileVersionInfo
// reads the file's version resource and walks it (see JclFileVersionData).
#pragma once

#include <windows.h>

#include "sysinfo/JclFileVersionData.h"

#include <exception>
#include <cstdint>
#include <string>
#include <vector>

// A failed system call: "System Error.  Code: <code>.\r\n<system text>", or
// "A call to an OS function failed" for code 0.
class EOSError : public std::exception {
public:
    explicit EOSError(DWORD errorCode);
    DWORD ErrorCode() const noexcept { return errorCode_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    DWORD errorCode_;
    std::string message_;
};

class TJclFileVersionInfo : public TJclFileVersionData {
public:
    // Raises EJclFileVersionInfoError when the file has no version resource
    // (a missing file included) or the resource is malformed, and EOSError
    // when the resource cannot be read.
    explicit TJclFileVersionInfo(const std::string& fileName);
    // The resource read before (VersionResourceOf), walked the same way.
    explicit TJclFileVersionInfo(std::vector<std::uint8_t> rawData);

    VS_FIXEDFILEINFO FixedInfo() const;
};

// Whether the file has a version resource that can be read; lets callers
// avoid the error of construction.
bool HasVersionResource(const std::string& fileName);
// The file's version resource as HasVersionResource reads it, for a reader
// that takes it as it is; empty when there is none or it cannot be read.
std::vector<std::uint8_t> VersionResourceOf(const std::string& fileName);
