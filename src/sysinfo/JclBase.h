// The error family of the system-information units.
#pragma once

#include <exception>
#include <string>

class EJclError : public std::exception {
public:
    explicit EJclError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};
