#include <gtest/gtest.h>

#include <cstring>
#include <sys/shm.h>

#include "dib.h"
#include "gdi.h"
#include "headless_display.h"
#include "surface.h"
#include "text.h"
#include "windows.h"

using namespace platform;

namespace {

// A memory context with a bitmap of the display's format on a headless display of some depth.
class Canvas {
public:
    Canvas(int depth, int width = 16, int height = 8) {
        SetDisplay(std::make_unique<HeadlessDisplay>(640, 480, depth));
        SystemPalette::instance().reset();
        dc_.reset(CreateCompatibleDC(nullptr));
        bitmap_.reset(CreateCompatibleBitmap(dc_.get(), width, height));
        previous_ = SelectObject(dc_.get(), bitmap_.get());
    }
    ~Canvas() {
        SelectObject(dc_.get(), previous_);
        dc_.reset();
        bitmap_.reset();
        SetDisplay(nullptr);
    }
    HDC dc() const { return dc_.get(); }
    HBITMAP bitmap() const { return bitmap_.get(); }
    std::uint32_t rgb(int x, int y) const { return bitmap_->surface->pixel(x, y); }

private:
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
};

// A bottom-up 8-bit DIB whose colour table holds palette indices 0..n-1.
struct IndexedDib {
    std::vector<BYTE> block;
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(block.data()); }
    BYTE* bits() { return block.data() + 40 + 256 * 4; }

    IndexedDib(int width, int height, const std::vector<BYTE>& topDownPixels) {
        const int stride = DibRowBytes(width, 8);
        block.assign(40 + 256 * 4 + size_t(stride * height), 0);
        BITMAPINFOHEADER header;
        header.biWidth = width;
        header.biHeight = height;
        header.biBitCount = 8;
        header.biClrUsed = 256;
        std::memcpy(block.data(), &header, 40);
        for (WORD i = 0; i < 256; ++i) std::memcpy(block.data() + 40 + 2 * i, &i, 2);
        for (int y = 0; y < height; ++y)
            std::memcpy(bits() + (height - 1 - y) * stride, topDownPixels.data() + y * width, size_t(width));
    }
};

HPALETTE MakePalette(std::vector<PALETTEENTRY> colours) {
    LOGPALETTE logical;
    logical.palNumEntries = WORD(colours.size());
    logical.palPalEntry = std::move(colours);
    return CreatePalette(&logical);
}

}  // namespace

