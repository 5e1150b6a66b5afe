#include "quality_stretch.h"

#include <cmath>
#include <immintrin.h>
#include <cstring>
#include <vector>

#include "bitmap_file.h"

namespace imaging {
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

// Runs the described per-channel formula for every target pixel. Pixel reads and writes are
// left to the format: read(row, x, c) gives the channel values of a source pixel, store writes one.
template <int Channels, typename Read, typename Store>
void Bilinear(SourceRows& source, int width, int height, Read read, Store store) {
    const std::vector<Sample> columns = Samples(width, source.width());
    const std::vector<Sample> rows = Samples(height, source.height());
    for (int j = 0; j < height; ++j) {
        const Sample& row = rows[size_t(j)];
        const BYTE* upper = source.row(row.first);
        const BYTE* lower = source.row(row.second);
        const double ty = row.fraction;
        for (int i = 0; i < width; ++i) {
            const Sample& column = columns[size_t(i)];
            const double tx = column.fraction;
            const double w00 = (1 - tx) * (1 - ty), w01 = tx * (1 - ty), w10 = (1 - tx) * ty, w11 = tx * ty;
            double c00[Channels], c01[Channels], c10[Channels], c11[Channels];
            read(upper, column.first, c00);
            read(upper, column.second, c01);
            read(lower, column.first, c10);
            read(lower, column.second, c11);
            double result[Channels];
            for (int c = 0; c < Channels; ++c) result[c] = w00 * c00[c] + w01 * c01[c] + w10 * c10[c] + w11 * c11[c];
            store(i, j, result);
        }
    }
}

}  // namespace

namespace {

// The described value of one 32-bit target pixel, computed exactly as the formula says.
void ExactPixel32(const BYTE* row0, const BYTE* row1, const Sample& column, double ty, BYTE* out) {
    const double tx = column.fraction;
    const double w00 = (1 - tx) * (1 - ty), w01 = tx * (1 - ty), w10 = (1 - tx) * ty, w11 = tx * ty;
    const BYTE* p00 = row0 + size_t(column.first) * 4;
    const BYTE* p01 = row0 + size_t(column.second) * 4;
    const BYTE* p10 = row1 + size_t(column.first) * 4;
    const BYTE* p11 = row1 + size_t(column.second) * 4;
    for (int c = 0; c < 3; ++c) out[c] = BYTE(w00 * p00[c] + w01 * p01[c] + w10 * p10[c] + w11 * p11[c]);
    out[3] = 0;
}

}  // namespace

namespace {

// GCC 12's own AVX-512 headers trip its uninitialised-use analysis; the code here is not at fault.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// A source row spread out for the target's columns: for every target column the blue, green
// and red of its first and of its second neighbour, as doubles, channel by channel.
struct SpreadRow {
    int sourceRow = -1;
    std::vector<double> values;  // [channel][neighbour][column]
    const double* at(int channel, int neighbour, size_t width) const {
        return values.data() + (size_t(channel) * 2 + size_t(neighbour)) * width;
    }
};

__attribute__((target("avx512f,avx2"))) void Spread(const BYTE* row, const std::int32_t* offset0,
                                                    const std::int32_t* offset1, int width, size_t stride,
                                                    double* values) {
    const auto* base = reinterpret_cast<const int*>(row);
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    for (int i = 0; i + 8 <= width; i += 8) {
        const __m256i neighbours[2] = {
            _mm256_i32gather_epi32(base, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offset0 + i)), 1),
            _mm256_i32gather_epi32(base, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offset1 + i)), 1)};
        for (int channel = 0; channel < 3; ++channel)
            for (int neighbour = 0; neighbour < 2; ++neighbour) {
                const __m256i bytes =
                    _mm256_and_si256(_mm256_srl_epi32(neighbours[neighbour], _mm_cvtsi32_si128(8 * channel)), byteMask);
                _mm512_storeu_pd(values + (size_t(channel) * 2 + size_t(neighbour)) * stride + size_t(i),
                                 _mm512_cvtepi32_pd(bytes));
            }
    }
}

