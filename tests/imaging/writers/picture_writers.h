// Small writers of BMP, GIF and JPEG files for the imaging tests and fuzz seeds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace picture_writers {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Pixels are given top row first.
struct IndexedPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    std::vector<Rgb> colours;
};
struct TruePicture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
};

std::string BmpFile(const TruePicture& picture, bool topDown = false, bool withFileHeader = true);
std::string BmpFile(const IndexedPicture& picture, bool os2Core = false);
// A run-length BMP (8 bits: compression 1, 4 bits: compression 2) with the colours given and the
// runs as they stand.
std::string RunLengthBmpFile(int width, int height, int bitCount, const std::vector<Rgb>& colours,
                             const std::string& runs);

struct GifOptions {
    bool interlaced = false;
    int transparentIndex = -1;
    bool localTable = false;          // the colours as a local table, the global one all grey
    std::vector<IndexedPicture> extraFrames;  // an animation's later frames
};
// A GIF with a real LZW stream (the colour count is rounded up to a power of two).
std::string GifFile(const IndexedPicture& picture, const GifOptions& options = {});
// The LZW data sub-blocks of the pixels (initial code size byte included).
std::string LzwData(const std::vector<std::uint8_t>& pixels, int codeSize);

enum class JpegKind { Colour, Grey, Cmyk };
std::string JpegFile(const TruePicture& picture, JpegKind kind = JpegKind::Colour, int quality = 95);
// A picture too large to hold as pixels, made row by row from a function of the position.
std::string JpegFile(int width, int height, const std::function<Rgb(int x, int y)>& pixel,
                     JpegKind kind = JpegKind::Colour, int quality = 95);

// The JPEG with an Exif block (little-endian, as most cameras write it) giving its orientation.
std::string WithExifOrientation(std::string jpeg, int orientation);

// A PNG through libpng; with alphas (one per pixel, top row first) it has an alpha channel.
std::string PngFile(const TruePicture& picture, const std::vector<std::uint8_t>& alphas = {});
// A lossless WebP through libwebp's encoder; with alphas as for PngFile.
std::string WebpFile(const TruePicture& picture, const std::vector<std::uint8_t>& alphas = {});

void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace picture_writers
