#include "webp_image.h"

#include <cstdio>
#include <memory>
#include <vector>
#include <webp/decode.h>
#include <webp/demux.h>

#include "png_image.h"
#include "trace.h"
#include "unique_file.h"

namespace imaging {
namespace {

// A WebP's size says little of its pixels (a lossless picture of one colour takes a few hundred
// bytes at any size): the area cap is what bounds the work. The file itself is read whole.
constexpr long kMaxFileBytes = 64l << 20;

struct AnimDecoderFree {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct WebpFree {
    void operator()(std::uint8_t* pixels) const { WebPFree(pixels); }
};

// Blue, green, red, alpha rows, top row first, held by whichever decoder made them. Nothing is
// written to them before the decoder does: a file that claims a large picture and breaks off
// costs no more than the decoding it gets through.
struct Bgra {
    int width = 0, height = 0;
    const std::uint8_t* pixels = nullptr;
    std::unique_ptr<std::uint8_t, WebpFree> still;
    std::unique_ptr<WebPAnimDecoder, AnimDecoderFree> animation;
};

// An opaque still needs no composing: decoded in place into the DIB's bottom-up rows. That
// allocates the whole picture before decoding, so only for a file large enough to hold one (a
// photograph takes a byte for tens of pixels); a smaller one takes the way above.
constexpr std::uint64_t kInPlacePixelsPerByte = 1024;

bool DecodeInPlace(const std::vector<std::uint8_t>& data, BYTE* bits, int rowBytes, int height) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    config.options.flip = 1;
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bits;
    config.output.u.RGBA.stride = rowBytes;
    config.output.u.RGBA.size = std::size_t(rowBytes) * std::size_t(height);
    const bool decoded = WebPDecode(data.data(), data.size(), &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&config.output);
    return decoded;
}

bool DecodeStill(const std::vector<std::uint8_t>& data, Bgra& out) {
    out.still.reset(WebPDecodeBGRA(data.data(), data.size(), &out.width, &out.height));
    out.pixels = out.still.get();
    return out.pixels != nullptr;
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
    if (!features.has_animation && !features.has_alpha &&
        SizePlausible(std::uint64_t(features.width), std::uint64_t(features.height), std::uint64_t(bytes),
                      kInPlacePixelsPerByte)) {
        if (!Create(features.width, features.height, 24, -1)) return FALSE;
        if (DecodeInPlace(data, bits, effWidth, height)) return TRUE;
        DebugTrace("WebP error: %s cannot be decoded", path.c_str());
        FreeDib();  // half a picture is none
        width = height = 0;
        return FALSE;
    }
    Bgra picture;
    if (!(features.has_animation ? DecodeFirstFrame(data, picture) : DecodeStill(data, picture))) {
        DebugTrace("WebP error: %s cannot be decoded", path.c_str());
        return FALSE;
    }
    if (!Create(picture.width, picture.height, 24, -1)) return FALSE;
    // Onto the background, into a bottom-up DIB.
    const COLORREF color = PictureBackground();
    const int backdrop[3] = {int((color >> 16) & 0xFF), int((color >> 8) & 0xFF), int(color & 0xFF)};  // blue, green, red
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* from = picture.pixels + std::size_t(y) * std::size_t(picture.width) * 4;
        BYTE* to = bits + std::size_t(picture.height - 1 - y) * std::size_t(effWidth);
        for (int x = 0; x < picture.width; ++x, from += 4, to += 3) {
            const int alpha = from[3];
            for (int c = 0; c < 3; ++c) to[c] = BYTE((from[c] * alpha + backdrop[c] * (255 - alpha) + 127) / 255);
        }
    }
    return TRUE;
}

}  // namespace imaging
