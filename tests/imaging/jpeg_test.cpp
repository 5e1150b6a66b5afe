#include "imaging_fixture.h"

#include <cstdlib>

using namespace imaging;
using namespace picture_writers;

namespace {

TruePicture Blocks() {
    // Flat 8x8 blocks of strong colours survive compression nearly unchanged.
    TruePicture picture{16, 16, {}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            picture.pixels.push_back(x < 8 ? (y < 8 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}) : (y < 8 ? Rgb{0, 255, 0} : Rgb{255, 255, 255}));
    return picture;
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

}  // namespace

TEST_F(ImagingTest, JpegsAreShownTheWayUpTheirExifSays) {
    // Red left, green right, as the camera stored it.
    TruePicture stored{16, 8, {}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) stored.pixels.push_back(x < 8 ? Rgb{255, 0, 0} : Rgb{0, 255, 0});
    const Rgb red{255, 0, 0}, green{0, 255, 0};
    struct Expected {
        int orientation, width;
        Rgb topLeft, bottomRight;
    };
    for (int depth : {8, 32})
        for (const Expected& expected : {Expected{1, 16, red, green}, Expected{2, 16, green, red}, Expected{3, 16, green, red},
                                         Expected{6, 8, red, green}, Expected{8, 8, green, red}}) {
            useDisplayDepth(depth);
            auto image = load(file("o.jpg", WithExifOrientation(JpegFile(stored), expected.orientation)));
            ASSERT_EQ(image->GetWidth(), expected.width) << expected.orientation;
            ASSERT_EQ(image->GetHeight(), 128 / expected.width);
            EXPECT_TRUE(Near(rgbAt(*image, 1, 1), expected.topLeft, 40)) << expected.orientation << " at " << depth;
            EXPECT_TRUE(Near(rgbAt(*image, expected.width - 2, 128 / expected.width - 2), expected.bottomRight, 40))
                << expected.orientation << " at " << depth;
        }
    // A block that cannot be read leaves the picture as stored.
    std::string broken = WithExifOrientation(JpegFile(stored), 6);
    broken[2 + 4 + 6] = 'X';  // not "II" or "MM"
    EXPECT_EQ(load(file("b.jpg", broken))->GetWidth(), 16);
}

TEST_F(ImagingTest, ColourJpegsAre24BitOnTrueColourDisplays) {
    for (int depth : {16, 24, 32}) {
        useDisplayDepth(depth);
        auto image = load(file("c.jpg", JpegFile(Blocks())));
        ASSERT_EQ(image->GetWidth(), 16) << depth;
        EXPECT_EQ(image->GetDepth(), 24);
        EXPECT_EQ(image->GetPalette(), nullptr);
        EXPECT_TRUE(Near(rgbAt(*image, 3, 3), {255, 0, 0}, 8)) << depth;
        EXPECT_TRUE(Near(rgbAt(*image, 12, 3), {0, 255, 0}, 8));
        EXPECT_TRUE(Near(rgbAt(*image, 3, 12), {0, 0, 255}, 8));
        EXPECT_TRUE(Near(rgbAt(*image, 12, 12), {255, 255, 255}, 8));
    }
}

TEST_F(ImagingTest, ColourJpegsAreQuantisedOnAnEightBitDisplay) {
    useDisplayDepth(8);
    auto image = load(file("q.jpg", JpegFile(Gradient(64, 64))));
    ASSERT_EQ(image->GetWidth(), 64);
    EXPECT_EQ(image->GetDepth(), 8);
    ASSERT_NE(image->GetPalette(), nullptr);
    EXPECT_LE(image->GetPalette()->entries.size(), 128u);
    EXPECT_GT(image->GetPalette()->entries.size(), 16u);
    EXPECT_EQ(image->GetColorType(), 3);
}

TEST_F(ImagingTest, GreyJpegsGetAGreyRampOnEveryDisplay) {
    for (int depth : {8, 32}) {
        useDisplayDepth(depth);
        auto image = load(file("g.jpg", JpegFile(Gradient(16, 16), JpegKind::Grey)));
        ASSERT_EQ(image->GetDepth(), 8) << depth;
        ASSERT_EQ(image->GetPalette()->entries.size(), 256u);
        EXPECT_EQ(image->GetPalette()->entries[77], (platform::PALETTEENTRY{77, 77, 77, 0}));
    }
}

TEST_F(ImagingTest, CmykJpegsBecomeTrueColourPictures) {
    auto image = load(file("k.jpg", JpegFile(Blocks(), JpegKind::Cmyk)));
    ASSERT_EQ(image->GetWidth(), 16);
    EXPECT_EQ(image->GetDepth(), 24);
    EXPECT_TRUE(Near(rgbAt(*image, 3, 3), {255, 0, 0}, 12));
    EXPECT_TRUE(Near(rgbAt(*image, 12, 12), {255, 255, 255}, 12));
    EXPECT_TRUE(Near(rgbAt(*image, 3, 12), {0, 0, 255}, 12));
}

TEST_F(ImagingTest, ThePixHeaderRule) {
    const std::string jpeg = JpegFile(Blocks());
    const std::string withHeader = std::string(21, 'P') + jpeg;
    EXPECT_EQ(load(file("shot.pix", withHeader), kImageTypeJpeg)->GetWidth(), 16);
    EXPECT_EQ(load(file("shot.jpg", withHeader), kImageTypeJpeg)->GetWidth(), 0);
    EXPECT_EQ(load(file("plain.PIX", jpeg), kImageTypeJpeg)->GetWidth(), 0);
}

TEST_F(ImagingTest, NotAJpegFailsQuietlyAndALateErrorKeepsThePartialPicture) {
    EXPECT_EQ(load(file("n.jpg", "GIF89a, not a JPEG at all"))->GetWidth(), 0);
    EXPECT_EQ(load(file("e.jpg", ""))->GetWidth(), 0);
    // Cut inside the scan data: the size is known, the rows decoded so far are kept.
    TruePicture noise = Gradient(160, 160);
    for (size_t i = 0; i < noise.pixels.size(); ++i) noise.pixels[i].g = std::uint8_t(i * 2654435761u >> 24);
    const std::string jpeg = JpegFile(noise, JpegKind::Colour, 90);
    auto image = load(file("cut.jpg", jpeg.substr(0, jpeg.size() / 2)));
    ASSERT_EQ(image->GetWidth(), 160);
    EXPECT_EQ(image->GetHeight(), 160);
    int lit = 0;
    for (int x = 0; x < 160; ++x) lit += rgbAt(*image, x, 0).r > 0;
    EXPECT_GT(lit, 100);  // the top rows were decoded

    // A second scan where a single-scan file may have none is the library's hard error, after
    // the rows were read: the picture keeps its size and the rows decoded before it.
    const size_t scan = jpeg.find("\xFF\xDA", 0, 2);
    ASSERT_NE(scan, std::string::npos);
    const size_t scanHeader = 2 + ((size_t(std::uint8_t(jpeg[scan + 2])) << 8) | std::uint8_t(jpeg[scan + 3]));
    const std::string secondScan = jpeg.substr(scan, scanHeader) + std::string(64, '\x11') + "\xFF\xD9";
    auto broken = load(file("broken.jpg", jpeg.substr(0, jpeg.size() / 2) + secondScan));
    ASSERT_EQ(broken->GetWidth(), 160);
    lit = 0;
    for (int x = 0; x < 160; ++x) lit += rgbAt(*broken, x, 0).r > 0;
    EXPECT_GT(lit, 100);
}
