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

// Blue, green, red, alpha rows, top row first.
struct Bgra {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

bool DecodeStill(const std::vector<std::uint8_t>& data, const WebPBitstreamFeatures& features, Bgra& out) {
    out.width = features.width;
    out.height = features.height;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height) * 4);
    return WebPDecodeBGRAInto(data.data(), data.size(), out.pixels.data(), out.pixels.size(), out.width * 4) != nullptr;
}

bool DecodeFirstFrame(const std::vector<std::uint8_t>& data, Bgra& out) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return false;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData webp{data.data(), data.size()};
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderFree> decoder(WebPAnimDecoderNew(&webp, &options));
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info) || !SizeAllowed(info.canvas_width, info.canvas_height))
        return false;
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp)) return false;
    out.width = int(info.canvas_width);
    out.height = int(info.canvas_height);
    out.pixels.assign(frame, frame + std::size_t(out.width) * std::size_t(out.height) * 4);
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
    Bgra picture;
    if (!(features.has_animation ? DecodeFirstFrame(data, picture) : DecodeStill(data, features, picture))) {
        DebugTrace("WebP error: %s cannot be decoded", path.c_str());
        return FALSE;
    }
    if (!Create(picture.width, picture.height, 24, -1)) return FALSE;
    // Onto the background, into a bottom-up DIB.
    const COLORREF color = PictureBackground();
    const int backdrop[3] = {int((color >> 16) & 0xFF), int((color >> 8) & 0xFF), int(color & 0xFF)};  // blue, green, red
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* from = picture.pixels.data() + std::size_t(y) * std::size_t(picture.width) * 4;
        BYTE* to = bits + std::size_t(picture.height - 1 - y) * std::size_t(effWidth);
        for (int x = 0; x < picture.width; ++x, from += 4, to += 3) {
            const int alpha = from[3];
            for (int c = 0; c < 3; ++c) to[c] = BYTE((from[c] * alpha + backdrop[c] * (255 - alpha) + 127) / 255);
        }
    }
    return TRUE;
}

}  // namespace imaging
