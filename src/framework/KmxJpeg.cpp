#include "framework/KmxJpeg.h"

#include <windows.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg must not return after an error; jump back to the decoder with the
// message.
[[noreturn]] void ErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings (data ending early, damaged scans) leave a usable picture.
void IgnoreMessage(j_common_ptr, int) {}

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // BGRX rows, top first
    const char* error = nullptr;        // a fixed text of this unit
};

// The frame that longjmp returns to holds nothing with a destructor: the
// caller owns the pixel buffer and the decompressor's release.
bool DecodeInto(jpeg_decompress_struct* info, ErrorManager* errors, const unsigned char* data,
                unsigned long size, Decoded* out) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    if (info->image_width == 0 || info->image_height == 0 ||
        info->image_width > static_cast<JDIMENSION>(MaxJpegSide) ||
        info->image_height > static_cast<JDIMENSION>(MaxJpegSide)) {
        out->error = "The picture is larger than this program shows.";
        return false;
    }
    info->out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(info);
    out->width = static_cast<int>(info->output_width);
    out->height = static_cast<int>(info->output_height);
    const size_t stride = static_cast<size_t>(out->width) * 4;
    out->pixels.assign(stride * static_cast<size_t>(out->height), 0);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out->pixels.data() + stride * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

JpegPicture DecodeJpeg(const void* data, std::size_t size) {
    if (!data || size == 0) throw EJpegError("The picture is empty.");
    // libjpeg takes the length as an unsigned long, 32 bits on Windows.
    if (static_cast<unsigned long>(size) != size) throw EJpegError("The picture is too large.");

    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = ErrorExit;
    errors.manager.emit_message = IgnoreMessage;
    Decoded decoded;
    bool ok;
    {
        struct Release {
            jpeg_decompress_struct* info;
            ~Release() { jpeg_destroy_decompress(info); }
        } release{&info};
        ok = DecodeInto(&info, &errors, static_cast<const unsigned char*>(data),
                        static_cast<unsigned long>(size), &decoded);
    }
    if (!ok) {
        if (decoded.error) throw EJpegError(decoded.error);
        throw EJpegError(std::string("The picture cannot be decoded: ") + errors.message);
    }

    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = decoded.width;
    header.bmiHeader.biHeight = -decoded.height;  // top-down, as libjpeg gives the rows
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    JpegPicture picture;
    picture.bitmap.reset(CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture.bitmap || !bits) throw EJpegError("No bitmap could be made for the picture.");
    std::memcpy(bits, decoded.pixels.data(), decoded.pixels.size());
    picture.width = decoded.width;
    picture.height = decoded.height;
    return picture;
}

std::string ProgramResourceData(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    DWORD size = SizeofResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return {};
    return std::string(static_cast<const char*>(bytes), size);
}
