#include "picture_writers.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>

namespace picture_writers {
namespace {

void Put16(std::string& out, unsigned value) {
    out.push_back(char(value & 0xFF));
    out.push_back(char((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put32Into(std::string& out, size_t at, std::uint32_t value) {
    std::string bytes;
    Put32(bytes, value);
    out.replace(at, 4, bytes);
}

std::string FileHeader(std::uint32_t fileSize, std::uint32_t bitsOffset) {
    std::string out = "BM";
    Put32(out, fileSize);
    Put32(out, 0);
    Put32(out, bitsOffset);
    return out;
}

std::string InfoHeader(int width, int height, int bitCount, std::uint32_t colours) {
    std::string out;
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    Put16(out, 1);
    Put16(out, unsigned(bitCount));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, colours);
    Put32(out, 0);
    return out;
}

// Bits, padded to 32-bit rows, bottom row first unless top-down.
template <typename Row>
std::string Rows(int height, int rowBytes, bool topDown, Row row) {
    std::string out;
    const int padded = (rowBytes + 3) / 4 * 4;
    for (int i = 0; i < height; ++i) {
        std::string line = row(topDown ? i : height - 1 - i);
        line.resize(size_t(padded), '\0');
        out += line;
    }
    return out;
}

class BitWriter {
public:
    void put(int code, int size) {
        buffer_ |= std::uint32_t(code) << held_;
        held_ += size;
        while (held_ >= 8) {
            bytes_.push_back(char(buffer_ & 0xFF));
            buffer_ >>= 8;
            held_ -= 8;
        }
    }
    std::string finish() {
        if (held_ > 0) bytes_.push_back(char(buffer_ & 0xFF));
        return bytes_;
    }

private:
    std::string bytes_;
    std::uint32_t buffer_ = 0;
    int held_ = 0;
};

}  // namespace

std::string BmpFile(const TruePicture& picture, bool topDown, bool withFileHeader) {
    const std::string bits = Rows(picture.height, picture.width * 3, topDown, [&](int y) {
        std::string line;
        for (int x = 0; x < picture.width; ++x) {
            const Rgb& p = picture.pixels[size_t(y * picture.width + x)];
            line += {char(p.b), char(p.g), char(p.r)};
        }
        return line;
    });
    const std::string info = InfoHeader(picture.width, topDown ? -picture.height : picture.height, 24, 0);
    if (!withFileHeader) return info + bits;
    return FileHeader(std::uint32_t(14 + info.size() + bits.size()), std::uint32_t(14 + info.size())) + info + bits;
}

std::string BmpFile(const IndexedPicture& picture, bool os2Core) {
    const std::string bits = Rows(picture.height, picture.width, false, [&](int y) {
        return std::string(picture.pixels.begin() + y * picture.width, picture.pixels.begin() + (y + 1) * picture.width);
    });
    std::string header;
    std::string table;
    if (os2Core) {
        Put32(header, 12);
        Put16(header, unsigned(picture.width));
        Put16(header, unsigned(picture.height));
        Put16(header, 1);
        Put16(header, 8);
        for (int i = 0; i < 256; ++i) {
            const Rgb c = i < int(picture.colours.size()) ? picture.colours[size_t(i)] : Rgb{};
            table += {char(c.b), char(c.g), char(c.r)};
        }
    } else {
        header = InfoHeader(picture.width, picture.height, 8, std::uint32_t(picture.colours.size()));
        for (const Rgb& c : picture.colours) table += {char(c.b), char(c.g), char(c.r), '\0'};
    }
    const std::uint32_t offset = std::uint32_t(14 + header.size() + table.size());
    return FileHeader(std::uint32_t(offset + bits.size()), offset) + header + table + bits;
}

std::string RunLengthBmpFile(int width, int height, int bitCount, const std::vector<Rgb>& colours,
                             const std::string& runs) {
    std::string header = InfoHeader(width, height, bitCount, std::uint32_t(colours.size()));
    Put32Into(header, 16, bitCount == 8 ? 1 : 2);                // compression
    Put32Into(header, 20, std::uint32_t(runs.size()));          // size of the runs
    std::string table;
    for (const Rgb& c : colours) table += {char(c.b), char(c.g), char(c.r), '\0'};
    const std::uint32_t offset = std::uint32_t(14 + header.size() + table.size());
    return FileHeader(std::uint32_t(offset + runs.size()), offset) + header + table + runs;
}

std::string WithExifOrientation(std::string jpeg, int orientation) {
    std::string tiff = "II";
    Put16(tiff, 42);
    Put32(tiff, 8);              // the first directory follows the header
    Put16(tiff, 1);              // one entry:
    Put16(tiff, 0x0112);         // orientation,
    Put16(tiff, 3);              // a SHORT,
    Put32(tiff, 1);              // one of them,
    Put32(tiff, unsigned(orientation));
    Put32(tiff, 0);              // no next directory
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    std::string segment = "\xFF\xE1";
    segment += char((body.size() + 2) >> 8);
    segment += char((body.size() + 2) & 0xFF);
    return jpeg.insert(2, segment + body);  // right after the start marker
}

std::string LzwData(const std::vector<std::uint8_t>& pixels, int codeSize) {
    const int clear = 1 << codeSize, end = clear + 1;
    int size = codeSize + 1;
    int next = clear + 2;
    std::map<std::pair<int, int>, int> table;
    BitWriter writer;
    writer.put(clear, size);
    int current = -1;
    for (std::uint8_t pixel : pixels) {
        if (current < 0) {
            current = pixel;
            continue;
        }
        auto found = table.find({current, pixel});
        if (found != table.end()) {
            current = found->second;
            continue;
        }
        writer.put(current, size);
        if (next < 4096) {
            table[{current, pixel}] = next++;
            if (next > (1 << size) && size < 12) ++size;
        } else {
            writer.put(clear, size);  // a full table starts over
            table.clear();
            size = codeSize + 1;
            next = clear + 2;
        }
        current = pixel;
    }
    if (current >= 0) writer.put(current, size);
    writer.put(end, size);
    const std::string stream = writer.finish();
    std::string out(1, char(codeSize));
    for (size_t i = 0; i < stream.size(); i += 255) {
        const std::string block = stream.substr(i, 255);
        out.push_back(char(block.size()));
        out += block;
    }
    out.push_back('\0');
    return out;
}

std::string GifFile(const IndexedPicture& picture, const GifOptions& options) {
    int bits = 1;
    while ((1 << bits) < int(picture.colours.size())) ++bits;
    const auto tableBytes = [&](const std::vector<Rgb>& colours) {
        std::string table;
        for (int i = 0; i < (1 << bits); ++i) {
            const Rgb c = i < int(colours.size()) ? colours[size_t(i)] : Rgb{};
            table += {char(c.r), char(c.g), char(c.b)};
        }
        return table;
    };
    std::string out = "GIF89a";
    Put16(out, unsigned(picture.width));
    Put16(out, unsigned(picture.height));
    out.push_back(char(0x80 | (bits - 1)));
    out += {'\0', '\0'};
    out += tableBytes(options.localTable ? std::vector<Rgb>(picture.colours.size(), Rgb{128, 128, 128}) : picture.colours);
    if (options.transparentIndex >= 0) out += {'!', char(0xF9), 4, 1, 0, 0, char(options.transparentIndex), 0};
    const auto frame = [&](const IndexedPicture& image, bool local) {
        std::vector<std::uint8_t> ordered;
        if (options.interlaced) {
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < image.height; y += step)
                    ordered.insert(ordered.end(), image.pixels.begin() + y * image.width, image.pixels.begin() + (y + 1) * image.width);
        } else {
            ordered = image.pixels;
        }
        std::string block(1, ',');
        Put16(block, 0);
        Put16(block, 0);
        Put16(block, unsigned(image.width));
        Put16(block, unsigned(image.height));
        block.push_back(char((local ? 0x80 | (bits - 1) : 0) | (options.interlaced ? 0x40 : 0)));
        if (local) block += tableBytes(image.colours);
        return block + LzwData(ordered, std::max(2, bits));
    };
    out += frame(picture, options.localTable);
    for (const IndexedPicture& extra : options.extraFrames) out += frame(extra, false);
    out.push_back(';');
    return out;
}

std::string JpegFile(const TruePicture& picture, JpegKind kind, int quality) {
    return JpegFile(picture.width, picture.height,
                    [&](int x, int y) { return picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)]; }, kind,
                    quality);
}

std::string JpegFile(int width, int height, const std::function<Rgb(int x, int y)>& pixel, JpegKind kind, int quality) {
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = JDIMENSION(width);
    encoder.image_height = JDIMENSION(height);
    encoder.input_components = kind == JpegKind::Grey ? 1 : kind == JpegKind::Cmyk ? 4 : 3;
    encoder.in_color_space = kind == JpegKind::Grey ? JCS_GRAYSCALE : kind == JpegKind::Cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * size_t(encoder.input_components));
    while (encoder.next_scanline < encoder.image_height) {
        const int y = int(encoder.next_scanline);
        for (int x = 0; x < width; ++x) {
            const Rgb p = pixel(x, y);
            if (kind == JpegKind::Grey) {
                row[size_t(x)] = p.r;
            } else if (kind == JpegKind::Cmyk) {
                // The library marks CMYK files as Adobe's, whose values are stored inverted:
                // no ink (255 - c = r) and no black (255 - k = 255).
                row[size_t(4 * x)] = p.r;
                row[size_t(4 * x + 1)] = p.g;
                row[size_t(4 * x + 2)] = p.b;
                row[size_t(4 * x + 3)] = 255;
            } else {
                row[size_t(3 * x)] = p.r;
                row[size_t(3 * x + 1)] = p.g;
                row[size_t(3 * x + 2)] = p.b;
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&encoder, rows, 1);
    }
    jpeg_finish_compress(&encoder);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
    return out;
}

std::string PngFile(const TruePicture& picture, const std::vector<std::uint8_t>& alphas) {
    const bool alpha = !alphas.empty();
    const int channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> pixels;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const Rgb& p = picture.pixels[i];
        pixels.insert(pixels.end(), {p.r, p.g, p.b});
        if (alpha) pixels.push_back(alphas[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), picture.width * channels, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), picture.width * channels, nullptr);
    bytes.resize(size);
    return bytes;
}

std::string WebpFile(const TruePicture& picture, const std::vector<std::uint8_t>& alphas) {
    std::vector<std::uint8_t> pixels;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const Rgb& p = picture.pixels[i];
        pixels.insert(pixels.end(), {p.r, p.g, p.b, alphas.empty() ? std::uint8_t(255) : alphas[i]});
    }
    std::uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(pixels.data(), picture.width, picture.height, picture.width * 4, &encoded);
    std::string bytes(reinterpret_cast<const char*>(encoded), size);
    WebPFree(encoded);
    return bytes;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace picture_writers
