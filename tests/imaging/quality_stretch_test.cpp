#include "imaging_fixture.h"

#include <cmath>

#include "quality_stretch.h"
#include "scaler_path.h"

using namespace imaging;
using namespace platform;
using namespace picture_writers;

namespace {

// The described bilinear formula at target (i, j), rows counted from the top, over any value of
// the source pixels (the last column and row stand in for their missing neighbours).
template <typename Value>
double Bilinear(const TruePicture& picture, int width, int height, int i, int j, Value value) {
    const double sx = double(width) / picture.width, sy = double(height) / picture.height;
    const double fx = i / sx, fy = j / sy;
    const int ix = int(fx), iy = int(fy);
    const double tx = fx - ix, ty = fy - iy;
    const auto c = [&](int x, int y) {
        return double(value(picture.pixels[size_t(std::min(y, picture.height - 1) * picture.width +
                                                  std::min(x, picture.width - 1))]));
    };
    return (1 - tx) * (1 - ty) * c(ix, iy) + tx * (1 - ty) * c(ix + 1, iy) + (1 - tx) * ty * c(ix, iy + 1) +
           tx * ty * c(ix + 1, iy + 1);
}

// One channel (0 blue, 1 green, 2 red) at 24 and 32 bits.
int Expected(const TruePicture& picture, int width, int height, int i, int j, int channel) {
    return int(Bilinear(picture, width, height, i, j,
                        [channel](const Rgb& p) { return channel == 0 ? p.b : channel == 1 ? p.g : p.r; }));
}

// The 16-bit word: each 5-6-5 channel interpolated in place, in the display word's own bit
// position, truncated and masked again.
std::uint16_t Expected565(const TruePicture& picture, int width, int height, int i, int j) {
    unsigned result = 0;
    for (unsigned mask : {0xF800u, 0x07E0u, 0x001Fu}) {
        const double value = Bilinear(picture, width, height, i, j, [mask](const Rgb& p) {
            return unsigned(((p.r >> 3) << 11) | ((p.g >> 2) << 5) | (p.b >> 3)) & mask;
        });
        result |= unsigned(value) & mask;
    }
    return std::uint16_t(result);
}

// Runs the scaler on one instruction-set path while it lives.
class OnScalerPath {
public:
    explicit OnScalerPath(ScalerPath path) { SelectScalerPath(path); }
    ~OnScalerPath() { SelectScalerPath(BestScalerPath()); }
};

}  // namespace

TEST_F(ImagingTest, QualityStretchComputesEveryPixelOnEachTrueColourDisplay) {
    TruePicture picture = Gradient(32, 24);
    for (auto& p : picture.pixels) p = {std::uint8_t(p.r | 0x40), std::uint8_t(p.g | 0x40), std::uint8_t(p.b | 0x40)};
    for (const ScalerPath path : AvailableScalerPaths())
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE("path " + ScalerPathName(path) + ", depth " + std::to_string(depth));
        const OnScalerPath chosen(path);
        useDisplayDepth(depth);
        EXPECT_EQ(GetDisplayBitDepth(), depth);
        auto image = load(file("s.bmp", BmpFile(picture)));
        for (auto [width, height] : {std::pair{100, 70}, {20, 15}}) {
            UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
            UniqueBitmap target(CreateCompatibleBitmap(dc.get(), width, height));
            HGDIOBJ previous = SelectObject(dc.get(), target.get());
            EXPECT_EQ(QualityStretch(*image, dc.get(), target.get(), width, height), 1);
            // No black edge: the last columns and rows are computed too.
            for (int y = 0; y < height; ++y) EXPECT_NE(GetPixel(dc.get(), width - 1, y), RGB(0, 0, 0)) << depth;
            for (int x = 0; x < width; ++x) EXPECT_NE(GetPixel(dc.get(), x, height - 1), RGB(0, 0, 0)) << depth;
            if (depth == 16) {
                // Every pixel of the device bitmap, word for word.
                for (int j = 0; j < height; ++j)
                    for (int i = 0; i < width; ++i) {
                        const BYTE* at = target->surface->row(j) + 2 * i;
                        ASSERT_EQ(std::uint16_t(at[0] | (at[1] << 8)), Expected565(picture, width, height, i, j))
                            << i << "," << j << " of " << width << "x" << height;
                    }
            } else {
                for (int j = 0; j < height; ++j)
                    for (int i = 0; i < width; ++i) {
                        const COLORREF got = GetPixel(dc.get(), i, j);
                        ASSERT_EQ(GetBValue(got), Expected(picture, width, height, i, j, 0)) << i << "," << j;
                        ASSERT_EQ(GetGValue(got), Expected(picture, width, height, i, j, 1)) << i << "," << j;
                        ASSERT_EQ(GetRValue(got), Expected(picture, width, height, i, j, 2)) << i << "," << j;
                    }
            }
            SelectObject(dc.get(), previous);
        }
    }
}

