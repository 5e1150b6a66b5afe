// The wallpaper bitmap: its size, and the file read back byte for byte on every display depth.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "headless_display.h"
#include "image_file.h"
#include "picture_writers.h"
#include "programs.h"
#include "run_command.h"
#include "temp_root.h"
#include "wallpaper.h"
#include "windows.h"

using namespace platform;
using picture_writers::Rgb;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

template <typename T>
T At(const std::string& bytes, size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The BMP layout written out by hand, independently of the code under test: file header, info
// header, no colour table, bottom-up rows of blue-green-red triples padded to four bytes.
std::string Expected24BitFile(const picture_writers::TruePicture& picture) {
    const int stride = ((24 * picture.width + 31) / 32) * 4;
    const auto put = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
    };
    std::string file = "BM";
    put(file, 14 + 40 + std::uint32_t(stride * picture.height), 4);
    put(file, 0, 4);
    put(file, 54, 4);
    for (std::uint32_t value : {40u, std::uint32_t(picture.width), std::uint32_t(picture.height)}) put(file, value, 4);
    put(file, 1, 2);
    put(file, 24, 2);
    put(file, 0, 4);
    put(file, std::uint32_t(stride * picture.height), 4);
    for (int field = 0; field < 4; ++field) put(file, 0, 4);  // resolution and colour counts
    for (int row = picture.height - 1; row >= 0; --row) {
        std::string line;
        for (int x = 0; x < picture.width; ++x) {
            const Rgb& pixel = picture.pixels[size_t(row * picture.width + x)];
            line += char(pixel.b);
            line += char(pixel.g);
            line += char(pixel.r);
        }
        line.resize(size_t(stride), '\0');
        file += line;
    }
    return file;
}

// Pure colours every display depth holds exactly: red and blue above, green and white below.
picture_writers::TruePicture Quadrants(int width, int height) {
    picture_writers::TruePicture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2, top = y < height / 2;
            picture.pixels.push_back(top ? (left ? Rgb{255, 0, 0} : Rgb{0, 0, 255})
                                         : (left ? Rgb{0, 255, 0} : Rgb{255, 255, 255}));
        }
    return picture;
}

class WallpaperFileTest : public ::testing::Test {
protected:
    virtual int depth() const { return 32; }
    void SetUp() override {
        SetDisplay(std::make_unique<HeadlessDisplay>(1024, 768, depth()));
        SystemPalette::instance().reset();
    }
    void TearDown() override { SetDisplay(nullptr); }

    std::unique_ptr<imaging::CImageFile> load(const picture_writers::TruePicture& picture) {
        const fs::path path = root_.path() / "picture.bmp";
        picture_writers::WriteFile(path, picture_writers::BmpFile(picture));
        return std::make_unique<imaging::CImageFile>(path.string(), -1);
    }

    testing_support::TempRoot root_;
};

class WallpaperFileDepthTest : public WallpaperFileTest, public ::testing::WithParamInterface<int> {
protected:
    int depth() const override { return GetParam(); }
};

}  // namespace

TEST(FitWithinDesktopTest, TheLimitingSideEqualsTheDesktopAndTheAspectIsKept) {
    const auto fit = [](int w, int h, int tw, int th) {
        const auto size = desktop::FitWithinDesktop(w, h, tw, th);
        return std::to_string(size.width) + "x" + std::to_string(size.height);
    };
    EXPECT_EQ(fit(400, 300, 1024, 768), "1024x768");   // same aspect, scaled up
    EXPECT_EQ(fit(300, 400, 1024, 768), "576x768");    // portrait: the height limits
    EXPECT_EQ(fit(2048, 1024, 1024, 768), "1024x512"); // too wide: scaled down by the width
    EXPECT_EQ(fit(800, 1600, 1024, 768), "384x768");   // too tall: scaled down by the height
    EXPECT_EQ(fit(1000, 500, 1024, 768), "1024x512");  // fits, wider aspect: the width limits
}

