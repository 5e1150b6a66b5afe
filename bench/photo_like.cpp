#include "photo_like.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace bench {

picture_writers::TruePicture PhotoLike(int width, int height, unsigned seed) {
    picture_writers::TruePicture picture{width, height, {}};
    picture.pixels.reserve(size_t(width) * size_t(height));
    std::uint32_t state = seed;
    const double phase = double(seed % 97) / 10.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525 + 1013904223;
            const int noise = int(state >> 28) - 8;
            const double fx = double(x) / width, fy = double(y) / height;
            const int r = int(128 + 100 * std::sin(fx * 6.0 + fy * 2.0 + phase)) + noise;
            const int g = int(110 + 90 * std::cos(fy * 5.0 - fx + phase)) + noise;
            const int b = int(90 + 80 * std::sin((fx + fy) * 9.0 + phase)) + noise;
            picture.pixels.push_back({std::uint8_t(std::clamp(r, 0, 255)), std::uint8_t(std::clamp(g, 0, 255)),
                                      std::uint8_t(std::clamp(b, 0, 255))});
        }
    return picture;
}

}  // namespace bench
