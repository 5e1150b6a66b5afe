// The inner loops of the bilinear scaler, one set per instruction set. A source row (in the
// display's format) is split into a plane of doubles per channel, then spread out
// per target column: both neighbours' blue, green and red, ready for the arithmetic. A target row
// is made from two spread rows with the same multiplications and additions, in the same order, as
// the described formula, so every path gives the same bytes; each pixel is written straight in
// the target's own format. Spreading and blending work on a range of target columns, so that the
// caller can keep what they write and read in the first-level cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "scaler_path.h"

namespace imaging {

using Byte = unsigned char;

// Memory that starts on a cache line, so that the wide paths' loads and stores of whole groups
// never straddle two lines (which costs them dearly).
template <typename T>
struct CacheLineAllocator {
    using value_type = T;
    static constexpr std::align_val_t kLine{64};
    CacheLineAllocator() = default;
    template <typename U>
    CacheLineAllocator(const CacheLineAllocator<U>&) {}
    T* allocate(std::size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), kLine)); }
    void deallocate(T* pointer, std::size_t) { ::operator delete(pointer, kLine); }
    bool operator==(const CacheLineAllocator&) const { return true; }
};
using AlignedDoubles = std::vector<double, CacheLineAllocator<double>>;

// A source row's blue, green and red as doubles, a plane each, stride apart; each plane is
// followed by room enough for the wide paths to read sixteen values from any of its columns.
struct SourcePlanes {
    int sourceRow = -1;
    AlignedDoubles values;
    std::size_t stride = 0;
    const double* plane(int channel) const { return values.data() + std::size_t(channel) * stride; }
};

// A source row spread out per target column, in groups of eight columns: each group holds its
// columns' values channel by channel and neighbour by neighbour, so a pixel's twelve values lie
// at fixed distances from one place.
struct SpreadRow {
    static constexpr int kGroup = 8;
    int sourceRow = -1;
    AlignedDoubles values;
    void resize(int width) { values.resize((std::size_t(width) + kGroup - 1) / kGroup * 6 * kGroup); }
    // Where column i's values start; channel c's neighbour n is kGroup * (2c + n) further. A
    // group's first column's values start 6 * its column.
    static std::size_t offset(int i) {
        const auto column = std::size_t(i);
        return column / kGroup * 6 * kGroup + column % kGroup;
    }
    static std::size_t distance(int channel, int neighbour) { return std::size_t(channel * 2 + neighbour) * kGroup; }
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
// plain loops); the rest go pixel by pixel. A range given to the two below starts at a multiple
// of 8 and ends at one or at this.
int BlendedColumns(ScalerPath path, int width);

// Where each target column finds its two neighbours in a source row's planes. The wide paths
// take a group of columns at a time (eight, or four on AVX2); where a group's neighbours lie within
// one window of a plane (sixteen values, or four) they are picked out of it by their places in it,
// elsewhere gathered.
struct ColumnNeighbours {
    std::vector<std::int32_t> first, second;  // per target column, neither ever decreasing
    std::vector<std::int32_t> windowStart;    // per group: the window's first column, or -1 to gather
    std::vector<std::int64_t, CacheLineAllocator<std::int64_t>> places[2];  // per column and neighbour
};
ColumnNeighbours PlanColumns(ScalerPath path, std::vector<std::int32_t> first, std::vector<std::int32_t> second);

// How a source row's pixels hold their channels: a little-endian word of bytesPerPixel bytes,
// each channel's value (at most a byte) the bits under its mask after its shift.
struct SourceFormat {
    int bytesPerPixel = 4;
    int shifts[3] = {0, 8, 16};                  // blue, green, red
    std::uint32_t masks[3] = {0xFF, 0xFF, 0xFF};  // applied after the shift
};

// Splits a source row of sourceWidth pixels into planes.
void SplitSourceRow(ScalerPath path, const Byte* row, int sourceWidth, const SourceFormat& format, SourcePlanes& into);
// Fills a spread row's values of target columns [begin, end) from a source row's planes.
void SpreadSourceRow(ScalerPath path, const SourcePlanes& from, const ColumnNeighbours& columns, int begin, int end,
                     SpreadRow& row);
// Writes target pixels [begin, end) from two spread rows into the target row that starts at out.
void BlendSpreadRows(ScalerPath path, const SpreadRow& upper, const SpreadRow& lower, const double* ax,
                     const double* bx, double ty, int begin, int end, const TargetFormat& format, Byte* out);

}  // namespace imaging
