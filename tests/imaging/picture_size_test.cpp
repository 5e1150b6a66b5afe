// Pictures whose headers claim more than the file can hold are refused before anything large is
// allocated; real pictures of every size up to the limit load, and a larger JPEG is read scaled.
#include "imaging_fixture.h"

#include <cstring>

using namespace imaging;
using namespace picture_writers;

namespace {

// Writes a big-endian 16-bit value.
void PutBig16(std::string& bytes, size_t at, int value) {
    bytes[at] = char((value >> 8) & 0xFF);
    bytes[at + 1] = char(value & 0xFF);
}

// A real small JPEG whose frame header claims another size.
std::string JpegClaiming(int width, int height) {
    TruePicture picture{16, 16, std::vector<Rgb>(256, Rgb{90, 120, 150})};
    std::string bytes = JpegFile(picture);
    const size_t frame = bytes.find("\xFF\xC0", 0, 2);
    EXPECT_NE(frame, std::string::npos);
    PutBig16(bytes, frame + 5, height);
    PutBig16(bytes, frame + 7, width);
    return bytes;
}

// A GIF of one frame whose descriptor claims the size, with a few bytes of LZW data.
std::string GifClaiming(int width, int height) {
    std::string bytes = "GIF89a";
    bytes += std::string{char(1), 0, char(1), 0, char(0x80), 0, 0};  // 1x1 screen, two colours
    bytes += std::string{0, 0, 0, char(255), char(255), char(255)};
    bytes += ',';
    bytes += std::string{0, 0, 0, 0, char(width & 0xFF), char(width >> 8), char(height & 0xFF), char(height >> 8), 0};
    bytes += std::string{2, 2, char(0x44), 1, 0, ';'};
    return bytes;
}

}  // namespace

TEST_F(ImagingTest, HeadersClaimingMoreThanTheFileHoldsAreRefused) {
    for (auto [width, height] : {std::pair{16384, 16384}, {4000, 3000}, {2000, 2000}, {65535, 65535}}) {
        const std::string jpeg = JpegClaiming(width, height);
        EXPECT_LT(jpeg.size(), 1000u);
        EXPECT_EQ(load(file("claim.jpg", jpeg))->GetWidth(), 0) << width << "x" << height;
        EXPECT_EQ(load(file("claim.gif", GifClaiming(width, height)))->GetWidth(), 0) << width << "x" << height;
    }
    // The same files with sizes they can hold are read.
    EXPECT_EQ(load(file("small.jpg", JpegClaiming(64, 48)))->GetWidth(), 64);
    EXPECT_EQ(load(file("small.gif", GifClaiming(64, 48)))->GetWidth(), 64);
}

TEST_F(ImagingTest, PlainPicturesThatCompressWellStillLoad) {
    // One colour everywhere is the best a compressor can do; such pictures are real, not hostile.
    const auto plain = [](int, int) { return Rgb{40, 80, 120}; };
    for (auto kind : {JpegKind::Colour, JpegKind::Grey}) {
        auto image = load(file("plain.jpg", JpegFile(4096, 3072, plain, kind, 50)));
        EXPECT_EQ(image->GetWidth(), 4096);
        EXPECT_EQ(image->GetHeight(), 3072);
    }
    IndexedPicture flat{1600, 1200, std::vector<std::uint8_t>(1600 * 1200, 1), {{0, 0, 0}, {200, 100, 50}}};
    auto gif = load(file("flat.gif", GifFile(flat)));
    EXPECT_EQ(gif->GetWidth(), 1600);
    EXPECT_EQ(rgbAt(*gif, 1599, 1199), (Rgb{200, 100, 50}));
}

TEST_F(ImagingTest, AJpegBeyondTheAreaLimitIsReadAtHalfSize) {
    // 72 megapixels: over the 64 megapixel limit, within the side limit.
    const auto bands = [](int x, int) { return x < 4500 ? Rgb{250, 10, 10} : Rgb{10, 10, 250}; };
    auto image = load(file("big.jpg", JpegFile(9000, 8000, bands, JpegKind::Colour, 75)));
    ASSERT_EQ(image->GetWidth(), 4500);
    EXPECT_EQ(image->GetHeight(), 4000);
    const Rgb left = rgbAt(*image, 100, 2000), right = rgbAt(*image, 4400, 2000);
    EXPECT_GT(left.r, 200);
    EXPECT_GT(right.b, 200);
}
