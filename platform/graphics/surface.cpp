#include "surface.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>

#include "device_pixels.h"
#include "unique_file.h"

namespace platform {

void Surface::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    stride_ = DeviceRowBytes(width_, depth_);
    bytes_.assign(std::size_t(stride_) * std::size_t(height_), 0);
}

std::uint32_t Surface::value(int x, int y) const {
    const std::uint8_t* p = row(y);
    switch (depth_) {
    case 8: return p[x];
    case 16: return std::uint32_t(p[2 * x]) | (std::uint32_t(p[2 * x + 1]) << 8);
    case 24: return std::uint32_t(p[3 * x]) | (std::uint32_t(p[3 * x + 1]) << 8) | (std::uint32_t(p[3 * x + 2]) << 16);
    default: {
        std::uint32_t v;
        std::memcpy(&v, p + 4 * x, 4);
        return v & 0xFFFFFF;
    }
    }
}

void Surface::setValue(int x, int y, std::uint32_t v) {
    std::uint8_t* p = row(y);
    switch (depth_) {
    case 8: p[x] = std::uint8_t(v); break;
    case 16:
        p[2 * x] = std::uint8_t(v);
        p[2 * x + 1] = std::uint8_t(v >> 8);
        break;
    case 24:
        p[3 * x] = std::uint8_t(v);
        p[3 * x + 1] = std::uint8_t(v >> 8);
        p[3 * x + 2] = std::uint8_t(v >> 16);
        break;
    default: {
        const std::uint32_t stored = v & 0xFFFFFF;
        std::memcpy(p + 4 * x, &stored, 4);
    }
    }
}

std::uint32_t Surface::pixel(int x, int y) const { return RgbFromDevice(value(x, y), depth_); }

void Surface::fillValue(RECT area, std::uint32_t v) {
    area = IntersectRects(area, RECT{0, 0, width_, height_});
    if (IsRectEmpty(area)) return;
    if (depth_ == 32) {
        const std::uint32_t stored = v & 0xFFFFFF;
        for (int y = area.top; y < area.bottom; ++y) {
            auto* p = reinterpret_cast<std::uint32_t*>(row(y)) + area.left;
            std::fill(p, p + (area.right - area.left), stored);
        }
        return;
    }
    if (depth_ == 8) {
        for (int y = area.top; y < area.bottom; ++y) std::memset(row(y) + area.left, int(v & 0xFF), size_t(area.right - area.left));
        return;
    }
    for (int x = area.left; x < area.right; ++x) setValue(x, area.top, v);
    const int bytes = (area.right - area.left) * depth_ / 8, offset = area.left * depth_ / 8;
    for (int y = area.top + 1; y < area.bottom; ++y) std::memcpy(row(y) + offset, row(area.top) + offset, size_t(bytes));
}

void Surface::blit(const Surface& source, int x, int y) {
    const RECT area = IntersectRects(RECT{x, y, x + source.width(), y + source.height()}, RECT{0, 0, width_, height_});
    if (IsRectEmpty(area) || source.depth() != depth_) return;
    const int bytesPerPixel = depth_ / 8;
    for (int rowY = area.top; rowY < area.bottom; ++rowY)
        std::memcpy(row(rowY) + area.left * bytesPerPixel, source.row(rowY - y) + (area.left - x) * bytesPerPixel,
                    size_t((area.right - area.left) * bytesPerPixel));
}

Surface Surface::toRgb32() const {
    Surface rgb(width_, height_, 32);
    if (depth_ == 32) {
        rgb.bytes_ = bytes_;
        return rgb;
    }
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) rgb.setValue(x, y, pixel(x, y));
    return rgb;
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

bool WritePng(const Surface& surface, const std::filesystem::path& file) {
    if (surface.width() <= 0 || surface.height() <= 0) return false;
    UniqueFile out = OpenFile(file.c_str(), "wb");
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
        for (int x = 0; x < surface.width(); ++x) {
            const std::uint32_t rgb = surface.pixel(x, y);
            line[std::size_t(x) * 3] = png_byte(rgb >> 16);
            line[std::size_t(x) * 3 + 1] = png_byte(rgb >> 8);
            line[std::size_t(x) * 3 + 2] = png_byte(rgb);
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
    surface = Surface(int(image.width), int(image.height), 32);
    if (!png_image_finish_read(&image, nullptr, surface.bytes().data(), surface.stride(), nullptr)) {
        png_image_free(&image);
        return false;
    }
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) surface.setValue(x, y, surface.value(x, y));  // drops alpha
    return true;
}

}  // namespace platform
