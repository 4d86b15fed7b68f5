// JPEG pictures decoded with libjpeg into 32-bit top-down DIB sections, and
// the program's own picture resources.
#pragma once

#include "widgets/Handle.h"

#include <cstddef>
#include <stdexcept>
#include <string>

class EJpegError : public std::runtime_error {
public:
    explicit EJpegError(const std::string& message) : std::runtime_error(message) {}
};

struct JpegPicture {
    widgets::UniqueGdiObject bitmap;  // a DIB section
    int width = 0;
    int height = 0;
};

// Neither side may exceed this many pixels.
constexpr int MaxJpegSide = 4096;

// Raises EJpegError for data that is no JPEG, a JPEG that libjpeg cannot
// decode, or a picture larger than MaxJpegSide either way. A picture whose
// data ends early decodes; libjpeg fills the missing rows.
JpegPicture DecodeJpeg(const void* data, std::size_t size);

// The bytes of an RCDATA resource of the running program; empty when it has
// no such resource.
std::string ProgramResourceData(int id);
