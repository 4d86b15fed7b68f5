// Decoding the program's own picture and damaged copies of it.
#include "framework/KmxJpeg.h"
#include "res/Resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>

namespace {

std::string Picture() { return ProgramResourceData(IDR_ABOUTPICTURE); }

// Offset of the height field of the first start-of-frame segment.
size_t FrameSizeOffset(const std::string& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && marker >= 0xC0 && marker <= 0xC2) return i + 5;
    }
    return std::string::npos;
}

void SetFrameSize(std::string& jpeg, std::uint16_t width, std::uint16_t height) {
    size_t at = FrameSizeOffset(jpeg);
    ASSERT_NE(at, std::string::npos);
    jpeg[at] = static_cast<char>(height >> 8);
    jpeg[at + 1] = static_cast<char>(height & 0xFF);
    jpeg[at + 2] = static_cast<char>(width >> 8);
    jpeg[at + 3] = static_cast<char>(width & 0xFF);
}

// The pixel as the picture is drawn, not as its rows lie in memory.
COLORREF PixelAt(const JpegPicture& picture, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture.bitmap.get());
    COLORREF pixel = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return pixel;
}

}  // namespace

TEST(Jpeg, TheProgramsPictureDecodesUprightInItsColoursAlsoWhenItsDataEndsEarly) {
    EXPECT_TRUE(ProgramResourceData(4242).empty());
    std::string jpeg = Picture();
    ASSERT_FALSE(jpeg.empty());
    JpegPicture picture = DecodeJpeg(jpeg.data(), jpeg.size());
    EXPECT_EQ(picture.width, 280);
    EXPECT_EQ(picture.height, 130);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(picture.bitmap.get(), sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(dib.dsBm.bmWidth, 280);
    EXPECT_EQ(dib.dsBm.bmHeight, 130);

    // Blue sky on top, the pale yellow sun right of centre, dark green hills below.
    COLORREF sky = PixelAt(picture, 20, 5), sun = PixelAt(picture, 205, 50), hill = PixelAt(picture, 140, 127);
    EXPECT_GT(GetBValue(sky), GetRValue(sky) + 40);
    EXPECT_GT(GetRValue(sun), 230);
    EXPECT_GT(GetRValue(sun), GetBValue(sun) + 30);
    EXPECT_GT(GetGValue(hill), GetRValue(hill));
    EXPECT_LT(GetGValue(hill), 100);

    // Ending inside the scan: libjpeg fills the missing rows.
    JpegPicture half = DecodeJpeg(jpeg.data(), jpeg.size() / 2);
    EXPECT_EQ(half.width, 280);
    EXPECT_EQ(half.height, 130);
}

// No data, data that is no JPEG, a header cut short, and frames too large
// or empty (refused before anything is decoded) are clear errors.
TEST(Jpeg, WhatCannotBeShownIsAClearError) {
    const std::string jpeg = Picture();
    auto framed = [&](std::uint16_t width, std::uint16_t height) {
        std::string copy = jpeg;
        SetFrameSize(copy, width, height);
        return copy;
    };
    const std::string text = "this is not a picture at all";
    const std::pair<const char*, std::string> inputs[] = {
        {"empty", ""},
        {"text", text},
        {"header cut short", jpeg.substr(0, 100)},
        {"huge", framed(60000, 60000)},
        {"too wide", framed(MaxJpegSide + 1, 10)},
        {"no width", framed(0, 130)},
    };
    for (const auto& [name, data] : inputs)
        EXPECT_THROW(DecodeJpeg(data.empty() ? nullptr : data.data(), data.size()), EJpegError) << name;
    try {
        DecodeJpeg(text.data(), text.size());
    } catch (const EJpegError& error) {
        EXPECT_NE(std::string(error.what()).find("cannot be decoded"), std::string::npos) << error.what();
    }
}

TEST(Jpeg, DamagedCopiesDecodeOrFailCleanlyAndLeakNothing) {
    long gdiObjects = widgets::UniqueGdiObject::Live();
    std::string jpeg = Picture();
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = jpeg;
        size_t length = round % 3 == 0 ? random() % damaged.size() : damaged.size();
        damaged.resize(length);
        for (int flips = 0; flips < 4 && !damaged.empty(); ++flips)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        try {
            JpegPicture picture = DecodeJpeg(damaged.data(), damaged.size());
            EXPECT_GT(picture.width, 0);
            EXPECT_LE(picture.width, MaxJpegSide);
            EXPECT_LE(picture.height, MaxJpegSide);
        } catch (const EJpegError&) {
        }
    }
    EXPECT_EQ(widgets::UniqueGdiObject::Live(), gdiObjects);
}