TEST_F(ImagingTest, QualityStretchFallsBackToTheQuickStretchOnEightBits) {
    useDisplayDepth(8);
    auto image = load(file("s.bmp", BmpFile(Gradient(4, 4))));
    UniqueMemoryDC quick(CreateCompatibleDC(nullptr)), quality(CreateCompatibleDC(nullptr));
    UniqueBitmap first(CreateCompatibleBitmap(quick.get(), 9, 7)), second(CreateCompatibleBitmap(quality.get(), 9, 7));
    HGDIOBJ a = SelectObject(quick.get(), first.get());
    HGDIOBJ b = SelectObject(quality.get(), second.get());
    image->Stretch(quick.get(), 0, 0, 9, 7);
    QualityStretch(*image, quality.get(), second.get(), 9, 7);
    EXPECT_EQ(first->surface->bytes(), second->surface->bytes());
    SelectObject(quick.get(), a);
    SelectObject(quality.get(), b);
}

TEST_F(ImagingTest, AnOddWidthAt24BitsKeepsEveryRowInPlace) {
    useDisplayDepth(24);
    TruePicture flat{6, 6, std::vector<Rgb>(36, Rgb{10, 200, 30})};
    auto image = load(file("o.bmp", BmpFile(flat)));
    UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    UniqueBitmap target(CreateCompatibleBitmap(dc.get(), 11, 5));
    HGDIOBJ previous = SelectObject(dc.get(), target.get());
    const auto path = root_.path() / "saved.bmp";
    QualityStretch(*image, dc.get(), target.get(), 11, 5, path.string());
    // Truncation may take one unit off a flat colour; a row out of place would show far more.
    const auto near = [](COLORREF got, int r, int g, int b) {
        return std::abs(GetRValue(got) - r) <= 1 && std::abs(GetGValue(got) - g) <= 1 && std::abs(GetBValue(got) - b) <= 1;
    };
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 11; ++x) ASSERT_TRUE(near(GetPixel(dc.get(), x, y), 10, 200, 30)) << x << "," << y;
    // The saved file holds the same picture.
    auto saved = load(path.string());
    ASSERT_EQ(saved->GetWidth(), 11);
    const Rgb corner = rgbAt(*saved, 10, 4);
    EXPECT_TRUE(near(RGB(corner.r, corner.g, corner.b), 10, 200, 30));
    SelectObject(dc.get(), previous);
}

TEST_F(ImagingTest, TheVectorisedScalerMatchesTheFormulaBitForBit) {
    // Noise, odd sizes and both directions (wide and tall enough to take several blocks of columns
    // and bands of rows): every pixel against the formula computed plainly.
    TruePicture picture{37, 23, {}};
    std::uint32_t seed = 99;
    for (int i = 0; i < 37 * 23; ++i) {
        seed = seed * 1664525 + 1013904223;
        picture.pixels.push_back({std::uint8_t(seed >> 24), std::uint8_t(seed >> 16), std::uint8_t(seed >> 8)});
    }
    std::vector<BYTE> source(37 * 23 * 4);
    for (int i = 0; i < 37 * 23; ++i) {
        source[size_t(4 * i)] = picture.pixels[size_t(i)].b;
        source[size_t(4 * i + 1)] = picture.pixels[size_t(i)].g;
        source[size_t(4 * i + 2)] = picture.pixels[size_t(i)].r;
    }
    for (const ScalerPath path : AvailableScalerPaths())
    for (auto [width, height] : {std::pair{133, 91}, {111, 69}, {16, 9}, {37, 23}, {600, 13}, {300, 1}, {45, 300}}) {
        SCOPED_TRACE("path " + ScalerPathName(path));
        const OnScalerPath chosen(path);
        std::vector<BYTE> target(size_t(width) * size_t(height) * 4, 0xEE);
        MemoryRows rows(source.data(), 37, 23, 37 * 4);
        BilinearScale32(rows, target.data(), width, height, width * 4);
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(target[size_t((j * width + i) * 4 + c)], Expected(picture, width, height, i, j, c))
                        << width << "x" << height << " at " << i << "," << j << " channel " << c;
    }
}
