// The inner loops of the 32-bit bilinear scaler, one set per instruction set. A source row is
// first spread out per target column (both neighbours' blue, green and red as doubles); a target
// row is then made from two spread rows with the same multiplications and additions, in the same
// order, as the scalar formula, so every path gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scaler_path.h"

namespace imaging {

using Byte = unsigned char;

struct SpreadRow {
    int sourceRow = -1;
    std::vector<double> values;  // [channel][neighbour][column]
    const double* at(int channel, int neighbour, std::size_t width) const {
        return values.data() + (std::size_t(channel) * 2 + std::size_t(neighbour)) * width;
    }
};

// How many leading columns (a multiple of 8) the vector path handles; the rest go the scalar way.
int VectorColumns(ScalerPath path, int width);
// Fills values for the first `columns` target columns of a row of `width` (the values' stride).
void SpreadSourceRow(ScalerPath path, const Byte* row, const std::int32_t* offset0, const std::int32_t* offset1,
                     int columns, std::size_t width, double* values);
// Writes the first `columns` 32-bit target pixels from two spread rows.
void BlendSpreadRows(ScalerPath path, const SpreadRow& upper, const SpreadRow& lower, const double* ax,
                     const double* bx, double ty, int columns, std::size_t width, Byte* out);

}  // namespace imaging