TEST_P(WallpaperFileDepthTest, TheFileIsTheBmpLayoutByteForByte) {
    const auto picture = Quadrants(6, 4);  // 18 bytes a row: two bytes of padding each
    auto image = load(picture);
    const fs::path path = root_.path() / "wall.bmp";
    EXPECT_EQ(desktop::SaveWallpaperBitmap(*image, 0, 0, path.string(), false), 1);
    const std::string file = ReadAll(path);
    if (GetParam() > 8) {
        EXPECT_EQ(file, Expected24BitFile(picture));
        return;
    }
    // A palette display: 8 bits per pixel behind a table of 256 colours.
    ASSERT_EQ(file.size(), 14u + 40 + 1024 + 8 * 4);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(At<std::uint32_t>(file, 2), file.size());
    EXPECT_EQ(At<std::uint32_t>(file, 10), 14u + 40 + 1024);
    EXPECT_EQ(At<std::uint16_t>(file, 28), 8);
    EXPECT_EQ(At<std::uint32_t>(file, 34), 8u * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const auto index = std::uint8_t(file[14 + 40 + 1024 + size_t((3 - y) * 8 + x)]);
            const size_t entry = 14 + 40 + 4 * size_t(index);
            const Rgb shown{std::uint8_t(file[entry + 2]), std::uint8_t(file[entry + 1]), std::uint8_t(file[entry])};
            EXPECT_EQ(shown, picture.pixels[size_t(y * 6 + x)]) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(EveryDisplayDepth, WallpaperFileDepthTest, ::testing::Values(8, 16, 24, 32));

TEST_F(WallpaperFileTest, AnOddWidthLosesAColumnAndTheQualityPathKeepsFlatColours) {
    auto image = load(Quadrants(40, 20));
    const fs::path path = root_.path() / "wall.bmp";
    desktop::SaveWallpaperBitmap(*image, 577, 288, path.string(), true);
    const std::string file = ReadAll(path);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(At<std::int32_t>(file, 18), 576);
    EXPECT_EQ(At<std::int32_t>(file, 22), 288);
    EXPECT_EQ(file.size(), 54u + 576 * 3 * 288);
    // The top left corner is red, the bottom right white (rows are stored bottom-up).
    const size_t topLeft = 54 + size_t(287) * 576 * 3;
    EXPECT_EQ(file.substr(topLeft, 3), std::string("\0\0\xff", 3));
    EXPECT_EQ(file.substr(54 + 575 * 3, 3), "\xff\xff\xff");
}

TEST_F(WallpaperFileTest, ImageMagickReadsTheSamePictureWhenInstalled) {
    // By the name Debian's ImageMagick gives it, which no stand-in called "convert" can shadow.
    constexpr const char* kConvert = "convert-im6.q16";
    if (!FindProgram(kConvert)) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const auto picture = Quadrants(6, 4);
    auto image = load(picture);
    const fs::path path = root_.path() / "wall.bmp";
    desktop::SaveWallpaperBitmap(*image, 0, 0, path.string(), false);
    const auto raw = RunCommand({kConvert, path.string(), "-depth", "8", "rgb:-"});
    ASSERT_TRUE(Succeeded(raw));
    std::string expected;
    for (const Rgb& pixel : picture.pixels) expected += {char(pixel.r), char(pixel.g), char(pixel.b)};
    EXPECT_EQ(raw->output, expected);
}

TEST_F(WallpaperFileTest, ANewFileReplacesTheOldWholeAndLeavesNothingBeside) {
    auto image = load(Quadrants(6, 4));
    const fs::path path = root_.path() / "wall.bmp";
    desktop::SaveWallpaperBitmap(*image, 0, 0, path.string(), false);
    std::ifstream reader(path, std::ios::binary);  // a desktop still reading the old file
    const std::string old = ReadAll(path);
    desktop::SaveWallpaperBitmap(*image, 12, 8, path.string(), false);
    std::stringstream seen;
    seen << reader.rdbuf();
    EXPECT_EQ(seen.str(), old);  // the reader keeps the whole old picture
    EXPECT_EQ(At<std::int32_t>(ReadAll(path), 18), 12);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root_.path())) ++files;
    EXPECT_EQ(files, 2);  // the picture and the wallpaper: no temporary file left
}
