#include "imaging_fixture.h"

#include "dib.h"
#include "message_box.h"

using namespace imaging;
using namespace platform;
using namespace picture_writers;

TEST_F(ImagingTest, TheExtensionTableKnowsFiveTypes) {
    struct Case {
        const char* name;
        int type;
    } cases[] = {
        {"a.JPG", 1}, {"a.jpg", 1}, {"a.Jpg", 1}, {"b.jpeg", -1}, {"c.gif", 2}, {"d.BMP", 0}, {"e.png", 4}, {"f.xpm", 3},
        {"g.", -1},   {"noext", -1}, {"dir.jpg/file", -1}, {"x.tif", -1}, {"two.dots.gif", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(ImageTypeFromExtension(c.name), c.type) << c.name;
}

TEST_F(ImagingTest, UnsupportedTypesAndMissingFilesGiveEmptyPictures) {
    const std::string png = file("shot.png", "\x89PNG\r\n\x1a\n");
    for (const std::string& name : {png, file("shot.xpm", "/* XPM */"), file("shot.jpeg", JpegFile(Gradient(4, 4))),
                                    (root_.path() / "missing.gif").string(), file("noext", "")}) {
        auto image = load(name);
        EXPECT_EQ(image->GetWidth(), 0) << name;
        EXPECT_EQ(image->GetHeight(), 0) << name;
        EXPECT_FALSE(image->IsValid()) << name;
    }
}

TEST_F(ImagingTest, ACreatedPictureHasTheStandardColourTableAndReloadsInPlace) {
    CImageFile image("", -1);
    ASSERT_EQ(image.Create(5, 3, 8, -1), 8);  // 5 bytes padded to 8
    EXPECT_EQ(image.GetColorType(), 0);
    const BITMAPINFO* dib = image.GetImpl()->dibInfo();
    EXPECT_EQ(dib->bmiHeader.biClrUsed, 256u);
    const BYTE* table = DibColourTable(dib);
    EXPECT_EQ(table[4 * 9 + 2], 255);   // entry 9: red
    EXPECT_EQ(table[4 * 25 + 2], 255);  // repeated every sixteen
    EXPECT_EQ(image.Create(3, 2, 24, -1), 12);
    EXPECT_EQ(image.GetColorType(), 2);
    EXPECT_EQ(image.Create(0, 2, 24, -1), 0);
    EXPECT_EQ(image.Create(20000, 2, 24, -1), 0);
    EXPECT_EQ(image.GetBits(), nullptr);
}

TEST_F(ImagingTest, ASecondTriplePaletteWarnsOnceAndReplacesTheFirst) {
    std::vector<std::string> messages;
    SetMessageBoxHook([&](const std::string& text, const std::string&, UINT) {
        messages.push_back(text);
        return IDOK;
    });
    CImageFile image("", -1);
    image.Create(2, 2, 8, -1);
    const BYTE first[] = {1, 2, 3, 4, 5, 6};
    const BYTE second[] = {9, 9, 9};
    EXPECT_TRUE(image.SetPalette(2, first));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(image.SetPalette(1, second));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "CImageImpl::imagePalette already exists!");
    ASSERT_NE(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetPalette()->entries.size(), 1u);
    EXPECT_EQ(image.GetColorType(), 3);
    SetMessageBoxHook(nullptr);
}

TEST_F(ImagingTest, TransparentStretchKeepsTheBackgroundExactlyUnderTheTransparentIndex) {
    for (int depth : {8, 32}) {
        useDisplayDepth(depth);
        IndexedPicture picture{4, 2, {5, 1, 5, 2, 1, 5, 2, 5}, {}};
        for (int i = 0; i < 16; ++i) picture.colours.push_back({std::uint8_t(i * 16), 0, std::uint8_t(255 - i * 16)});
        picture.colours[1] = {200, 0, 0};
        picture.colours[2] = {0, 0, 200};
        GifOptions options;
        options.transparentIndex = 5;
        auto image = load(file("t.gif", GifFile(picture, options)));
        ASSERT_EQ(image->GetWidth(), 4);
        const std::vector<BYTE> before(image->GetBits(), image->GetBits() + image->GetEffWidth() * 2);

        UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
        UniqueBitmap canvas(CreateCompatibleBitmap(dc.get(), 8, 4));
        HGDIOBJ previous = SelectObject(dc.get(), canvas.get());
        UniqueBrush green(CreateSolidBrush(RGB(0, 255, 0)));
        RECT all{0, 0, 8, 4};
        FillRect(dc.get(), &all, green.get());
        SelectPalette(dc.get(), image->GetPalette(), FALSE);
        EXPECT_TRUE(image->Stretch(dc.get(), 0, 0, 8, 4));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const int index = picture.pixels[size_t((y / 2) * 4 + x / 2)];
                const std::uint32_t expected = index == 5 ? 0x00FF00u : index == 1 ? 0xC80000u : 0x0000C8u;
                EXPECT_EQ(GetPixel(dc.get(), x, y), ColorFromRgb(expected)) << "depth " << depth << " at " << x << "," << y;
            }
        // The picture's own pixels are as they were.
        EXPECT_EQ(std::vector<BYTE>(image->GetBits(), image->GetBits() + image->GetEffWidth() * 2), before);
        SelectObject(dc.get(), previous);
    }
}
