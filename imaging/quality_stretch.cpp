#include "quality_stretch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "bilinear_rows.h"
#include "bitmap_file.h"

namespace imaging {

using namespace platform;
namespace {

// Where each target column or row samples: the first neighbour, the second (clamped to the
// source's last one) and the fraction between them, as i / scale gives them.
struct Sample {
    int first;
    int second;
    double fraction;
};

std::vector<Sample> Samples(int targetLength, int sourceLength) {
    const double scale = double(targetLength) / double(sourceLength);
    std::vector<Sample> samples(static_cast<size_t>(targetLength));
    for (int i = 0; i < targetLength; ++i) {
        const double position = i / scale;
        const int first = int(position);
        // The last source pixel has no right or lower neighbour: it stands in for itself.
        samples[size_t(i)] = Sample{first, std::min(first + 1, sourceLength - 1), position - first};
    }
    return samples;
}

}  // namespace

namespace {

// The described value of one target pixel's channels, computed exactly as the formula says.
void ExactPixel(const SourcePlanes& upper, const SourcePlanes& lower, const Sample& column, double ty,
                std::uint32_t (&channels)[3]) {
    const double tx = column.fraction;
    const double w00 = (1 - tx) * (1 - ty), w01 = tx * (1 - ty), w10 = (1 - tx) * ty, w11 = tx * ty;
    const size_t first = size_t(column.first), second = size_t(column.second);
    for (int c = 0; c < 3; ++c) {
        const double* p0 = upper.plane(c);
        const double* p1 = lower.plane(c);
        channels[c] = std::uint32_t(w00 * p0[first] + w01 * p0[second] + w10 * p1[first] + w11 * p1[second]);
    }
}

// How many source rows a band of target rows may draw on: their planes are kept for the band.
constexpr int kBandSourceRows = 32;
// Target columns per block: both spread rows' values for a block (2 x 6 x 256 doubles, 24 KiB)
// stay in the first-level cache for every target row of a band.
constexpr int kBlockColumns = 256;

// The bilinear pass over source rows in the given format into target rows stride bytes apart in
// theirs. It goes down the target in bands, and across each band a block of columns at a time.
void Scale(SourceRows& source, const SourceFormat& sourceFormat, BYTE* target, int width, int height, int targetStride,
           const TargetFormat& format) {
    const std::vector<Sample> columns = Samples(width, source.width());
    const std::vector<Sample> rows = Samples(height, source.height());
    const ScalerPath path = ActiveScalerPath();
    const int blendedColumns = BlendedColumns(path, width);
    const size_t count = static_cast<size_t>(width);
    // Per column, once: the weights' horizontal factors and both neighbours.
    std::vector<double> ax(count), bx(count);
    std::vector<std::int32_t> first(count), second(count);
    for (size_t i = 0; i < count; ++i) {
        ax[i] = 1 - columns[i].fraction;
        bx[i] = columns[i].fraction;
        first[i] = columns[i].first;
        second[i] = columns[i].second;
    }
    const ColumnNeighbours neighbours = PlanColumns(path, std::move(first), std::move(second));

    std::vector<SourcePlanes> planes(kBandSourceRows);
    const auto holding = [&](int sourceRow) {
        return std::find_if(planes.begin(), planes.end(), [&](const SourcePlanes& p) { return p.sourceRow == sourceRow; });
    };
    const auto planesOf = [&](int sourceRow) -> const SourcePlanes& { return *holding(sourceRow); };
    // Two spread rows serve the target rows between them, which walk the source rows downwards.
    SpreadRow spread[2];
    for (SpreadRow& row : spread) row.resize(width);
    // The kept row that holds sourceRow's block, or the other one, spread from it now.
    const auto spreadRow = [&](int sourceRow, const SpreadRow* keep, int begin, int stop) -> const SpreadRow& {
        for (SpreadRow& candidate : spread)
            if (candidate.sourceRow == sourceRow) return candidate;
        SpreadRow& slot = &spread[0] == keep ? spread[1] : spread[0];
        SpreadSourceRow(path, planesOf(sourceRow), neighbours, begin, stop, slot);
        slot.sourceRow = sourceRow;
        return slot;
    };
    // The end of the run of target rows from j that lie between the same two source rows.
    const auto groupEnd = [&](int j, int end) {
        int k = j + 1;
        while (k < end && rows[size_t(k)].first == rows[size_t(j)].first && rows[size_t(k)].second == rows[size_t(j)].second)
            ++k;
        return k;
    };
    const size_t step = size_t(format.bytesPerPixel);
    const auto targetRow = [&](int j) { return target + size_t(j) * size_t(targetStride); };
    std::vector<int> sourceRows;  // the band's, in order
    for (int bandStart = 0; bandStart < height;) {
        // The band: as many target rows as draw on at most kBandSourceRows source rows. Neither
        // neighbour ever goes up the picture, so a row is new when it lies below the last one.
        sourceRows.clear();
        const auto isNew = [&](int y) { return sourceRows.empty() || y > sourceRows.back(); };
        int bandEnd = bandStart;
        for (; bandEnd < height; ++bandEnd) {
            const Sample& row = rows[size_t(bandEnd)];
            const bool firstNew = isNew(row.first);
            const bool secondNew = row.second != row.first && (firstNew || isNew(row.second));
            if (int(sourceRows.size()) + firstNew + secondNew > kBandSourceRows) break;
            if (firstNew) sourceRows.push_back(row.first);
            if (secondNew) sourceRows.push_back(row.second);
        }
        // Each of its source rows split once (one the last band split too is kept), in order
        // down the picture.
        for (int y : sourceRows) {
            if (holding(y) != planes.end()) continue;
            SourcePlanes& free = *std::find_if(planes.begin(), planes.end(), [&](const SourcePlanes& p) {
                return !std::binary_search(sourceRows.begin(), sourceRows.end(), p.sourceRow);
            });
            SplitSourceRow(path, source.row(y), source.width(), sourceFormat, free);
            free.sourceRow = y;
        }
        for (int begin = 0; begin < blendedColumns; begin += kBlockColumns) {
            const int stop = std::min(blendedColumns, begin + kBlockColumns);
            for (SpreadRow& row : spread) row.sourceRow = -1;
            for (int j = bandStart; j < bandEnd;) {
                const int end = groupEnd(j, bandEnd);
                const SpreadRow& upper = spreadRow(rows[size_t(j)].first, nullptr, begin, stop);
                const SpreadRow& lower = spreadRow(rows[size_t(j)].second, &upper, begin, stop);
                for (int k = j; k < end; ++k)
                    BlendSpreadRows(path, upper, lower, ax.data(), bx.data(), rows[size_t(k)].fraction, begin, stop,
                                    format, targetRow(k));
                j = end;
            }
        }
        for (int j = bandStart; j < bandEnd; ++j) {
            const Sample& row = rows[size_t(j)];
            for (int i = blendedColumns; i < width; ++i) {
                std::uint32_t channels[3];
                ExactPixel(planesOf(row.first), planesOf(row.second), columns[size_t(i)], row.fraction, channels);
                StorePixel(format, channels, targetRow(j) + size_t(i) * step);
            }
        }
        bandStart = bandEnd;
    }
}

// Where a contiguous mask's channel sits in a 16-bit word.
struct ChannelBits {
    int shift = 0;
    std::uint32_t mask = 0;
};
std::optional<ChannelBits> Contiguous(std::uint16_t mask) {
    if (!mask) return std::nullopt;
    const int shift = __builtin_ctz(mask);
    const std::uint32_t run = std::uint32_t(mask) >> shift;
    if ((run & (run + 1)) != 0 || run > 0xFF) return std::nullopt;  // not one run of at most 8 bits
    return ChannelBits{shift, mask};
}

}  // namespace

void BilinearScale32(SourceRows& source, BYTE* target, int width, int height, int targetStride) {
    Scale(source, SourceFormat{}, target, width, height, targetStride, TargetFormat{});
}

void BilinearScale24(SourceRows& source, BYTE* target, int width, int height, int targetStride) {
    Scale(source, SourceFormat{3, {0, 8, 16}, {0xFF, 0xFF, 0xFF}}, target, width, height, targetStride,
          TargetFormat{3, {0, 8, 16}});
}

bool BilinearScale16(SourceRows& source, BYTE* target, int width, int height, int targetStride, DisplayMasks masks) {
    // Each channel is interpolated as its field's value and written back into its field. Scaling
    // by a power of two is exact in floating point, so this gives the same bits as interpolating
    // the channel where it sits in the word and truncating.
    const auto blue = Contiguous(masks.blue), green = Contiguous(masks.green), red = Contiguous(masks.red);
    if (!blue || !green || !red) return false;
    const SourceFormat fields{2, {blue->shift, green->shift, red->shift},
                              {blue->mask >> blue->shift, green->mask >> green->shift, red->mask >> red->shift}};
    Scale(source, fields, target, width, height, targetStride, TargetFormat{2, {blue->shift, green->shift, red->shift}});
    return true;
}

int GetDisplayBitDepth() {
    HDC screen = GetDC(nullptr);
    UniqueBitmap probe(CreateCompatibleBitmap(screen, 1, 1));
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biBitCount = 0;
    GetDIBits(screen, probe.get(), 0, 1, nullptr, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return info.bmiHeader.biBitCount;
}

DisplayMasks GetDisplayColorMasks(HDC dc) {
    UniqueBitmap probe(CreateCompatibleBitmap(dc, 1, 1));
    std::vector<BYTE> block(40 + 12, 0);
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    info->bmiHeader.biSize = 40;
    GetDIBits(dc, probe.get(), 0, 1, nullptr, info, DIB_RGB_COLORS);
    GetDIBits(dc, probe.get(), 0, 1, nullptr, info, DIB_RGB_COLORS);
    DWORD masks[3];
    std::memcpy(masks, block.data() + 40, sizeof masks);
    DisplayMasks result{std::uint16_t(masks[0]), std::uint16_t(masks[1]), std::uint16_t(masks[2])};
    // A driver that reports no masks: the common 5-6-5 layout.
    if (!result.red && !result.green && !result.blue) result = DisplayMasks{0xF800, 0x07E0, 0x001F};
    return result;
}

void ScalePicture(CImageFile& image, HDC memory, HBITMAP bitmap, int width, int height, bool quality,
                  HBRUSH background) {
    if (quality && image.GetDepth() != 8) {
        QualityStretch(image, memory, bitmap, width, height);
        return;
    }
    const RECT whole{0, 0, width, height};
    FillRect(memory, &whole, background);
    image.Stretch(memory, 0, 0, width, height);
}

int QualityStretch(CImageFile& image, HDC targetDC, HBITMAP targetBitmap, int width, int height,
                   const std::string& savePath) {
    const int depth = GetDisplayBitDepth();
    if ((depth != 16 && depth != 24 && depth != 32) || !targetBitmap || width <= 0 || height <= 0) {
        image.Stretch(targetDC, 0, 0, width, height, 0, 0, -1, -1);
    } else {
        // The picture's rows are turned into the display's format as the scaler reaches them,
        // so a large picture is never held a second time.
        DeviceRows source(image);
        if (!source.valid()) return 1;
        const DisplayMasks masks = depth == 16 ? GetDisplayColorMasks(targetDC) : DisplayMasks{};
        Surface& to = *targetBitmap->surface;
        // Every pixel is computed, so the result goes straight into the bitmap the caller made,
        // in its own rows (an odd width at 24 bits keeps its padding).
        const int rows = std::min(height, to.height()), columns = std::min(width, to.width());
        if (to.depth() != depth) return 1;
        BYTE* result = to.bytes().data();
        switch (depth) {
        case 32: BilinearScale32(source, result, columns, rows, to.stride()); break;
        case 24: BilinearScale24(source, result, columns, rows, to.stride()); break;
        default:
            // Masks that are not one run of bits each are no format this scaler knows.
            if (!BilinearScale16(source, result, columns, rows, to.stride(), masks))
                image.Stretch(targetDC, 0, 0, width, height, 0, 0, -1, -1);
        }
    }
    if (!savePath.empty()) WriteDibFile(PackBitmapAsDib(targetBitmap, nullptr), savePath);
    return 1;
}

}  // namespace imaging
