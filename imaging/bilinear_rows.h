// The inner loops of the bilinear scaler, one set per instruction set. A source row (four bytes a
// pixel: blue, green, red, spare) is first spread out per target column: both neighbours' blue,
// green and red, as floats, which hold every byte value exactly and become the same doubles. A
// target row is then made from two spread rows with the same multiplications and additions, in
// the same order, as the described formula, so every path gives the same bytes; each pixel is
// written straight in the target's own format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scaler_path.h"

namespace imaging {

using Byte = unsigned char;

struct SpreadRow {
    int sourceRow = -1;
    std::vector<float> values;  // [channel][neighbour][column]
    const float* at(int channel, int neighbour, std::size_t width) const {
        return values.data() + (std::size_t(channel) * 2 + std::size_t(neighbour)) * width;
    }
};

// How a target pixel is stored: each channel's value shifted into its place of a little-endian
// word, of which the first bytesPerPixel bytes are written. A channel's value never exceeds its
// field, being a blend of values that fit it.
struct TargetFormat {
    int bytesPerPixel = 4;
    int shifts[3] = {0, 8, 16};  // blue, green, red
};

// Writes one pixel's channel values (blue, green, red) in the target's format.
void StorePixel(const TargetFormat& format, const std::uint32_t (&channels)[3], Byte* out);

// How many leading columns the path's loops handle (a multiple of 8, or all of them for the
// plain loops); the rest go pixel by pixel.
int BlendedColumns(ScalerPath path, int width);
// Fills values for the first `columns` target columns of a row of `width` (the values' stride).
void SpreadSourceRow(ScalerPath path, const Byte* row, const std::int32_t* offset0, const std::int32_t* offset1,
                     int columns, std::size_t width, float* values);
// Writes the first `columns` target pixels from two spread rows.
void BlendSpreadRows(ScalerPath path, const SpreadRow& upper, const SpreadRow& lower, const double* ax,
                     const double* bx, double ty, int columns, std::size_t width, const TargetFormat& format,
                     Byte* out);

}  // namespace imaging
