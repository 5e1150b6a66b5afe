#include "jpeg_image.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include "picture_orientation.h"
#include "trace.h"
#include "unique_file.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace imaging {

using namespace platform;
namespace {

// The library's errors jump back to the read call; the message is formatted and kept quiet.
struct ErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    DebugTrace("JPEG error: %s", errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings (a truncated file, stray bytes) keep the library's handling but say nothing, unless
// debug traces are on.
void QuietMessage(j_common_ptr info) {
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    DebugTrace("JPEG: %s", message);
}

int DisplayDepth() {
    HDC display = CreateDC("DISPLAY", nullptr, nullptr, nullptr);
    const int depth = GetDeviceCaps(display, PLANES) * GetDeviceCaps(display, BITSPIXEL);
    DeleteDC(display);
    return depth;
}

bool EndsWithPix(const std::string& name) {
    if (name.size() < 3) return false;
    std::string last = name.substr(name.size() - 3);
    for (char& c : last) c = char(std::toupper(static_cast<unsigned char>(c)));
    return last == "PIX";
}

// Turns a row of CMYK (Adobe's inverted form when the Adobe marker says so) into blue, green, red.
void CmykToBgr(const JSAMPLE* cmyk, BYTE* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x) {
        int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[3 * x] = BYTE((y * k + 127) / 255);
        bgr[3 * x + 1] = BYTE((m * k + 127) / 255);
        bgr[3 * x + 2] = BYTE((c * k + 127) / 255);
    }
}

// Bounded work for hostile files: no picture beyond the size limit, no more than this much memory.
constexpr long kDecoderMemoryLimit = 512L * 1024 * 1024;

// Huffman coding spends at least one bit on every 8x8 block of the first component, so a file
// of n bytes holds at most 512 n pixels (arithmetic coding can hold more).
constexpr std::uint64_t kHuffmanPixelsPerByte = 64 * 8;

bool AcceptableSize(const jpeg_decompress_struct& decoder, long fileBytesLeft) {
    const std::uint64_t width = decoder.image_width, height = decoder.image_height;
    if (width == 0 || height == 0 || width > std::uint64_t(kMaxImageSide) || height > std::uint64_t(kMaxImageSide))
        return false;
    if (decoder.arith_code || fileBytesLeft < 0) return true;
    // The bytes the library's source buffer already holds belong to the file as well.
    const std::uint64_t bytes = std::uint64_t(fileBytesLeft) + decoder.src->bytes_in_buffer;
    return SizePlausible(width, height, bytes, kHuffmanPixelsPerByte);
}

}  // namespace

BOOL CJpegImageImpl::ReadFile(const std::string& name) {
    const std::string& path = UseName(name);
    platform::UniqueFile file = platform::OpenFile(path.c_str(), "rb");
    if (!file) return FALSE;
    if (EndsWithPix(path)) {
        BYTE skipped[21];
        if (std::fread(skipped, 1, sizeof skipped, file.get()) != sizeof skipped) return FALSE;
    }
    jpeg_decompress_struct decoder{};
    ErrorManager errors{};
    decoder.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = ErrorExit;
    errors.standard.output_message = QuietMessage;
    // Everything that must survive the jump lives outside the frame setjmp returns into.
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&decoder);
        return FALSE;  // a partial picture keeps the rows decoded so far
    }
    jpeg_create_decompress(&decoder);
    decoder.mem->max_memory_to_use = kDecoderMemoryLimit;
    jpeg_stdio_src(&decoder, file.get());
    jpeg_save_markers(&decoder, JPEG_APP0 + 1, 0xFFFF);  // the Exif block says which way is up
    jpeg_read_header(&decoder, TRUE);
    if (!AcceptableSize(decoder, platform::RemainingBytes(file.get()))) {
        jpeg_destroy_decompress(&decoder);
        return FALSE;
    }

    const int displayDepth = DisplayDepth();
    const bool grey = decoder.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = decoder.jpeg_color_space == JCS_CMYK || decoder.jpeg_color_space == JCS_YCCK;
    const bool quantise = !grey && !cmyk && displayDepth < 9;
    if (grey) {
        decoder.out_color_space = JCS_GRAYSCALE;
    } else if (cmyk) {
        decoder.out_color_space = JCS_CMYK;  // turned into blue, green, red below
    } else if (quantise) {
        decoder.out_color_space = JCS_RGB;
        decoder.quantize_colors = TRUE;
        decoder.desired_number_of_colors = 128;
    } else {
        decoder.out_color_space = JCS_EXT_BGR;  // rows copy straight into DIB rows
    }
    // A picture beyond the area limit is read at the first of 1/2, 1/4, 1/8 that fits.
    jpeg_calc_output_dimensions(&decoder);
    while (!SizeAllowed(decoder.output_width, decoder.output_height) && decoder.scale_denom < 8) {
        decoder.scale_denom *= 2;
        jpeg_calc_output_dimensions(&decoder);
    }
    if (!SizeAllowed(decoder.output_width, decoder.output_height)) {
        jpeg_destroy_decompress(&decoder);
        return FALSE;
    }
    jpeg_start_decompress(&decoder);

    const int pixelBytes = grey || quantise ? 1 : 3;
    if (!Create(int(decoder.output_width), int(decoder.output_height), pixelBytes * 8, -1)) {
        jpeg_destroy_decompress(&decoder);
        return FALSE;
    }
    // Rows of the library's blue-green-red (or index) samples go straight into the DIB rows,
    // top line first; CMYK rows pass through one library row to be converted.
    JSAMPARRAY cmykRow = cmyk ? (*decoder.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&decoder), JPOOL_IMAGE,
                                                            decoder.output_width * 4, 1)
                              : nullptr;
    const bool adobeInverted = decoder.saw_Adobe_marker;
    for (int target = height - 1; decoder.output_scanline < decoder.output_height; --target) {
        BYTE* out = bits + size_t(std::max(target, 0)) * size_t(effWidth);
        if (cmyk) {
            jpeg_read_scanlines(&decoder, cmykRow, 1);
            CmykToBgr(cmykRow[0], out, decoder.output_width, adobeInverted);
        } else {
            JSAMPROW row = out;
            jpeg_read_scanlines(&decoder, &row, 1);
        }
    }
    int orientation = 1;
    for (jpeg_saved_marker_ptr marker = decoder.marker_list; marker && orientation == 1; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 1) orientation = ExifOrientation(marker->data, marker->data_length);
    ApplyOrientation(*this, orientation);
    // The palette after the pixels are in place: turning the picture makes its store anew.
    if (grey) {
        SetGrayPalette(256);
    } else if (quantise) {
        const int count = decoder.actual_number_of_colors;
        SetPalette(count, decoder.colormap[0], decoder.colormap[1], decoder.colormap[2]);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    return TRUE;
}

}  // namespace imaging
