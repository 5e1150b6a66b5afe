// What the imaging tests share: a headless display of a chosen depth and a folder for files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "headless_display.h"
#include "image_file.h"
#include "picture_writers.h"
#include "png_image.h"
#include "temp_root.h"

class ImagingTest : public ::testing::Test {
protected:
    void SetUp() override { useDisplayDepth(32); }
    void TearDown() override { platform::SetDisplay(nullptr); }

    void useDisplayDepth(int depth) {
        platform::SetDisplay(std::make_unique<platform::HeadlessDisplay>(640, 480, depth));
        platform::SystemPalette::instance().reset();
    }

    std::string file(const std::string& name, const std::string& bytes) {
        const auto path = root_.path() / name;
        picture_writers::WriteFile(path, bytes);
        return path.string();
    }

    // Loads with the given type (-1: by extension).
    std::unique_ptr<imaging::CImageFile> load(const std::string& path, int type = -1) {
        return std::make_unique<imaging::CImageFile>(path, type, decoding_);
    }

    static picture_writers::Rgb rgbAt(const imaging::CImageFile& image, int x, int yFromTop) {
        platform::BYTE r = 0, g = 0, b = 0;
        image.GetRGB(x, image.GetHeight() - 1 - yFromTop, &r, &g, &b);
        return {r, g, b};
    }

    // The largest difference in any channel between the picture read and ImageMagick's reading
    // of the reference file flattened onto the background (its values as stored: a grey file is
    // not taken for linear light); -1 when ImageMagick cannot read it or the sizes differ.
    int DifferenceFromImageMagick(const imaging::CImageFile& image, const std::string& reference, const char* background) {
        const std::string raw = reference + ".rgb";
        const std::string command = "convert " + reference + " -set colorspace sRGB -background \"" + background +
                                    "\" -flatten -depth 8 rgb:" + raw;
        if (std::system(command.c_str()) != 0) return -1;
        std::ifstream in(raw, std::ios::binary);
        const std::string expected((std::istreambuf_iterator<char>(in)), {});
        const int width = image.GetWidth(), height = image.GetHeight();
        if (expected.size() != size_t(width) * size_t(height) * 3) return -1;
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const picture_writers::Rgb got = rgbAt(image, x, y);
                const auto* want = reinterpret_cast<const std::uint8_t*>(expected.data()) + (size_t(y) * size_t(width) + size_t(x)) * 3;
                worst = std::max({worst, std::abs(got.r - want[0]), std::abs(got.g - want[1]), std::abs(got.b - want[2])});
            }
        return worst;
    }

    testing_support::TempRoot root_;
    imaging::DecodeOptions decoding_;  // what load() reads pictures with
};

inline picture_writers::TruePicture Gradient(int width, int height) {
    picture_writers::TruePicture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back({std::uint8_t(x * 255 / std::max(1, width - 1)), std::uint8_t(y * 255 / std::max(1, height - 1)),
                                      std::uint8_t((x + y) % 256)});
    return picture;
}

// Red on the top half, green below, 40 x 30.
inline picture_writers::TruePicture TwoBands() {
    picture_writers::TruePicture picture{40, 30, {}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            picture.pixels.push_back(y < 15 ? picture_writers::Rgb{220, 20, 20} : picture_writers::Rgb{20, 220, 20});
    return picture;
}

// Pictures whose transparency is composed onto the background of the decoding options.
class TransparentPictureTest : public ImagingTest {
protected:
    // The picture is TwoBands, as a 24-bit picture.
    static void ExpectTwoBands(const imaging::CImageFile& image) {
        ASSERT_EQ(image.GetWidth(), 40);
        ASSERT_EQ(image.GetHeight(), 30);
        EXPECT_EQ(image.GetDepth(), 24);
        EXPECT_EQ(rgbAt(image, 0, 0), (picture_writers::Rgb{220, 20, 20}));
        EXPECT_EQ(rgbAt(image, 39, 29), (picture_writers::Rgb{20, 220, 20}));
    }
};
