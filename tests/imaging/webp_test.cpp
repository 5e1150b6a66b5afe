// WebP pictures: their pixels in place, transparency on the picture background, the first frame
// of an animated one (made by img2webp, another tool), and files that lie.
#include <cstdlib>

#include "imaging_fixture.h"
#include "programs.h"

using picture_writers::Rgb;

using WebpTest = TransparentPictureTest;

TEST_F(WebpTest, ThePixelsArriveInPlaceAndTransparencyShowsTheBackground) {
    ExpectTwoBands(*load(file("bands.webp", picture_writers::WebpFile(TwoBands()))));

    std::vector<std::uint8_t> alphas;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) alphas.push_back(x < 20 ? 255 : x < 30 ? 128 : 0);
    decoding_.background = platform::RGB(0, 0, 200);
    auto cutOut = load(file("cut.webp", picture_writers::WebpFile(TwoBands(), alphas)));
    EXPECT_EQ(rgbAt(*cutOut, 5, 5), (Rgb{220, 20, 20}));
    EXPECT_EQ(rgbAt(*cutOut, 25, 25), (Rgb{10, 110, 110}));  // half green, half the background
    EXPECT_EQ(rgbAt(*cutOut, 35, 5), (Rgb{0, 0, 200}));
}

TEST_F(WebpTest, AnAnimatedPictureShowsItsFirstFrame) {
    const auto img2webp = platform::FindProgram("img2webp");
    if (!img2webp) GTEST_SKIP() << "img2webp is not installed (Debian package webp)";
    const auto red = file("red.png", picture_writers::PngFile({16, 12, std::vector<Rgb>(16 * 12, {200, 0, 0})}));
    const auto blue = file("blue.png", picture_writers::PngFile({16, 12, std::vector<Rgb>(16 * 12, {0, 0, 200})}));
    const auto animated = root_.path() / "frames.webp";
    const std::string command = img2webp->string() + " -lossless '" + red + "' '" + blue + "' -o '" + animated.string() +
                                "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto picture = load(animated.string());
    ASSERT_EQ(picture->GetWidth(), 16);
    EXPECT_EQ(rgbAt(*picture, 8, 6), (Rgb{200, 0, 0}));
}

TEST_F(WebpTest, FilesThatLieAreRefused) {
    const std::string whole = picture_writers::WebpFile(TwoBands());
    EXPECT_EQ(load(file("cut.webp", whole.substr(0, whole.size() / 2)))->GetWidth(), 0);
    EXPECT_EQ(load(file("page.webp", "<html>offline</html>"))->GetWidth(), 0);
    // A lossless header claiming 16384 x 16384 (14 bits each, less one) in a file of a few bytes.
    std::string huge = whole;
    const std::uint32_t sides = 0x3FFFu | (0x3FFFu << 14);
    for (int i = 0; i < 4; ++i) huge[21 + i] = char((sides >> (8 * i)) & 0xFF);
    EXPECT_EQ(load(file("huge.webp", huge))->GetWidth(), 0);
}

// Made by ImageMagick and cwebp (lossless, so the reading must match ImageMagick's of the source
// exactly but for rounding), at an odd width whose rows need padding, with and without alpha.
TEST_F(WebpTest, PicturesMadeByCwebpReadAsImageMagickReadsTheirSource) {
    const std::string folder = root_.path().string();
    ASSERT_EQ(std::system(("convert -size 61x47 -seed 7 plasma:fractal \\( -size 61x47 gradient:white-black \\) -alpha off "
                           "-compose CopyOpacity -composite -depth 8 " + folder + "/alpha.png").c_str()), 0);
    ASSERT_EQ(std::system(("convert -size 61x47 -seed 9 plasma:fractal -depth 8 " + folder + "/opaque.png").c_str()), 0);
    decoding_.background = platform::RGB(40, 90, 160);
    for (const char* name : {"alpha", "opaque"}) {
        SCOPED_TRACE(name);
        const std::string source = folder + "/" + name + ".png", webp = folder + "/" + name + ".webp";
        ASSERT_EQ(std::system(("cwebp -quiet -lossless -exact " + source + " -o " + webp).c_str()), 0);
        auto image = load(webp);
        ASSERT_EQ(image->GetWidth(), 61);
        ASSERT_EQ(image->GetHeight(), 47);
        const int difference = DifferenceFromImageMagick(*image, source, "rgb(40,90,160)");
        EXPECT_TRUE(difference >= 0 && difference <= 1) << difference;
    }
}
