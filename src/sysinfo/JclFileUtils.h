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

// The file's version resource, read once for the check and the reader:
// empty when there is none or it cannot be read.
std::vector<std::uint8_t> VersionResourceOf(const std::string& fileName);

// The file name of a path: what follows its last "\\" or ":".
std::string FileNamePart(const std::string& path);
// Whether a name has a folder or drive: a name without one (a process the
// system names but does not locate) is no file to read, for the readers
// would search the system's path for it and find another file of that name.
bool HasDirectoryPart(const std::string& name);