TEST(GdiTest, ColoursSurviveEveryDisplayDepth) {
    for (int depth : {8, 16, 24, 32}) {
        Canvas canvas(depth);
        UniqueBrush brush(CreateSolidBrush(RGB(255, 0, 0)));
        RECT area{2, 1, 5, 3};
        FillRect(canvas.dc(), &area, brush.get());
        EXPECT_EQ(canvas.rgb(2, 1), 0xFF0000u) << depth;
        EXPECT_EQ(canvas.rgb(4, 2), 0xFF0000u) << depth;
        EXPECT_EQ(canvas.rgb(5, 2), 0x000000u) << depth;
        EXPECT_EQ(canvas.bitmap()->surface->stride(), DeviceRowBytes(16, depth));
    }
    // 16 bits keep 5-6-5 precision; 8 bits the nearest system colour.
    Canvas sixteen(16);
    SetPixel(sixteen.dc(), 0, 0, RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(GetPixel(sixteen.dc(), 0, 0), RGB(0x10, 0x34, 0x52));
    Canvas eight(8);
    SetPixel(eight.dc(), 0, 0, RGB(250, 250, 235));
    EXPECT_EQ(GetPixel(eight.dc(), 0, 0), RGB(255, 251, 240));
}

// A window's pixels the X server reads itself: a copy is the process's own memory, and the
// segment goes with its surface (an abandoned one would outlive the program).
TEST(GdiTest, PixelsSharedWithTheDisplayServerAreCopiedIntoPrivateMemoryAndNeverLeft) {
    auto shared = std::make_unique<Surface>(64, 32, 32, PixelBytes::Sharing::WithDisplayServer);
    const int segment = shared->bytes().segment();
    if (segment < 0) GTEST_SKIP() << "this system gives no shared-memory segments";
    shmid_ds status{};
    ASSERT_EQ(shmctl(segment, IPC_STAT, &status), 0);
    EXPECT_EQ(status.shm_nattch, 1u);
    shared->setValue(3, 4, 0x123456);

    Surface copy = *shared;
    EXPECT_EQ(copy.bytes().segment(), -1);
    EXPECT_EQ(copy.bytes(), shared->bytes());
    copy.setValue(3, 4, 0x654321);
    EXPECT_EQ(shared->value(3, 4), 0x123456u);
    copy = *shared;
    EXPECT_EQ(copy.value(3, 4), 0x123456u);

    shared->resize(64, 32);  // the same size keeps the memory the server has attached
    EXPECT_EQ(shared->bytes().segment(), segment);
    shared->resize(65, 32);
    EXPECT_GE(shared->bytes().segment(), 0);
    EXPECT_NE(shared->bytes().segment(), segment);
    EXPECT_NE(shmctl(segment, IPC_STAT, &status), 0) << "the first segment outlived its surface";

    const int second = shared->bytes().segment();
    Surface moved = std::move(*shared);
    shared.reset();
    EXPECT_EQ(moved.bytes().segment(), second);
    EXPECT_EQ(shmctl(second, IPC_STAT, &status), 0);
}

TEST(GdiTest, BitmapBitsUseTheDeviceRowLayout) {
    Canvas canvas(24, 3, 2);
    // 24 bits: rows of ((3 * 3 + 1) / 2) * 2 = 10 bytes, top row first, blue-green-red.
    const std::vector<BYTE> bits{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0};
    EXPECT_EQ(SetBitmapBits(canvas.bitmap(), DWORD(bits.size()), bits.data()), 20);
    EXPECT_EQ(canvas.rgb(0, 0), 0x030201u);
    EXPECT_EQ(canvas.rgb(2, 1), 0x131211u);
    std::vector<BYTE> back(20);
    EXPECT_EQ(GetBitmapBits(canvas.bitmap(), 20, back.data()), 20);
    EXPECT_EQ(back, bits);
}

TEST(GdiTest, DibsStretchAndMaskThroughTheSelectedPalette) {
    for (int depth : {8, 32}) {
        Canvas canvas(depth, 8, 4);
        UniquePalette palette(MakePalette({{0, 0, 0, 0}, {255, 255, 255, 0}, {200, 0, 0, 0}, {0, 0, 200, 0}}));
        SelectPalette(canvas.dc(), palette.get(), FALSE);
        RealizePalette(canvas.dc());
        IndexedDib dib(4, 2, {2, 2, 3, 3, 3, 3, 2, 2});
        // Doubled: every source pixel covers 2 x 2 target pixels; the top source row on top.
        EXPECT_EQ(StretchDIBits(canvas.dc(), 0, 0, 8, 4, 0, 0, 4, 2, dib.bits(), dib.info(), DIB_PAL_COLORS, SRCCOPY), 4);
        EXPECT_EQ(canvas.rgb(0, 0), 0xC80000u) << depth;
        EXPECT_EQ(canvas.rgb(7, 1), 0x0000C8u) << depth;
        EXPECT_EQ(canvas.rgb(0, 3), 0x0000C8u) << depth;
        EXPECT_EQ(canvas.rgb(6, 2), 0xC80000u) << depth;

        // The two-pass mask: white-and-black with SRCAND, then the picture with SRCPAINT.
        UniqueBrush green(CreateSolidBrush(RGB(0, 255, 0)));
        RECT all{0, 0, 8, 4};
        FillRect(canvas.dc(), &all, green.get());
        IndexedDib mask(4, 2, {1, 1, 0, 0, 0, 0, 1, 1});   // white where "transparent"
        IndexedDib paint(4, 2, {0, 0, 3, 3, 3, 3, 0, 0});  // black where "transparent"
        StretchDIBits(canvas.dc(), 0, 0, 8, 4, 0, 0, 4, 2, mask.bits(), mask.info(), DIB_PAL_COLORS, SRCAND);
        StretchDIBits(canvas.dc(), 0, 0, 8, 4, 0, 0, 4, 2, paint.bits(), paint.info(), DIB_PAL_COLORS, SRCPAINT);
        EXPECT_EQ(canvas.rgb(0, 0), 0x00FF00u) << depth;  // the background shows through
        EXPECT_EQ(canvas.rgb(7, 1), 0x0000C8u) << depth;
        EXPECT_EQ(canvas.rgb(2, 3), 0x0000C8u) << depth;
        EXPECT_EQ(canvas.rgb(7, 3), 0x00FF00u) << depth;
    }
}

TEST(GdiTest, GetDIBitsReportsTheDisplayFormatAndItsMasks) {
    Canvas canvas(16, 2, 2);
    std::vector<BYTE> block(40 + 12);
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    info->bmiHeader.biSize = 40;
    info->bmiHeader.biBitCount = 0;
    ASSERT_TRUE(GetDIBits(canvas.dc(), canvas.bitmap(), 0, 1, nullptr, info, DIB_RGB_COLORS));
    EXPECT_EQ(info->bmiHeader.biBitCount, 16);
    EXPECT_EQ(info->bmiHeader.biCompression, BI_BITFIELDS);
    ASSERT_TRUE(GetDIBits(canvas.dc(), canvas.bitmap(), 0, 1, nullptr, info, DIB_RGB_COLORS));
    DWORD masks[3];
    std::memcpy(masks, block.data() + 40, 12);
    EXPECT_EQ(masks[0], 0xF800u);
    EXPECT_EQ(masks[1], 0x07E0u);
    EXPECT_EQ(masks[2], 0x001Fu);

    // Read back as 24 bits, bottom row first.
    SetPixel(canvas.dc(), 0, 1, RGB(255, 0, 0));
    BITMAPINFO read{};
    read.bmiHeader.biWidth = 2;
    read.bmiHeader.biHeight = 2;
    read.bmiHeader.biBitCount = 24;
    std::vector<BYTE> bits(16);
    EXPECT_EQ(GetDIBits(canvas.dc(), canvas.bitmap(), 0, 2, bits.data(), &read, DIB_RGB_COLORS), 2);
    EXPECT_EQ(bits[2], 255);  // the red of pixel (0, 1) in the first stored row
    EXPECT_EQ(bits[8 + 2], 0);
}

TEST(GdiTest, BitBltCopiesAndCombinesBetweenContexts) {
    Canvas from(32, 4, 4);
    Canvas* fromPtr = &from;
    UniqueBrush blue(CreateSolidBrush(RGB(0, 0, 255)));
    RECT square{1, 1, 3, 3};
    FillRect(fromPtr->dc(), &square, blue.get());
    UniqueBitmap target(CreateCompatibleBitmap(from.dc(), 4, 4));
    UniqueMemoryDC targetDc(CreateCompatibleDC(nullptr));
    HGDIOBJ old = SelectObject(targetDc.get(), target.get());
    PatBlt(targetDc.get(), 0, 0, 4, 4, WHITENESS);
    EXPECT_TRUE(BitBlt(targetDc.get(), 2, 2, 4, 4, from.dc(), 1, 1, SRCAND));
    EXPECT_EQ(GetPixel(targetDc.get(), 2, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(targetDc.get(), 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(targetDc.get(), 3, 3), RGB(0, 0, 255));
    SelectObject(targetDc.get(), old);
}

TEST(GdiTest, TextIsMeasuredAndDrawnCentredInItsColours) {
    Canvas canvas(32, 200, 40);
    LOGFONT logFont;
    logFont.lfHeight = -24;
    std::strcpy(logFont.lfFaceName, "Arial");
    HFONT font = CreateFontIndirect(&logFont);
    ASSERT_FALSE(font->file().empty()) << "no font found through fontconfig";
    HGDIOBJ oldFont = SelectObject(canvas.dc(), font);
    TEXTMETRIC metrics;
    ASSERT_TRUE(GetTextMetrics(canvas.dc(), &metrics));
    EXPECT_GE(metrics.tmHeight, 24);
    EXPECT_LE(metrics.tmHeight, 32);
    EXPECT_GT(metrics.tmAveCharWidth, 5);
    SIZE extent;
    GetTextExtentPoint32(canvas.dc(), "WWWW", 4, &extent);
    SIZE narrow;
    GetTextExtentPoint32(canvas.dc(), "iiii", 4, &narrow);
    EXPECT_GT(extent.cx, narrow.cx);

    SetTextColor(canvas.dc(), RGB(255, 255, 0));
    SetBkColor(canvas.dc(), RGB(255, 0, 0));
    SetBkMode(canvas.dc(), OPAQUE);
    SetTextAlign(canvas.dc(), TA_CENTER | TA_UPDATECP);
    MoveToEx(canvas.dc(), 100, 5, nullptr);
    ASSERT_TRUE(TextOut(canvas.dc(), 0, 0, "HH", 2));
    GetTextExtentPoint32(canvas.dc(), "HH", 2, &extent);
    // The opaque cell is centred on x = 100; inside it yellow strokes on red.
    const int left = 100 - extent.cx / 2;
    EXPECT_EQ(canvas.rgb(left, 5), 0xFF0000u);
    EXPECT_EQ(canvas.rgb(left + extent.cx - 1, 5 + metrics.tmHeight - 1), 0xFF0000u);
    EXPECT_EQ(canvas.rgb(left - 1, 5), 0x000000u);
    EXPECT_EQ(canvas.rgb(left + extent.cx, 5), 0x000000u);
    int yellow = 0;
    for (int x = left; x < left + extent.cx; ++x)
        for (int y = 5; y < 5 + metrics.tmHeight; ++y) yellow += canvas.rgb(x, y) == 0xFFFF00u;
    EXPECT_GT(yellow, 20);
    POINT position;
    MoveToEx(canvas.dc(), 0, 0, &position);
    EXPECT_EQ(position.x, 100);  // centred output leaves the current position where it was
    SelectObject(canvas.dc(), oldFont);
    DeleteObject(font);
}
