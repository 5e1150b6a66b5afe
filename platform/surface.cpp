#include "surface.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <png.h>

namespace platform {

void Surface::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(std::size_t(width_) * std::size_t(height_), 0);
}

void Surface::fill(RECT area, std::uint32_t xrgb) {
    area = IntersectRects(area, RECT{0, 0, width_, height_});
    for (int y = area.top; y < area.bottom; ++y) std::fill(row(y) + area.left, row(y) + area.right, xrgb);
}

void Surface::blit(const Surface& source, int x, int y) {
    const RECT area = IntersectRects(RECT{x, y, x + source.width(), y + source.height()}, RECT{0, 0, width_, height_});
    for (int row_y = area.top; row_y < area.bottom; ++row_y) {
        const std::uint32_t* from = source.row(row_y - y) + (area.left - x);
        std::copy(from, from + (area.right - area.left), row(row_y) + area.left);
    }
}

RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool IsRectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT UnionRects(const RECT& a, const RECT& b) {
    if (IsRectEmpty(a)) return b;
    if (IsRectEmpty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool WritePng(const Surface& surface, const std::filesystem::path& file) {
    if (surface.width() <= 0 || surface.height() <= 0) return false;
    FilePtr out(std::fopen(file.c_str(), "wb"));
    if (!out) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> line(std::size_t(surface.width()) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out.get());
    png_set_IHDR(png, info, png_uint_32(surface.width()), png_uint_32(surface.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < surface.height(); ++y) {
        const std::uint32_t* pixels = surface.row(y);
        for (int x = 0; x < surface.width(); ++x) {
            line[std::size_t(x) * 3] = png_byte(pixels[x] >> 16);
            line[std::size_t(x) * 3 + 1] = png_byte(pixels[x] >> 8);
            line[std::size_t(x) * 3 + 2] = png_byte(pixels[x]);
        }
        png_write_row(png, line.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool ReadPng(const std::filesystem::path& file, Surface& surface) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(std::size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    surface.resize(int(image.width), int(image.height));
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            surface.row(y)[x] = pixels[std::size_t(y) * image.width + std::size_t(x)] & 0x00FFFFFFu;
    return true;
}

}  // namespace platform
