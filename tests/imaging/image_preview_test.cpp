// The picture preview: where a picture lands in its area, on pixels, and what it accepts.
#include "image_preview.h"
#include "imaging_fixture.h"

using namespace imaging;
using namespace platform;
using picture_writers::Rgb;
using picture_writers::TruePicture;

namespace {

TruePicture Flat(int width, int height, Rgb colour) {
    return TruePicture{width, height, std::vector<Rgb>(size_t(width) * size_t(height), colour)};
}

class ImagePreviewTest : public ImagingTest {
protected:
    // Paints the preview into a fresh area of that size; the pixels stay readable in dc_.
    void paint(const CImagePreview& preview, int width, int height) {
        dc_.reset(CreateCompatibleDC(nullptr));
        bitmap_.reset(CreateCompatibleBitmap(dc_.get(), width, height));
        SelectObject(dc_.get(), bitmap_.get());
        preview.Paint(dc_.get(), width, height, kBack);
    }
    COLORREF at(int x, int y) { return GetPixel(dc_.get(), x, y); }

    static constexpr COLORREF kBack = RGB(0, 0, 160);
    static constexpr COLORREF kRed = RGB(200, 0, 0);
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
};

}  // namespace

TEST_F(ImagePreviewTest, APictureTouchesTwoSidesAndIsCentredOnTheBackgroundColour) {
    CImagePreview preview;
    // Wide in a square: 200 x 100 at (0, 50).
    ASSERT_EQ(preview.Load(file("wide.bmp", BmpFile(Flat(100, 50, {200, 0, 0})))), 24);
    paint(preview, 200, 200);
    EXPECT_EQ(at(100, 49), kBack);
    EXPECT_EQ(at(100, 50), kRed);
    EXPECT_EQ(at(0, 100), kRed);
    EXPECT_EQ(at(199, 149), kRed);
    EXPECT_EQ(at(100, 150), kBack);

    // Tall in a square: 100 x 200 at (50, 0).
    ASSERT_EQ(preview.Load(file("tall.bmp", BmpFile(Flat(50, 100, {200, 0, 0})))), 24);
    paint(preview, 200, 200);
    EXPECT_EQ(at(49, 100), kBack);
    EXPECT_EQ(at(50, 0), kRed);
    EXPECT_EQ(at(149, 199), kRed);
    EXPECT_EQ(at(150, 100), kBack);

    // Square in a square fills it.
    ASSERT_GT(preview.Load(file("square.bmp", BmpFile(Flat(30, 30, {200, 0, 0})))), 0);
    paint(preview, 120, 120);
    for (auto [x, y] : {std::pair{0, 0}, {119, 0}, {0, 119}, {119, 119}}) EXPECT_EQ(at(x, y), kRed) << x << "," << y;

    const PreviewPlacement wide = PlacePreview(100, 50, 200, 200);
    EXPECT_EQ(std::tuple(wide.x, wide.y, wide.width, wide.height), std::tuple(0, 50, 200, 100));
    const PreviewPlacement tall = PlacePreview(50, 100, 200, 200);
    EXPECT_EQ(std::tuple(tall.x, tall.y, tall.width, tall.height), std::tuple(50, 0, 100, 200));
}

TEST_F(ImagePreviewTest, AnEmptyPreviewIsAGreyBoxWithADiagonalCross) {
    CImagePreview preview;
    paint(preview, 100, 80);
    EXPECT_EQ(at(50, 10), RGB(192, 192, 192));
    // Both diagonals, drawn with the context's pen.
    EXPECT_EQ(at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(at(75, 60), RGB(0, 0, 0));
    EXPECT_EQ(at(25, 60), RGB(0, 0, 0));
    EXPECT_EQ(at(50, 40), RGB(0, 0, 0));
}

TEST_F(ImagePreviewTest, TheDepthComesBackAndARefusedNameKeepsThePicture) {
    CImagePreview preview;
    picture_writers::IndexedPicture indexed{4, 4, std::vector<std::uint8_t>(16, 1), std::vector<Rgb>(256, Rgb{9, 9, 9})};
    EXPECT_EQ(preview.Load(file("p.gif", GifFile(indexed))), 8);
    EXPECT_EQ(preview.Load(file("p.JPEG", JpegFile(Flat(16, 8, {10, 200, 30})))), 24);
    EXPECT_EQ(preview.pictureWidth(), 16);
    // Not a picture name: the picture stays.
    EXPECT_EQ(preview.Load(file("photo.txt", JpegFile(Flat(8, 8, {0, 0, 0})))), 0);
    EXPECT_TRUE(preview.HasPicture());
    EXPECT_EQ(preview.pictureWidth(), 16);
    EXPECT_EQ(preview.Load(file("noextension", "x")), 0);
    EXPECT_TRUE(preview.HasPicture());
    // A picture name whose file cannot be read: the preview is empty.
    EXPECT_EQ(preview.Load(file("broken.gif", "GIF89a")), 0);
    EXPECT_FALSE(preview.HasPicture());
    EXPECT_EQ(PreviewImageType("a.xpm"), -1);
    EXPECT_EQ(PreviewImageType("a.Png"), kImageTypePng);

    // A JPEG cut short is shown as far as it decoded.
    TruePicture noise = Gradient(96, 96);
    for (size_t i = 0; i < noise.pixels.size(); ++i) noise.pixels[i].g = std::uint8_t(i * 2654435761u >> 24);
    std::string cut = JpegFile(noise);
    cut.resize(cut.size() / 2);
    EXPECT_EQ(preview.Load(file("cut.jpg", cut)), 24);
}
