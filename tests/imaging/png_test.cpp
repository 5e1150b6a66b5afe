// PNG pictures: their pixels in place, transparency on the picture background, and files that lie.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <zlib.h>

#include "imaging_fixture.h"

using picture_writers::Rgb;

using PngTest = TransparentPictureTest;

TEST_F(PngTest, ThePixelsArriveInPlaceAndTransparencyShowsTheBackground) {
    ExpectTwoBands(*load(file("bands.png", picture_writers::PngFile(TwoBands()))));

    std::vector<std::uint8_t> alphas;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) alphas.push_back(x < 20 ? 255 : 0);
    decoding_.background = platform::RGB(0, 0, 200);
    auto cutOut = load(file("cut.png", picture_writers::PngFile(TwoBands(), alphas)));
    EXPECT_EQ(rgbAt(*cutOut, 5, 5), (Rgb{220, 20, 20}));
    EXPECT_EQ(rgbAt(*cutOut, 35, 5), (Rgb{0, 0, 200}));
    EXPECT_EQ(rgbAt(*cutOut, 35, 25), (Rgb{0, 0, 200}));
}

TEST_F(PngTest, FilesThatLieAreRefusedOrKeepWhatWasRead) {
    const std::string whole = picture_writers::PngFile(TwoBands());
    // Cut short in its data: no crash, at most the rows read.
    auto cut = load(file("cut.png", whole.substr(0, whole.size() - 30)));
    EXPECT_LE(cut->GetWidth(), 40);
    // A header claiming 16384 x 16384 in a file of a few hundred bytes: nothing is allocated.
    std::string huge = whole;
    const char side[4] = {0, 0, 0x40, 0};
    huge.replace(16, 4, side, 4);
    huge.replace(20, 4, side, 4);
    auto claimed = load(file("huge.png", huge));
    EXPECT_EQ(claimed->GetWidth(), 0);
    // Not a PNG at all.
    EXPECT_EQ(load(file("page.png", "<html>offline</html>"))->GetWidth(), 0);
}

namespace {

// A chunk as a PNG holds it: length, name, data, checksum.
std::string Chunk(const std::string& name, const std::string& data) {
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char((data.size() >> shift) & 0xFF);
    const std::string named = name + data;
    const uLong sum = crc32(0, reinterpret_cast<const Bytef*>(named.data()), uInt(named.size()));
    chunk += named;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char((sum >> shift) & 0xFF);
    return chunk;
}

// Pixels that hardly compress, so that half the file holds the upper rows.
picture_writers::TruePicture Noise(int width, int height) {
    picture_writers::TruePicture picture{width, height, {}};
    std::uint32_t state = 12345;
    for (int i = 0; i < width * height; ++i) {
        state = state * 1664525u + 1013904223u;
        picture.pixels.push_back({std::uint8_t(state >> 24), std::uint8_t(state >> 16), std::uint8_t(state >> 8)});
    }
    return picture;
}

}  // namespace

TEST_F(PngTest, ChunksTheSaverDoesNotUseAreSkippedAndMissingRowsShowTheBackground) {
    decoding_.background = platform::RGB(0, 0, 200);
    const std::string whole = picture_writers::PngFile(Noise(256, 256));
    constexpr size_t kAfterHeader = 8 + 25;
    // Three megabytes of text before the pixels: passed over, the picture reads.
    const std::string withText = whole.substr(0, kAfterHeader) + Chunk("iTXt", std::string(3 << 20, 'x')) +
                                 Chunk("zTXt", std::string(100, 'z')) + whole.substr(kAfterHeader);
    auto texted = load(file("texted.png", withText));
    EXPECT_EQ(texted->GetWidth(), 256);
    EXPECT_EQ(rgbAt(*texted, 255, 255), rgbAt(*load(file("plain.png", whole)), 255, 255));
    // A text chunk that claims 2 GiB of a 42-byte file: refused at once.
    EXPECT_EQ(load(file("claims.png", whole.substr(0, kAfterHeader) + std::string("\x7f\xff\xff\xff", 4) + "tEXtx"))->GetWidth(), 0);
    // Cut short in its pixels: the rows never reached show the background.
    auto cut = load(file("cut.png", whole.substr(0, whole.size() / 2)));
    ASSERT_EQ(cut->GetWidth(), 256);
    EXPECT_EQ(rgbAt(*cut, 0, 0), rgbAt(*texted, 0, 0));
    EXPECT_EQ(rgbAt(*cut, 0, 255), (Rgb{0, 0, 200}));
}

// Files made by ImageMagick, read as ImageMagick reads them: 8- and 16-bit samples, with and
// without a gamma chunk, interlaced or not, every kind of transparency flattened onto the
// background in the picture's own values (as browsers show it).
TEST_F(PngTest, PicturesMadeByImageMagickReadAsImageMagickReadsThem) {
    ASSERT_EQ(std::system("convert -version >/dev/null 2>&1"), 0) << "ImageMagick's convert is needed";
    const std::string folder = root_.path().string();
    const std::string scene = "-size 61x47 -seed 7 plasma:fractal \\( -size 61x47 gradient:white-black -rotate 90 "
                              "-resize 61x47! \\) -alpha off -compose CopyOpacity -composite";
    const std::string withoutGamma = " -define png:exclude-chunk=gAMA,cHRM,sRGB,iCCP,bKGD";
    struct Made {
        std::string name, options, format;  // format: ImageMagick's prefix of the file written
    };
    const std::vector<Made> files = {
        {"rgba8.png", scene + " -depth 8", ""},
        {"rgba16.png", scene + " -depth 16", ""},
        {"rgba16-interlaced.png", scene + " -depth 16 -interlace PNG", ""},
        {"grey16.png", "-size 61x47 gradient:gray10-gray90 -colorspace Gray -depth 16" + withoutGamma, ""},
        {"grey16-interlaced.png", "-size 61x47 gradient:gray10-gray90 -colorspace Gray -depth 16 -interlace PNG" + withoutGamma, ""},
        {"grey-alpha8.png", scene + " -colorspace Gray -depth 8 -define png:color-type=4 -interlace PNG", ""},
        {"palette.png", "-size 61x47 -seed 3 plasma:fractal -channel A -fx \"i<30?0.0:1.0\" +channel -colors 40", "PNG8:"},
        {"half-white.png", "-size 61x47 xc:\"rgba(255,255,255,0.5)\" -depth 8", ""},
    };
    decoding_.background = platform::RGB(40, 90, 160);
    for (const Made& made : files) {
        SCOPED_TRACE(made.name);
        const std::string path = folder + "/" + made.name;
        ASSERT_EQ(std::system(("convert " + made.options + " " + made.format + path).c_str()), 0);
        auto image = load(path);
        ASSERT_EQ(image->GetWidth(), 61);
        ASSERT_EQ(image->GetHeight(), 47);
        const int difference = DifferenceFromImageMagick(*image, path, "rgb(40,90,160)");
        EXPECT_TRUE(difference >= 0 && difference <= 1) << difference;
    }
}