// Eight target pixels at a time in double precision: the same multiplications and additions in
// the same order as the described formula, so every value is bit for bit the scalar one.
__attribute__((target("avx512f,avx2"))) void Row32Avx512(const SpreadRow& upperRow, const SpreadRow& lowerRow,
                                                          const double* ax, const double* bx, double ty, int width,
                                                          size_t stride, BYTE* out) {
    const __m512d upper = _mm512_set1_pd(1 - ty), lower = _mm512_set1_pd(ty);
    for (int i = 0; i + 8 <= width; i += 8) {
        const __m512d left = _mm512_loadu_pd(ax + i), right = _mm512_loadu_pd(bx + i);
        const __m512d w00 = _mm512_mul_pd(left, upper), w01 = _mm512_mul_pd(right, upper);
        const __m512d w10 = _mm512_mul_pd(left, lower), w11 = _mm512_mul_pd(right, lower);
        __m256i result = _mm256_setzero_si256();
        for (int channel = 0; channel < 3; ++channel) {
            const __m512d c00 = _mm512_loadu_pd(upperRow.at(channel, 0, stride) + i);
            const __m512d c01 = _mm512_loadu_pd(upperRow.at(channel, 1, stride) + i);
            const __m512d c10 = _mm512_loadu_pd(lowerRow.at(channel, 0, stride) + i);
            const __m512d c11 = _mm512_loadu_pd(lowerRow.at(channel, 1, stride) + i);
            const __m512d value = _mm512_add_pd(
                _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(w00, c00), _mm512_mul_pd(w01, c01)), _mm512_mul_pd(w10, c10)),
                _mm512_mul_pd(w11, c11));
            result = _mm256_or_si256(result, _mm256_sll_epi32(_mm512_cvttpd_epi32(value), _mm_cvtsi32_si128(8 * channel)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + size_t(i) * 4), result);
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool HasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2");
    return has;
}

}  // namespace

void BilinearScale32(SourceRows& source, BYTE* target, int width, int height, int targetStride) {
    const std::vector<Sample> columns = Samples(width, source.width());
    const std::vector<Sample> rows = Samples(height, source.height());
    const int vectorWidth = HasAvx512() ? width / 8 * 8 : 0;
    const size_t count = static_cast<size_t>(width);
    // Per column, once: the weights' horizontal factors and the byte offsets of both neighbours.
    std::vector<double> ax(count), bx(count);
    std::vector<std::int32_t> offset0(count), offset1(count);
    for (size_t i = 0; i < count; ++i) {
        ax[i] = 1 - columns[i].fraction;
        bx[i] = columns[i].fraction;
        offset0[i] = columns[i].first * 4;
        offset1[i] = columns[i].second * 4;
    }
    // Two spread rows serve consecutive target rows, which walk the source rows downwards.
    SpreadRow spread[2];
    const auto spreadRow = [&](int sourceRow, const BYTE* pixels, const SpreadRow* keep) -> const SpreadRow& {
        for (SpreadRow& candidate : spread)
            if (candidate.sourceRow == sourceRow) return candidate;
        SpreadRow& slot = &spread[0] == keep ? spread[1] : spread[0];
        slot.values.resize(6 * count);
        Spread(pixels, offset0.data(), offset1.data(), vectorWidth, count, slot.values.data());
        slot.sourceRow = sourceRow;
        return slot;
    };
    for (int j = 0; j < height; ++j) {
        const Sample& row = rows[size_t(j)];
        const BYTE* row0 = source.row(row.first);
        const BYTE* row1 = source.row(row.second);
        BYTE* out = target + size_t(j) * size_t(targetStride);
        if (vectorWidth) {
            const SpreadRow& upperRow = spreadRow(row.first, row0, nullptr);
            const SpreadRow& lowerRow = spreadRow(row.second, row1, &upperRow);
            Row32Avx512(upperRow, lowerRow, ax.data(), bx.data(), row.fraction, vectorWidth, count, out);
        }
        for (int i = vectorWidth; i < width; ++i) ExactPixel32(row0, row1, columns[size_t(i)], row.fraction, out + size_t(i) * 4);
    }
}

void BilinearScale24(SourceRows& source, BYTE* target, int width, int height, int targetStride) {
    Bilinear<3>(
        source, width, height,
        [&](const BYTE* row, int x, double* c) {
            const BYTE* p = row + size_t(x) * 3;
            c[0] = p[0];
            c[1] = p[1];
            c[2] = p[2];
        },
        [&](int x, int y, const double* c) {
            BYTE* p = target + size_t(y) * size_t(targetStride) + size_t(x) * 3;
            p[0] = BYTE(c[0]);
            p[1] = BYTE(c[1]);
            p[2] = BYTE(c[2]);
        });
}

void BilinearScale16(SourceRows& source, BYTE* target, int width, int height, int targetStride, DisplayMasks masks) {
    // Each channel is interpolated where it sits in the word, not shifted down.
    Bilinear<3>(
        source, width, height,
        [&](const BYTE* row, int x, double* c) {
            std::uint16_t word;
            std::memcpy(&word, row + size_t(x) * 2, 2);
            c[0] = word & masks.red;
            c[1] = word & masks.green;
            c[2] = word & masks.blue;
        },
        [&](int x, int y, const double* c) {
            const std::uint16_t word = std::uint16_t((std::uint32_t(c[0]) & masks.red) | (std::uint32_t(c[1]) & masks.green) |
                                                     (std::uint32_t(c[2]) & masks.blue));
            std::memcpy(target + size_t(y) * size_t(targetStride) + size_t(x) * 2, &word, 2);
        });
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
        default: BilinearScale16(source, result, columns, rows, to.stride(), masks);
        }
    }
    if (!savePath.empty()) WriteBitmapFile(targetDC, targetBitmap, savePath);
    return 1;
}

}  // namespace imaging
