#include "png_image.h"

#include <atomic>
#include <cstdio>
#include <png.h>

#include "trace.h"
#include "unique_file.h"

namespace imaging {
namespace {

std::atomic<COLORREF> gBackground{0};

// Deflate turns a byte into at most 1032 bytes, and a pixel takes at least an eighth of a byte
// (one bit of grey): a file of n bytes holds at most 8256 n pixels.
constexpr std::uint64_t kDeflatePixelsPerByte = 1032 * 8;

// Frees the library's reading state on every way out.
struct ImageReading {
    png_image image{};
    ImageReading() { image.version = PNG_IMAGE_VERSION; }
    ~ImageReading() { png_image_free(&image); }
};

}  // namespace

void SetPictureBackground(COLORREF color) { gBackground = color; }
COLORREF PictureBackground() { return gBackground; }

BOOL CPngImageImpl::ReadFile(const std::string& name) {
    const std::string& path = UseName(name);
    platform::UniqueFile file = platform::OpenFile(path.c_str(), "rb");
    if (!file) return FALSE;
    const long bytes = platform::RemainingBytes(file.get());
    ImageReading reading;
    png_image& image = reading.image;
    if (!png_image_begin_read_from_stdio(&image, file.get())) {
        DebugTrace("PNG error: %s", image.message);
        return FALSE;
    }
    if (!SizeAllowed(image.width, image.height) ||
        (bytes >= 0 && !SizePlausible(image.width, image.height, std::uint64_t(bytes), kDeflatePixelsPerByte)))
        return FALSE;
    // Blue, green, red rows as a DIB holds them; without an alpha channel in the format asked
    // for, the library composes transparency onto the background given.
    image.format = PNG_FORMAT_BGR;
    if (!Create(int(image.width), int(image.height), 24, -1)) return FALSE;
    const COLORREF color = PictureBackground();
    png_color background{BYTE(color & 0xFF), BYTE((color >> 8) & 0xFF), BYTE((color >> 16) & 0xFF)};
    // A negative stride: the buffer's first row is the picture's last, as in a bottom-up DIB.
    if (!png_image_finish_read(&image, &background, bits, -png_int_32(effWidth), nullptr)) {
        DebugTrace("PNG error: %s", image.message);
        return FALSE;  // a picture broken part-way keeps the rows read so far
    }
    return TRUE;
}

}  // namespace imaging
