#include "png_image.h"

#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <png.h>
#include <vector>

#include "trace.h"
#include "unique_file.h"

namespace imaging {

using namespace platform;
namespace {

// Deflate turns a byte into at most 1032 bytes, and a pixel takes at least an eighth of a byte
// (one bit of grey): a file of n bytes holds at most 8256 n pixels.
constexpr std::uint64_t kDeflatePixelsPerByte = 1032 * 8;

// No chunk the reader keeps comes near this (a palette is 768 bytes, transparency 256); a chunk
// that claims more ends the reading before anything is allocated for it.
constexpr png_alloc_size_t kLargestChunk = 1u << 20;

// Ancillary chunks the saver does not use: skipped as they are read, never stored (a text chunk
// claiming gigabytes once cost that much). Without gAMA, sRGB, iCCP and cHRM the library does no
// gamma processing: transparency is composed in the picture's own values, as browsers show it.
constexpr png_byte kSkippedChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0"
                                      "sPLT\0sRGB\0sTER\0tEXt\0tIME\0zTXt";
constexpr int kSkippedChunkCount = int(sizeof kSkippedChunks / 5);

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    DebugTrace("PNG error: %s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp message) { DebugTrace("PNG warning: %s", message); }

// The library's reading state, freed on every way out. It lives outside the function that calls
// setjmp, so nothing that function changes is lost when the library jumps back.
struct Reading {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    Reading() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
        if (png) info = png_create_info_struct(png);
    }
    ~Reading() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Reads the header and asks for blue, green, red rows of 8 bits, every kind of transparency
// composed onto the background. False for a picture that is not read.
bool ReadHeader(Reading& reading, std::FILE* file, long bytes, COLORREF background) {
    png_structp png = reading.png;
    png_infop info = reading.info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kLargestChunk);
    png_set_chunk_cache_max(png, 16);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (!SizeAllowed(width, height) ||
        (bytes >= 0 && !SizePlausible(width, height, std::uint64_t(bytes), kDeflatePixelsPerByte)))
        return false;
    const int colourType = png_get_color_type(png, info);
    const bool transparent = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);  // palettes and small greys to 8 bits a channel, transparency to alpha
    png_set_scale_16(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    if (transparent) {
        png_color_16 backdrop{};
        backdrop.red = png_uint_16(background & 0xFF);
        backdrop.green = png_uint_16((background >> 8) & 0xFF);
        backdrop.blue = png_uint_16((background >> 16) & 0xFF);
        png_set_background(png, &backdrop, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == png_size_t(width) * 3;
}

// Reads every row (every pass of an interlaced picture) into the rows given.
bool ReadRows(Reading& reading) {
    if (setjmp(png_jmpbuf(reading.png))) return false;
    png_read_image(reading.png, reading.rows.data());
    return true;
}

}  // namespace

BOOL CPngImageImpl::ReadFile(const std::string& name) {
    const std::string& path = UseName(name);
    platform::UniqueFile file = platform::OpenFile(path.c_str(), "rb");
    if (!file) return FALSE;
    Reading reading;
    if (!reading.info) return FALSE;
    const COLORREF background = options.background;
    if (!ReadHeader(reading, file.get(), platform::RemainingBytes(file.get()), background)) return FALSE;
    const png_uint_32 pictureWidth = png_get_image_width(reading.png, reading.info);
    const png_uint_32 pictureHeight = png_get_image_height(reading.png, reading.info);
    if (!Create(int(pictureWidth), int(pictureHeight), 24, -1)) return FALSE;
    // The picture's rows straight into the DIB's bottom-up ones, each first in the background
    // colour, so rows a broken file never reaches show the background, as for other pictures.
    const BYTE backdrop[3] = {BYTE((background >> 16) & 0xFF), BYTE((background >> 8) & 0xFF), BYTE(background & 0xFF)};
    BYTE* const lastRow = bits + size_t(pictureHeight - 1) * size_t(effWidth);
    for (png_uint_32 x = 0; x < pictureWidth; ++x) std::memcpy(lastRow + 3 * x, backdrop, 3);
    reading.rows.resize(pictureHeight);
    for (png_uint_32 y = 0; y < pictureHeight; ++y) {
        reading.rows[y] = bits + size_t(pictureHeight - 1 - y) * size_t(effWidth);
        if (y > 0) std::memcpy(reading.rows[y], lastRow, size_t(pictureWidth) * 3);
    }
    return ReadRows(reading) ? TRUE : FALSE;  // a picture broken part-way keeps the rows read so far
}

}  // namespace imaging
