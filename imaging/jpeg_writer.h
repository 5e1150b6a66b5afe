// Writing a picture as a JPEG file in memory, a band of rows at a time, so a large picture never
// needs a whole second copy in another pixel format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace imaging {

// Fills rows [first, first + count) into `rows` as red, green and blue bytes, `stride` bytes
// apart. False stops the writing.
using JpegRowSource = std::function<bool(int first, int count, std::uint8_t* rows, std::size_t stride)>;

// The JPEG of a width x height picture at the quality (1..100) whose rows the source gives, in
// bands of bandRows; nothing when the source stops, the size is not a picture's, or the file
// would be larger than maxBytes.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(int width, int height, int quality, int bandRows,
                                                    const JpegRowSource& source, std::size_t maxBytes);

}  // namespace imaging
