// Version information of an executable or library file: TJclFileVersionInfo
// reads the file's version resource and walks it (see JclFileVersionData).
#pragma once

#include <windows.h>

#include "sysinfo/JclFileVersionData.h"

#include <exception>
#include <string>

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

    VS_FIXEDFILEINFO FixedInfo() const;
};

// Whether the file has a version resource that can be read; lets callers
// avoid the error of construction.
bool HasVersionResource(const std::string& fileName);
