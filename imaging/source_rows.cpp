#include "source_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "device_pixels.h"
#include "dib.h"
#include "image_impl.h"

namespace imaging {

using namespace platform;

DeviceRows::DeviceRows(const CImageFile& image)
    : SourceRows(image.GetWidth(), image.GetHeight()), image_(image) {
    const CImageImpl* impl = image.GetImpl();
    if (!impl || !impl->dib || !impl->bits || width() <= 0 || height() <= 0) return;
    dc_.reset(CreateCompatibleDC(nullptr));
    HDC screen = GetDC(nullptr);
    format_.reset(CreateCompatibleBitmap(screen, 1, 1));
    ReleaseDC(nullptr, screen);
    if (!dc_ || !format_) return;
    replaced_ = SelectObject(dc_.get(), format_.get());
    if (impl->palette) {
        SelectPalette(dc_.get(), impl->palette.get(), FALSE);
        RealizePalette(dc_.get());
    }
    // The header with its masks and colour table, describing a single row.
    const BITMAPINFOHEADER& header = impl->dib->bmiHeader;
    const std::size_t table = (header.biCompression == BI_BITFIELDS ? 12 : 0) + 4 * std::size_t(DibColourCount(header));
    oneRowInfo_.assign(reinterpret_cast<const BYTE*>(impl->dib), reinterpret_cast<const BYTE*>(impl->dib) + 40 + table);
    auto* oneRow = reinterpret_cast<BITMAPINFOHEADER*>(oneRowInfo_.data());
    oneRow->biHeight = 1;
    oneRow->biSizeImage = DWORD(impl->effWidth);
    // The pictures the readers make most, plain 24-bit rows, are turned into the display's format
    // here directly; every other layout goes through the platform's own conversion.
    const int displayDepth = format_->surface->depth();
    plainTrueColour_ = header.biBitCount == 24 && header.biCompression == BI_RGB &&
                       (displayDepth == 16 || displayDepth == 24 || displayDepth == 32);
    valid_ = true;
}

namespace {

#if defined(__x86_64__)
// Whether the processor shuffles bytes (SSSE3), which the row conversions below use.
bool ShufflesBytes() {
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    return shuffles;
}

// Four pixels from the sixteen bytes read at pixel x (twelve of them used), as 32-bit words:
// blue, green, red, 0 in memory order.
__attribute__((target("ssse3"), always_inline)) inline __m128i FourPixels(const BYTE* bgr, int x) {
    const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + std::size_t(x) * 3)), widen);
}

// Both convert four pixels at a time while sixteen bytes can be read, and return how many
// pixels they did.
__attribute__((target("ssse3"))) int WidenBgrShuffled(const BYTE* bgr, BYTE* out, int width) {
    int x = 0;
    for (; x + 6 <= width; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + std::size_t(x) * 4), FourPixels(bgr, x));
    return x;
}

__attribute__((target("ssse3"))) int PackBgr565Shuffled(const BYTE* bgr, BYTE* out, int width) {
    const __m128i lowHalves = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    int x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i pixels = FourPixels(bgr, x);
        const __m128i red = _mm_and_si128(_mm_srli_epi32(pixels, 8), _mm_set1_epi32(0xF800));
        const __m128i green = _mm_and_si128(_mm_srli_epi32(pixels, 5), _mm_set1_epi32(0x07E0));
        const __m128i blue = _mm_and_si128(_mm_srli_epi32(pixels, 3), _mm_set1_epi32(0x001F));
        const __m128i words = _mm_shuffle_epi8(_mm_or_si128(_mm_or_si128(red, green), blue), lowHalves);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + std::size_t(x) * 2), words);
    }
    return x;
}
#endif

// Three-byte pixels (blue, green, red) into four-byte ones with a zero spare byte.
void WidenBgrRow(const BYTE* bgr, BYTE* out, int width) {
    int x = 0;
#if defined(__x86_64__)
    if (ShufflesBytes()) x = WidenBgrShuffled(bgr, out, width);
#endif
    for (; x < width; ++x) {
        const std::uint32_t pixel =
            std::uint32_t(bgr[3 * x]) | (std::uint32_t(bgr[3 * x + 1]) << 8) | (std::uint32_t(bgr[3 * x + 2]) << 16);
        std::memcpy(out + std::size_t(x) * 4, &pixel, 4);
    }
}

// Three-byte pixels into 5-6-5 words.
void PackBgr565Row(const BYTE* bgr, BYTE* out, int width) {
    int x = 0;
#if defined(__x86_64__)
    if (ShufflesBytes()) x = PackBgr565Shuffled(bgr, out, width);
#endif
    for (; x < width; ++x) {
        const std::uint32_t value = Word565(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
        out[2 * x] = BYTE(value);
        out[2 * x + 1] = BYTE(value >> 8);
    }
}

void ConvertTrueColourRow(const BYTE* bgr, BYTE* out, int width, int displayDepth) {
    switch (displayDepth) {
    case 32: WidenBgrRow(bgr, out, width); break;
    case 24: std::memcpy(out, bgr, std::size_t(width) * 3); break;
    default: PackBgr565Row(bgr, out, width); break;
    }
}

}  // namespace

DeviceRows::~DeviceRows() {
    if (dc_ && replaced_) SelectObject(dc_.get(), replaced_);
}

const BYTE* DeviceRows::row(int y) {
    y = std::clamp(y, 0, height() - 1);
    const auto [slot, kept] = slots_.slotFor(y);
    UniqueBitmap& bitmap = rows_[slot];
    if (kept) return bitmap->surface->row(0);
    if (!bitmap) bitmap.reset(CreateCompatibleBitmap(dc_.get(), width(), 1));
    const CImageImpl* impl = image_.GetImpl();
    const bool bottomUp = impl->dib->bmiHeader.biHeight > 0;
    const BYTE* bits = impl->bits + std::size_t(bottomUp ? height() - 1 - y : y) * std::size_t(impl->effWidth);
    if (plainTrueColour_)
        ConvertTrueColourRow(bits, bitmap->surface->row(0), width(), bitmap->surface->depth());
    else
        SetDIBits(dc_.get(), bitmap.get(), 0, 1, bits, reinterpret_cast<const BITMAPINFO*>(oneRowInfo_.data()),
                  DIB_RGB_COLORS);
    return bitmap->surface->row(0);
}

}  // namespace imaging
