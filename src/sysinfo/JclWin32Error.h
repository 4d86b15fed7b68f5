// Errors of the kernel-object wrappers: a fixed text followed by the system's
// wording and code of the error that made the wrapped call fail.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "sysinfo/JclBase.h"
#include "widgets/Utf16.h"

class EJclWin32Error : public EJclError {
public:
    // Reads the calling thread's last error: build it right after the failing call.
    explicit EJclWin32Error(const std::string& text) : EJclWin32Error(text, GetLastError()) {}
    EJclWin32Error(const std::string& text, std::uint32_t code)
        : EJclWin32Error(text, code, SystemText(code)) {}

    std::uint32_t LastError() const noexcept { return lastError_; }
    const std::string& LastErrorMsg() const { return lastErrorMsg_; }

private:
    EJclWin32Error(const std::string& text, std::uint32_t code, const std::string& systemText)
        : EJclError(text + "\r\nWin32: " + systemText + " (" + std::to_string(code) + ")"),
          lastError_(code),
          lastErrorMsg_(systemText) {}

    // The system's text without its closing line break, so the message stays
    // "text\r\nWin32: wording (code)". Inserts are ignored: there are no
    // arguments to fill them with.
    static std::string SystemText(std::uint32_t code) {
        wchar_t buffer[512] = {};
        DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, buffer, 512, nullptr);
        std::string text = widgets::Utf8(buffer, length < 512 ? length : 0);
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        return text;
    }

    std::uint32_t lastError_;
    std::string lastErrorMsg_;
};

class EJclFileMappingError : public EJclWin32Error {
public:
    using EJclWin32Error::EJclWin32Error;
};

class EJclFileMappingViewError : public EJclWin32Error {
public:
    using EJclWin32Error::EJclWin32Error;
};

class EJclEventError : public EJclWin32Error {
public:
    using EJclWin32Error::EJclWin32Error;
};
