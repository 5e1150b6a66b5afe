#include "demo_pictures.h"

#include <cmath>
#include <functional>

#include "picture_writers.h"

namespace picture_server {
namespace {

using picture_writers::Rgb;

constexpr int kWidth = 320, kHeight = 240;

// Sky and ground in the path's own hue, a sun, and a hand that sweeps round once a minute.
Rgb Scene(int x, int y, unsigned hue, std::time_t now) {
    const double fx = double(x) / kWidth, fy = double(y) / kHeight;
    const int shift = int(hue % 97);
    Rgb colour = fy < 0.6 ? Rgb{std::uint8_t(60 + 80 * fy + shift), std::uint8_t(120 + 100 * fy), std::uint8_t(200 + 50 * fx)}
                          : Rgb{std::uint8_t(40 + shift), std::uint8_t(110 + 60 * std::sin(fx * 12 + fy * 30)), 50};
    const double sunX = 0.2 + 0.6 * double(now % 60) / 60.0;
    if (std::hypot(fx - sunX, (fy - 0.25) * 0.75) < 0.06) colour = Rgb{255, 230, 120};
    const double angle = double(now % 60) / 60.0 * 2 * M_PI;
    const double cx = 0.85, cy = 0.8;
    const double dx = fx - cx, dy = (fy - cy) * 0.75;
    const double along = dx * std::sin(angle) - dy * std::cos(angle);
    const double across = dx * std::cos(angle) + dy * std::sin(angle);
    if (along > 0 && along < 0.1 && std::abs(across) < 0.006) colour = Rgb{255, 255, 255};
    if (std::hypot(dx, dy) > 0.11 && std::hypot(dx, dy) < 0.12) colour = Rgb{30, 30, 30};
    return colour;
}

}  // namespace

std::string DemoJpeg(const std::string& path, std::time_t now) {
    const unsigned hue = unsigned(std::hash<std::string>{}(path));
    picture_writers::TruePicture picture{kWidth, kHeight, {}};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) picture.pixels.push_back(Scene(x, y, hue, now));
    return picture_writers::JpegFile(picture, picture_writers::JpegKind::Colour, 85);
}

std::string DemoGif(const std::string& path, std::time_t now) {
    const unsigned hue = unsigned(std::hash<std::string>{}(path));
    // A 3-3-2 palette: each colour to the nearest of 256.
    picture_writers::IndexedPicture picture{kWidth, kHeight, {}, {}};
    for (int i = 0; i < 256; ++i)
        picture.colours.push_back(Rgb{std::uint8_t((i >> 5) * 255 / 7), std::uint8_t(((i >> 2) & 7) * 255 / 7),
                                      std::uint8_t((i & 3) * 255 / 3)});
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = Scene(x, y, hue, now);
            picture.pixels.push_back(std::uint8_t(((c.r * 7 + 127) / 255) << 5 | ((c.g * 7 + 127) / 255) << 2 | ((c.b * 3 + 127) / 255)));
        }
    return picture_writers::GifFile(picture);
}

}  // namespace picture_server
