#include "imaging_fixture.h"

#include <cstring>

using namespace imaging;
using namespace picture_writers;

namespace {

IndexedPicture EightBit() {
    IndexedPicture picture{3, 2, {0, 1, 2, 2, 1, 0}, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};
    return picture;
}

void Patch32(std::string& bytes, size_t at, std::uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

// Black, red, green, blue.
const std::vector<Rgb> kFourColours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

}  // namespace

TEST_F(ImagingTest, RunLengthBmpsAreDecoded) {
    const Rgb black{0, 0, 0}, red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
    const auto expectRows = [&](const CImageFile& image, const std::vector<std::vector<Rgb>>& rows) {
        ASSERT_EQ(image.GetWidth(), int(rows[0].size()));
        ASSERT_EQ(image.GetHeight(), int(rows.size()));
        for (size_t y = 0; y < rows.size(); ++y)
            for (size_t x = 0; x < rows[y].size(); ++x) EXPECT_EQ(rgbAt(image, int(x), int(y)), rows[y][x]) << x << "," << y;
    };
    // Bottom row: a run of three reds, one green, end of row; top row: three pixels as they
    // stand (padded to a word), one black run, end of picture.
    const std::string rle8("\x03\x01\x01\x02\x00\x00" "\x00\x03\x02\x01\x02\x00" "\x01\x00\x00\x01", 16);
    expectRows(*load(file("r8.bmp", RunLengthBmpFile(4, 2, 8, kFourColours, rle8))), {{green, red, green, black}, {red, red, red, green}});
    // Bottom row: four pixels alternating red and green; top row: a move one right, then blue,
    // black, blue; the skipped pixel stays black.
    const std::string rle4("\x04\x12\x00\x00" "\x00\x02\x01\x00" "\x03\x30\x00\x01", 12);
    expectRows(*load(file("r4.bmp", RunLengthBmpFile(4, 2, 4, kFourColours, rle4))), {{black, blue, black, blue}, {red, green, red, green}});
    // Runs past the edges are dropped; a huge picture in a few bytes is refused.
    const std::string wide("\xFF\x01\x00\x01", 4);
    expectRows(*load(file("w.bmp", RunLengthBmpFile(2, 1, 8, kFourColours, wide))), {{red, red}});
    EXPECT_EQ(load(file("h.bmp", RunLengthBmpFile(4000, 4000, 8, kFourColours, std::string("\x00\x01", 2))))->GetWidth(), 0);
}

TEST_F(ImagingTest, BmpFilesOfEveryLayoutLoadWithTheirColours) {
    const TruePicture picture = Gradient(5, 3);
    for (bool topDown : {false, true})
        for (bool withHeader : {true, false}) {
            auto image = load(file("p.bmp", BmpFile(picture, topDown, withHeader)));
            ASSERT_EQ(image->GetWidth(), 5) << topDown << withHeader;
            ASSERT_EQ(image->GetHeight(), 3);
            EXPECT_EQ(image->GetDepth(), 24);
            EXPECT_EQ(image->GetColorType(), 0);  // the reader sets a colour type only with a palette
            EXPECT_EQ(image->GetPalette(), nullptr);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x) EXPECT_EQ(rgbAt(*image, x, y), picture.pixels[size_t(y * 5 + x)]) << x << "," << y;
        }
    for (bool os2 : {false, true}) {
        auto image = load(file("i.bmp", BmpFile(EightBit(), os2)));
        ASSERT_EQ(image->GetWidth(), 3) << os2;
        EXPECT_EQ(image->GetDepth(), 8);
        EXPECT_EQ(image->GetColorType(), 3);
        ASSERT_NE(image->GetPalette(), nullptr);
        EXPECT_EQ(image->GetPalette()->entries.size(), os2 ? 256u : 3u);
        EXPECT_EQ(rgbAt(*image, 0, 0), (Rgb{255, 0, 0}));
        EXPECT_EQ(rgbAt(*image, 2, 0), (Rgb{0, 0, 255}));
        EXPECT_EQ(rgbAt(*image, 0, 1), (Rgb{0, 0, 255}));
    }
}

TEST_F(ImagingTest, HostileBmpFilesEndAsEmptyPictures) {
    const std::string good = BmpFile(EightBit());
    // Header offsets: 18 width, 22 height, 28 bit count, 30 compression, 46 colours used, 10 bits offset.
    std::vector<std::pair<const char*, std::string>> cases;
    const auto patched = [&](size_t at, std::uint32_t value) {
        std::string bytes = good;
        Patch32(bytes, at, value);
        return bytes;
    };
    cases.push_back({"huge width", patched(18, 0x7FFFFFFF)});
    cases.push_back({"huge height", patched(22, 0x40000000)});
    cases.push_back({"most negative height", patched(22, 0x80000000)});
    cases.push_back({"zero width", patched(18, 0)});
    cases.push_back({"negative width", patched(18, 0xFFFFFFF0)});
    cases.push_back({"zero height", patched(22, 0)});
    cases.push_back({"bits past the end", patched(10, 100000)});
    cases.push_back({"too many colours", patched(46, 4000)});
    cases.push_back({"4-bit run lengths in an 8-bit picture", patched(30, 2)});
    std::string oddDepth = good;
    oddDepth[28] = 7;
    cases.push_back({"unknown bit count", oddDepth});
    cases.push_back({"truncated bits", good.substr(0, good.size() - 3)});
    cases.push_back({"truncated header", good.substr(0, 30)});
    cases.push_back({"header size 200", patched(14, 200)});
    cases.push_back({"nothing", ""});
    for (const auto& [what, bytes] : cases) {
        auto image = load(file("h.bmp", bytes));
        EXPECT_EQ(image->GetWidth(), 0) << what;
        EXPECT_EQ(image->GetBits(), nullptr) << what;
    }
}
