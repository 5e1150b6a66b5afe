// Writing a picture as a JPEG file in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace imaging {

// The JPEG of a width x height picture at the quality (1..100) from rows of red, green and blue
// bytes, `stride` bytes apart; nothing when the size is not a picture's or the file would be
// larger than maxBytes.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(int width, int height, int quality, const std::uint8_t* rgb,
                                                    std::size_t stride, std::size_t maxBytes);

}  // namespace imaging
