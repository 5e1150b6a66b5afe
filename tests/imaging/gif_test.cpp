#include "imaging_fixture.h"

using namespace imaging;
using namespace picture_writers;

namespace {

// Each row filled with its own row number: a misplaced line shows at once.
IndexedPicture RowNumbers(int width, int height) {
    IndexedPicture picture{width, height, {}, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels.push_back(std::uint8_t(y));
    for (int i = 0; i < 32; ++i) picture.colours.push_back({std::uint8_t(i * 7), std::uint8_t(i), 0});
    return picture;
}

std::vector<int> IndexRows(const CImageFile& image) {
    std::vector<int> rows;
    for (int y = 0; y < image.GetHeight(); ++y) rows.push_back(image.GetIndex(0, image.GetHeight() - 1 - y));
    return rows;
}

IndexedPicture Noise(int width, int height, int colours) {
    IndexedPicture picture{width, height, {}, {}};
    std::uint32_t seed = 7;
    for (int i = 0; i < width * height; ++i) {
        seed = seed * 1103515245 + 12345;
        // Runs of repeated pixels give the LZW table long chains to build.
        picture.pixels.push_back(std::uint8_t(((seed >> 16) % 7 == 0 ? (seed >> 8) : i / 5) % std::uint32_t(colours)));
    }
    for (int i = 0; i < colours; ++i) picture.colours.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)});
    return picture;
}

}  // namespace

TEST_F(ImagingTest, GifPixelsAndColoursComeBackExactly) {
    const IndexedPicture picture = Noise(97, 61, 256);  // long enough to fill the 4096-entry table
    auto image = load(file("n.gif", GifFile(picture)));
    ASSERT_EQ(image->GetWidth(), 97);
    ASSERT_EQ(image->GetHeight(), 61);
    EXPECT_EQ(image->GetDepth(), 8);
    EXPECT_EQ(image->GetColorType(), 3);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 97; ++x)
            ASSERT_EQ(image->GetIndex(x, 60 - y), picture.pixels[size_t(y * 97 + x)]) << x << "," << y;
    EXPECT_EQ(rgbAt(*image, 0, 0), picture.colours[picture.pixels[0]]);
}

TEST_F(ImagingTest, InterlacedGifsOfFiveFourAndOneLines) {
    for (int height : {5, 4, 1, 9, 17}) {
        GifOptions options;
        options.interlaced = true;
        auto image = load(file("i.gif", GifFile(RowNumbers(3, height), options)));
        ASSERT_EQ(image->GetHeight(), height);
        std::vector<int> expected;
        for (int y = 0; y < height; ++y) expected.push_back(y);
        EXPECT_EQ(IndexRows(*image), expected) << height << " lines";
    }
}

TEST_F(ImagingTest, TransparencyPreparesBlackAndWhiteInThePalette) {
    IndexedPicture sixteen = RowNumbers(2, 2);  // 32 colours
    GifOptions options;
    options.transparentIndex = 3;
    auto image = load(file("t.gif", GifFile(sixteen, options)));
    ASSERT_NE(image->GetPalette(), nullptr);
    const auto& entries = image->GetPalette()->entries;
    ASSERT_EQ(entries.size(), 256u);
    EXPECT_EQ(entries[3], (platform::PALETTEENTRY{0, 0, 0, 0}));
    EXPECT_EQ(entries[4], (platform::PALETTEENTRY{28, 4, 0, 0}));
    EXPECT_EQ(entries[32], (platform::PALETTEENTRY{255, 255, 255, 0}));
    EXPECT_EQ(entries[255], (platform::PALETTEENTRY{255, 255, 255, 0}));
    EXPECT_EQ(image->GetImpl()->transparentIndex, 3);

    // A full table without white: the transparent entry 255 ends white (the white rule comes last).
    IndexedPicture full = RowNumbers(2, 2);
    full.colours.clear();
    for (int i = 0; i < 256; ++i) full.colours.push_back({std::uint8_t(i), 0, 0});
    options.transparentIndex = 255;
    image = load(file("f.gif", GifFile(full, options)));
    EXPECT_EQ(image->GetPalette()->entries[255], (platform::PALETTEENTRY{255, 255, 255, 0}));
    EXPECT_EQ(image->GetPalette()->entries[254], (platform::PALETTEENTRY{254, 0, 0, 0}));

    // Reloading a file without transparency forgets the old index.
    image->Load(file("plain.gif", GifFile(sixteen)), -1);
    EXPECT_EQ(image->GetImpl()->transparentIndex, -1);
    EXPECT_EQ(image->GetPalette()->entries.size(), 32u);
}

TEST_F(ImagingTest, ALocalTableWinsAndOnlyTheFirstFrameShows) {
    IndexedPicture first = RowNumbers(4, 3);
    GifOptions options;
    options.localTable = true;
    options.extraFrames.push_back(RowNumbers(8, 8));
    auto image = load(file("a.gif", GifFile(first, options)));
    ASSERT_EQ(image->GetWidth(), 4);
    ASSERT_EQ(image->GetHeight(), 3);
    EXPECT_EQ(rgbAt(*image, 0, 2), first.colours[2]);  // not the grey global table
}

TEST_F(ImagingTest, ATruncatedGifKeepsTheLinesDecodedBeforeTheEnd) {
    IndexedPicture picture = RowNumbers(200, 16);
    for (auto& pixel : picture.pixels) pixel = std::uint8_t(pixel + 1);  // no row is index 0
    const std::string whole = GifFile(picture);
    auto image = load(file("cut.gif", whole.substr(0, whole.size() * 2 / 3)));
    ASSERT_EQ(image->GetHeight(), 16);
    const std::vector<int> rows = IndexRows(*image);
    EXPECT_EQ(rows.front(), 1);
    EXPECT_EQ(rows.back(), 0);  // never decoded: palette entry 0
}

TEST_F(ImagingTest, BrokenGifsNeverReachOutsideThePicture) {
    const std::string good = GifFile(RowNumbers(4, 4));
    std::string badCodeSize = good;
    badCodeSize[13 + 96 + 10] = 12;  // the initial code size byte after the descriptor
    std::string noSignature = good;
    noSignature[0] = 'X';
    // A data stream of codes far beyond the table: decoded as the old code plus its first character.
    std::string wild = good.substr(0, 13 + 96 + 10) + std::string("\x02\x05\xff\xff\xff\xff\xff\x00;", 9);
    std::string huge = good;
    huge[13 + 96 + 5] = char(0xFF);
    huge[13 + 96 + 6] = char(0xFF);  // 65535 wide, with the data of a 4-wide picture
    struct Case {
        const char* what;
        std::string bytes;
        int width;
    } cases[] = {
        {"initial code size 12", badCodeSize, 4},
        {"no signature", noSignature, 0},
        {"codes beyond the table", wild, 4},
        {"wider than any picture", huge, 0},
        {"cut inside the header", good.substr(0, 12), 0},
        {"signature only", "GIF89a", 0},
    };
    for (const Case& c : cases) {
        auto image = load(file("b.gif", c.bytes));
        EXPECT_EQ(image->GetWidth(), c.width) << c.what;
    }
    // A refused code size decodes nothing: every pixel is palette entry 0.
    auto image = load(file("b.gif", badCodeSize));
    EXPECT_EQ(IndexRows(*image), (std::vector<int>{0, 0, 0, 0}));
}
