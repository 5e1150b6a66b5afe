#include "webp_image.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include <webp/decode.h>
#include <webp/demux.h>

#include "png_image.h"
#include "trace.h"
#include "unique_file.h"

namespace imaging {

using namespace platform;
namespace {

// A WebP's size says little of its pixels (a lossless picture of one colour takes a few hundred
// bytes at any size): the area cap is what bounds the work. The file itself is read whole.
constexpr long kMaxFileBytes = 64l << 20;

struct AnimDecoderFree {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
// The first frame of an animation: blue, green, red, alpha rows, top row first, on the canvas
// the decoder keeps.
struct Bgra {
    int width = 0, height = 0;
    const std::uint8_t* pixels = nullptr;
    std::unique_ptr<WebPAnimDecoder, AnimDecoderFree> animation;
};

// Decodes a still into rows of that colour space and stride at the memory given; flipped gives
// the bottom-up order of a DIB.
bool DecodeInto(const std::vector<std::uint8_t>& data, WEBP_CSP_MODE mode, BYTE* rows, int stride, int rowCount,
                bool flipped) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    config.options.flip = flipped ? 1 : 0;
    config.output.colorspace = mode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rows;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size = std::size_t(stride) * std::size_t(rowCount);
    const bool decoded = WebPDecode(data.data(), data.size(), &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&config.output);
    return decoded;
}

// One row of blue, green, red, alpha pixels composed onto the background as blue, green, red. The
// row may be composed onto itself: each pixel is read whole before its three bytes are written.
void ComposeRow(const BYTE* from, BYTE* to, int width, COLORREF background) {
    const int backdrop[3] = {int((background >> 16) & 0xFF), int((background >> 8) & 0xFF), int(background & 0xFF)};
    for (int x = 0; x < width; ++x, from += 4, to += 3) {
        const int pixel[4] = {from[0], from[1], from[2], from[3]};
        for (int c = 0; c < 3; ++c) to[c] = BYTE((pixel[c] * pixel[3] + backdrop[c] * (255 - pixel[3]) + 127) / 255);
    }
}

// Blue, green, red, alpha rows (top row first, 4 * width bytes each) composed onto the background
// into 24-bit DIB rows in the same memory: each row moves down to its DIB length (never past a row
// not yet read), then the rows are put bottom-up.
void ComposeInPlace(BYTE* rows, int width, int height, COLORREF background, size_t rowBytes) {
    for (int y = 0; y < height; ++y) {
        BYTE* to = rows + std::size_t(y) * rowBytes;
        ComposeRow(rows + std::size_t(y) * std::size_t(width) * 4, to, width, background);
        std::memset(to + std::size_t(width) * 3, 0, rowBytes - std::size_t(width) * 3);  // the row's padding
    }
    std::vector<BYTE> swap(rowBytes);
    for (std::size_t top = 0, bottom = std::size_t(height) - 1; top < bottom; ++top, --bottom) {
        std::memcpy(swap.data(), rows + top * rowBytes, rowBytes);
        std::memcpy(rows + top * rowBytes, rows + bottom * rowBytes, rowBytes);
        std::memcpy(rows + bottom * rowBytes, swap.data(), rowBytes);
    }
}

bool DecodeFirstFrame(const std::vector<std::uint8_t>& data, Bgra& out) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return false;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData webp{data.data(), data.size()};
    out.animation.reset(WebPAnimDecoderNew(&webp, &options));
    WebPAnimInfo info;
    if (!out.animation || !WebPAnimDecoderGetInfo(out.animation.get(), &info) ||
        !SizeAllowed(info.canvas_width, info.canvas_height))
        return false;
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(out.animation.get(), &frame, &timestamp)) return false;
    out.width = int(info.canvas_width);
    out.height = int(info.canvas_height);
    out.pixels = frame;
    return true;
}

}  // namespace

BOOL CWebpImageImpl::ReadFile(const std::string& name) {
    const std::string& path = UseName(name);
    platform::UniqueFile file = platform::OpenFile(path.c_str(), "rb");
    if (!file) return FALSE;
    const long bytes = platform::RemainingBytes(file.get());
    if (bytes <= 0 || bytes > kMaxFileBytes) return FALSE;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
    if (std::fread(data.data(), 1, data.size(), file.get()) != data.size()) return FALSE;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data.data(), data.size(), &features) != VP8_STATUS_OK ||
        !SizeAllowed(std::uint64_t(features.width), std::uint64_t(features.height))) {
        DebugTrace("WebP error: not a picture that can be shown: %s", path.c_str());
        return FALSE;
    }
    // A still is decoded straight into the picture's own memory: no second picture-sized buffer.
    if (!features.has_animation && !features.has_alpha) {
        if (!Create(features.width, features.height, 24, -1)) return FALSE;
        if (DecodeInto(data, MODE_BGR, bits, effWidth, height, /*flipped=*/true)) return TRUE;
        DebugTrace("WebP error: %s cannot be decoded", path.c_str());
        FreeDib();  // half a picture is none
        width = height = 0;
        return FALSE;
    }
    if (!features.has_animation) {
        // With transparency: decoded with its alpha into a block of four bytes a pixel, composed
        // there into three, and the block's end given back.
        const std::size_t fourByteRows = std::size_t(features.width) * 4;
        const std::size_t rowBytes = DibRowBytes(features.width, 24);
        DibBlock block = DibBlock::Uninitialised(sizeof(BITMAPINFOHEADER) + fourByteRows * std::size_t(features.height));
        BYTE* rows = block ? block.data() + sizeof(BITMAPINFOHEADER) : nullptr;
        if (!rows || !DecodeInto(data, MODE_BGRA, rows, int(fourByteRows), features.height, /*flipped=*/false)) {
            DebugTrace("WebP error: %s cannot be decoded", path.c_str());
            return FALSE;
        }
        ComposeInPlace(rows, features.width, features.height, options.background, rowBytes);
        block.Shrink(sizeof(BITMAPINFOHEADER) + rowBytes * std::size_t(features.height));
        AdoptTrueColourRows(std::move(block), features.width, features.height);
        return TRUE;
    }
    Bgra picture;
    if (!DecodeFirstFrame(data, picture)) {
        DebugTrace("WebP error: %s cannot be decoded", path.c_str());
        return FALSE;
    }
    if (!Create(picture.width, picture.height, 24, -1)) return FALSE;
    // Onto the background, into a bottom-up DIB.
    for (int y = 0; y < picture.height; ++y)
        ComposeRow(picture.pixels + std::size_t(y) * std::size_t(picture.width) * 4,
                   bits + std::size_t(picture.height - 1 - y) * std::size_t(effWidth), picture.width, options.background);
    return TRUE;
}

}  // namespace imaging
