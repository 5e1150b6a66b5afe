#include "bilinear_rows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace imaging {
namespace {

// Fixed sizes, so each copy is a single store.
inline void StoreWord(const TargetFormat& format, std::uint32_t word, Byte* out) {
    switch (format.bytesPerPixel) {
    case 4: std::memcpy(out, &word, 4); break;
    case 3: std::memcpy(out, &word, 3); break;
    default: std::memcpy(out, &word, 2); break;
    }
}

}  // namespace

void StorePixel(const TargetFormat& format, const std::uint32_t (&channels)[3], Byte* out) {
    const std::uint32_t word =
        (channels[0] << format.shifts[0]) | (channels[1] << format.shifts[1]) | (channels[2] << format.shifts[2]);
    StoreWord(format, word, out);
}

namespace {

// Every byte value as a double, looked up rather than converted (a conversion per value is slow).
constexpr auto kByteValues = [] {
    std::array<double, 256> values{};
    for (int i = 0; i < 256; ++i) values[std::size_t(i)] = double(i);
    return values;
}();

// Splits without vectors: each value looked up.
void SplitPlain(const Byte* row, int from, int sourceWidth, const SourceFormat& format, SourcePlanes& into) {
    const std::size_t step = std::size_t(format.bytesPerPixel);
    for (int x = from; x < sourceWidth; ++x) {
        std::uint32_t word = 0;
        std::memcpy(&word, row + std::size_t(x) * step, step);
        for (int channel = 0; channel < 3; ++channel)
            into.values[std::size_t(channel) * into.stride + std::size_t(x)] =
                kByteValues[(word >> format.shifts[channel]) & format.masks[channel]];
    }
}

void SpreadPlain(const SourcePlanes& from, const ColumnNeighbours& columns, int begin, int end, SpreadRow& row) {
    for (int i = begin; i < end; ++i) {
        double* to = row.values.data() + SpreadRow::offset(i);
        for (int channel = 0; channel < 3; ++channel) {
            const double* plane = from.plane(channel);
            to[SpreadRow::distance(channel, 0)] = plane[columns.first[std::size_t(i)]];
            to[SpreadRow::distance(channel, 1)] = plane[columns.second[std::size_t(i)]];
        }
    }
}

// Where a run of target columns' values start in the upper and the lower spread row.
struct SpreadPair {
    const double* upper;
    const double* lower;
    SpreadPair(const SpreadRow& upperRow, const SpreadRow& lowerRow, int i)
        : upper(upperRow.values.data() + SpreadRow::offset(i)), lower(lowerRow.values.data() + SpreadRow::offset(i)) {}
    // The next group's, from a group's first column.
    void nextGroup() {
        upper += 6 * SpreadRow::kGroup;
        lower += 6 * SpreadRow::kGroup;
    }
};

// The formula in plain code, which the compiler vectorises for whatever the processor offers:
// a group's words first, then their stores.
void BlendPlain(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax, const double* bx, double ty,
                int begin, int end, const TargetFormat& format, Byte* out) {
    const double upper = 1 - ty, lower = ty;
    const std::size_t step = std::size_t(format.bytesPerPixel);
    std::uint32_t words[SpreadRow::kGroup];
    SpreadPair at(upperRow, lowerRow, begin);
    for (int start = begin; start < end; start += SpreadRow::kGroup, at.nextGroup()) {
        const int count = std::min(SpreadRow::kGroup, end - start);
        for (int k = 0; k < count; ++k) {
            const int i = start + k;
            const double w00 = ax[i] * upper, w01 = bx[i] * upper, w10 = ax[i] * lower, w11 = bx[i] * lower;
            std::uint32_t word = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const std::size_t first = SpreadRow::distance(channel, 0) + std::size_t(k);
                const std::size_t second = SpreadRow::distance(channel, 1) + std::size_t(k);
                const double value =
                    w00 * at.upper[first] + w01 * at.upper[second] + w10 * at.lower[first] + w11 * at.lower[second];
                word |= std::uint32_t(value) << format.shifts[channel];
            }
            words[k] = word;
        }
        Byte* to = out + std::size_t(start) * step;
        if (step == 4)
            std::memcpy(to, words, std::size_t(count) * 4);
        else
            for (int k = 0; k < count; ++k) StoreWord(format, words[k], to + std::size_t(k) * step);
    }
}

#if defined(__x86_64__)

// Two target pixels at a time: SSE2 is on every x86-64 processor.
void BlendSse2(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax, const double* bx, double ty,
               int begin, int end, const TargetFormat& format, Byte* out) {
    const __m128d upper = _mm_set1_pd(1 - ty), lower = _mm_set1_pd(ty);
    SpreadPair group(upperRow, lowerRow, begin);
    for (int start = begin; start < end; start += SpreadRow::kGroup, group.nextGroup())
        for (int part = 0; part < SpreadRow::kGroup; part += 2) {
            const int i = start + part;
            const double* upperAt = group.upper + part;
            const double* lowerAt = group.lower + part;
            const __m128d left = _mm_loadu_pd(ax + i), right = _mm_loadu_pd(bx + i);
            const __m128d w00 = _mm_mul_pd(left, upper), w01 = _mm_mul_pd(right, upper);
            const __m128d w10 = _mm_mul_pd(left, lower), w11 = _mm_mul_pd(right, lower);
            __m128i result = _mm_setzero_si128();
            for (int channel = 0; channel < 3; ++channel) {
                const std::size_t first = SpreadRow::distance(channel, 0), second = SpreadRow::distance(channel, 1);
                const __m128d c00 = _mm_load_pd(upperAt + first), c01 = _mm_load_pd(upperAt + second);
                const __m128d c10 = _mm_load_pd(lowerAt + first), c11 = _mm_load_pd(lowerAt + second);
                const __m128d value = _mm_add_pd(
                    _mm_add_pd(_mm_add_pd(_mm_mul_pd(w00, c00), _mm_mul_pd(w01, c01)), _mm_mul_pd(w10, c10)),
                    _mm_mul_pd(w11, c11));
                result = _mm_or_si128(
                    result, _mm_sll_epi32(_mm_cvttpd_epi32(value), _mm_cvtsi32_si128(format.shifts[channel])));
            }
            if (format.bytesPerPixel == 4) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + std::size_t(i) * 4), result);
            } else {
                Byte* to = out + std::size_t(i) * std::size_t(format.bytesPerPixel);
                StoreWord(format, std::uint32_t(_mm_cvtsi128_si32(result)), to);
                StoreWord(format, std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(result, 4))),
                          to + format.bytesPerPixel);
            }
        }
}

// GCC 12's own AVX-512 headers trip its uninitialised-use analysis; the code here is not at fault.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

// Eight pixels' words, from the first pixel's bytes on.
__attribute__((target("avx2"), always_inline)) inline __m256i EightWords(const Byte* at, int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 4: return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    case 3: {
        // Four pixels from each sixteen bytes read, twelve apart.
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 12)), 1);
        const __m256i widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                               5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
        return _mm256_shuffle_epi8(bytes, widen);
    }
    default: return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
    }
}

// Eight pixels at a time, each channel picked out and widened, while what is read lies in the
// row (three-byte pixels read four bytes beyond their own); the rest one by one.
__attribute__((target("avx2"))) void SplitAvx2(const Byte* row, int sourceWidth, const SourceFormat& format,
                                               SourcePlanes& into) {
    const int bytesPerPixel = format.bytesPerPixel;
    __m256i shifts[3], masks[3];
    for (int channel = 0; channel < 3; ++channel) {
        shifts[channel] = _mm256_set1_epi32(format.shifts[channel]);
        masks[channel] = _mm256_set1_epi32(int(format.masks[channel]));
    }
    const std::size_t rowBytes = std::size_t(sourceWidth) * std::size_t(bytesPerPixel);
    int x = 0;
    for (; std::size_t(x + 8) * std::size_t(bytesPerPixel) + 4 <= rowBytes; x += 8) {
        const __m256i words = EightWords(row + std::size_t(x) * std::size_t(bytesPerPixel), bytesPerPixel);
        for (int channel = 0; channel < 3; ++channel) {
            const __m256i values = _mm256_and_si256(_mm256_srlv_epi32(words, shifts[channel]), masks[channel]);
            double* to = into.values.data() + std::size_t(channel) * into.stride + std::size_t(x);
            _mm256_storeu_pd(to, _mm256_cvtepi32_pd(_mm256_castsi256_si128(values)));
            _mm256_storeu_pd(to + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(values, 1)));
        }
    }
    SplitPlain(row, x, sourceWidth, format, into);
}

// What the wide spreads read and write, looked up once: their stores could alias anything read
// through the structures.
struct SpreadAccess {
    const double* planes;
    std::size_t planeStride;
    const std::int32_t* windowStart;
    const std::int64_t* firstPlaces;
    const std::int64_t* secondPlaces;
    double* values;
    SpreadAccess(const SourcePlanes& from, const ColumnNeighbours& columns, SpreadRow& row)
        : planes(from.values.data()),
          planeStride(from.stride),
          windowStart(columns.windowStart.data()),
          firstPlaces(columns.places[0].data()),
          secondPlaces(columns.places[1].data()),
          values(row.values.data()) {}
};

__attribute__((target("avx2"))) void SpreadAvx2(const SourcePlanes& from, const ColumnNeighbours& columns, int begin,
                                                int end, SpreadRow& row) {
    const auto [planes, planeStride, windowStart, firstPlaces, secondPlaces, values] = SpreadAccess(from, columns, row);
    for (int i = begin; i + 4 <= end; i += 4) {
        const int start = windowStart[std::size_t(i) / 4];
        const __m256i places[2] = {_mm256_load_si256(reinterpret_cast<const __m256i*>(firstPlaces + i)),
                                   _mm256_load_si256(reinterpret_cast<const __m256i*>(secondPlaces + i))};
        double* to = values + SpreadRow::offset(i);
        for (int channel = 0; channel < 3; ++channel) {
            const double* plane = planes + std::size_t(channel) * planeStride;
            double* first = to + SpreadRow::distance(channel, 0);
            double* second = to + SpreadRow::distance(channel, 1);
            if (start >= 0) {
                const __m256 window = _mm256_castpd_ps(_mm256_loadu_pd(plane + start));
                _mm256_store_pd(first, _mm256_castps_pd(_mm256_permutevar8x32_ps(window, places[0])));
                _mm256_store_pd(second, _mm256_castps_pd(_mm256_permutevar8x32_ps(window, places[1])));
            } else {
                const auto* firsts = reinterpret_cast<const __m128i*>(columns.first.data() + i);
                const auto* seconds = reinterpret_cast<const __m128i*>(columns.second.data() + i);
                _mm256_store_pd(first, _mm256_i32gather_pd(plane, _mm_loadu_si128(firsts), 8));
                _mm256_store_pd(second, _mm256_i32gather_pd(plane, _mm_loadu_si128(seconds), 8));
            }
        }
    }
}

// Eight pixels' words (four in each 128-bit half) in the target's format: three bytes each are a
// half's first twelve bytes after a shuffle, two bytes each the halves packed together.
__attribute__((target("avx2"), always_inline)) inline void StoreEight(int bytesPerPixel, __m128i first, __m128i second,
                                                                      Byte* out) {
    switch (bytesPerPixel) {
    case 4:
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), second);
        break;
    case 3: {
        const __m128i narrow = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        for (const __m128i words : {first, second}) {
            const __m128i packed = _mm_shuffle_epi8(words, narrow);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
            const int last = _mm_extract_epi32(packed, 2);
            std::memcpy(out + 8, &last, 4);
            out += 12;
        }
        break;
    }
    default: _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi32(first, second)); break;
    }
}

// Whether the channels sit a byte each from the bottom up (every 32- and 24-bit format): their
// shifts are then constants, and blue's none.
bool ByteChannels(const TargetFormat& format) {
    return format.shifts[0] == 0 && format.shifts[1] == 8 && format.shifts[2] == 16;
}

// The wide blends come in four kinds: for channels a byte each or elsewhere, and for target rows
// that fall on a source row (a fraction of 0) or between two. On such a row the upper weights
// are the horizontal factors themselves and the lower ones are zero: their terms are exact zeros,
// which leave the sum as it is, so they are left out.

// Four target pixels' words from their place in two spread rows.
template <bool kByteChannels, bool kUpperOnly>
__attribute__((target("avx2"), always_inline)) inline __m128i BlendFour(const double* upperAt, const double* lowerAt,
                                                                        __m256d w00, __m256d w01, __m256d w10,
                                                                        __m256d w11, const __m128i (&shifts)[3]) {
    __m128i result = _mm_setzero_si128();
    for (int channel = 0; channel < 3; ++channel) {
        const std::size_t first = SpreadRow::distance(channel, 0), second = SpreadRow::distance(channel, 1);
        const __m256d c00 = _mm256_load_pd(upperAt + first), c01 = _mm256_load_pd(upperAt + second);
        __m256d value = _mm256_add_pd(_mm256_mul_pd(w00, c00), _mm256_mul_pd(w01, c01));
        if constexpr (!kUpperOnly) {
            const __m256d c10 = _mm256_load_pd(lowerAt + first), c11 = _mm256_load_pd(lowerAt + second);
            value = _mm256_add_pd(_mm256_add_pd(value, _mm256_mul_pd(w10, c10)), _mm256_mul_pd(w11, c11));
        }
        const __m128i word = _mm256_cvttpd_epi32(value);
        if constexpr (kByteChannels)
            result = channel == 0 ? word : _mm_or_si128(result, _mm_slli_epi32(word, 8 * channel));
        else  // shifts by a vector of counts: one instruction, where a count in a register takes two
            result = _mm_or_si128(result, _mm_sllv_epi32(word, shifts[channel]));
    }
    return result;
}

template <bool kByteChannels, bool kUpperOnly>
__attribute__((target("avx2"))) void BlendAvx2(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax,
                                               const double* bx, double ty, int begin, int end,
                                               const TargetFormat& format, Byte* out) {
    const __m256d upper = _mm256_set1_pd(1 - ty), lower = _mm256_set1_pd(ty);
    const int bytesPerPixel = format.bytesPerPixel;
    const std::size_t step = std::size_t(bytesPerPixel);
    const __m128i shifts[3] = {_mm_set1_epi32(format.shifts[0]), _mm_set1_epi32(format.shifts[1]),
                               _mm_set1_epi32(format.shifts[2])};
    SpreadPair at(upperRow, lowerRow, begin);
    for (int i = begin; i < end; i += 8, at.nextGroup()) {
        __m128i words[2];
        for (int half = 0; half < 2; ++half) {
            const __m256d left = _mm256_loadu_pd(ax + i + 4 * half), right = _mm256_loadu_pd(bx + i + 4 * half);
            __m256d w00 = left, w01 = right, w10 = w00, w11 = w01;
            if constexpr (!kUpperOnly) {
                w00 = _mm256_mul_pd(left, upper), w01 = _mm256_mul_pd(right, upper);
                w10 = _mm256_mul_pd(left, lower), w11 = _mm256_mul_pd(right, lower);
            }
            words[half] = BlendFour<kByteChannels, kUpperOnly>(at.upper + 4 * half, at.lower + 4 * half, w00, w01, w10,
                                                               w11, shifts);
        }
        StoreEight(bytesPerPixel, words[0], words[1], out + std::size_t(i) * step);
    }
}

// Eight columns at a time. Where their neighbours lie within sixteen source columns (anything
// but shrinking to less than half) both are picked from that window of each plane; elsewhere
// gathered.
__attribute__((target("avx512f,avx2"))) void SpreadAvx512(const SourcePlanes& from, const ColumnNeighbours& columns,
                                                          int begin, int end, SpreadRow& row) {
    const auto [planes, planeStride, windowStart, firstPlaces, secondPlaces, values] = SpreadAccess(from, columns, row);
    for (int i = begin; i + 8 <= end; i += 8) {
        const int start = windowStart[std::size_t(i) / 8];
        const __m512i places[2] = {_mm512_load_si512(firstPlaces + i), _mm512_load_si512(secondPlaces + i)};
        double* to = values + std::size_t(i) * 6;
        for (int channel = 0; channel < 3; ++channel) {
            const double* plane = planes + std::size_t(channel) * planeStride;
            double* first = to + SpreadRow::distance(channel, 0);
            double* second = to + SpreadRow::distance(channel, 1);
            if (start >= 0) {
                const __m512d low = _mm512_loadu_pd(plane + start), high = _mm512_loadu_pd(plane + start + 8);
                _mm512_store_pd(first, _mm512_permutex2var_pd(low, places[0], high));
                _mm512_store_pd(second, _mm512_permutex2var_pd(low, places[1], high));
            } else {
                const auto* firsts = reinterpret_cast<const __m256i*>(columns.first.data() + i);
                const auto* seconds = reinterpret_cast<const __m256i*>(columns.second.data() + i);
                _mm512_store_pd(first, _mm512_i32gather_pd(_mm256_loadu_si256(firsts), plane, 8));
                _mm512_store_pd(second, _mm512_i32gather_pd(_mm256_loadu_si256(seconds), plane, 8));
            }
        }
    }
}

template <bool kByteChannels, bool kUpperOnly>
__attribute__((target("avx512f,avx2"))) void BlendAvx512(const SpreadRow& upperRow, const SpreadRow& lowerRow,
                                                         const double* ax, const double* bx, double ty, int begin,
                                                         int end, const TargetFormat& format, Byte* out) {
    const __m512d upper = _mm512_set1_pd(1 - ty), lower = _mm512_set1_pd(ty);
    const int bytesPerPixel = format.bytesPerPixel;
    const std::size_t step = std::size_t(bytesPerPixel);
    const __m256i shifts[3] = {_mm256_set1_epi32(format.shifts[0]), _mm256_set1_epi32(format.shifts[1]),
                               _mm256_set1_epi32(format.shifts[2])};
    SpreadPair at(upperRow, lowerRow, begin);
    for (int i = begin; i < end; i += 8, at.nextGroup()) {
        const __m512d left = _mm512_loadu_pd(ax + i), right = _mm512_loadu_pd(bx + i);
        __m512d w00 = left, w01 = right, w10 = w00, w11 = w01;
        if constexpr (!kUpperOnly) {
            w00 = _mm512_mul_pd(left, upper), w01 = _mm512_mul_pd(right, upper);
            w10 = _mm512_mul_pd(left, lower), w11 = _mm512_mul_pd(right, lower);
        }
        __m256i result = _mm256_setzero_si256();
        for (int channel = 0; channel < 3; ++channel) {
            const std::size_t first = SpreadRow::distance(channel, 0), second = SpreadRow::distance(channel, 1);
            const __m512d c00 = _mm512_load_pd(at.upper + first), c01 = _mm512_load_pd(at.upper + second);
            __m512d value = _mm512_add_pd(_mm512_mul_pd(w00, c00), _mm512_mul_pd(w01, c01));
            if constexpr (!kUpperOnly) {
                const __m512d c10 = _mm512_load_pd(at.lower + first), c11 = _mm512_load_pd(at.lower + second);
                value = _mm512_add_pd(_mm512_add_pd(value, _mm512_mul_pd(w10, c10)), _mm512_mul_pd(w11, c11));
            }
            const __m256i word = _mm512_cvttpd_epi32(value);
            if constexpr (kByteChannels)
                result = channel == 0 ? word : _mm256_or_si256(result, _mm256_slli_epi32(word, 8 * channel));
            else
                result = _mm256_or_si256(result, _mm256_sllv_epi32(word, shifts[channel]));
        }
        StoreEight(bytesPerPixel, _mm256_castsi256_si128(result), _mm256_extracti128_si256(result, 1),
                   out + std::size_t(i) * step);
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // __x86_64__

}  // namespace

using BlendRows = void (*)(const SpreadRow&, const SpreadRow&, const double*, const double*, double, int, int,
                           const TargetFormat&, Byte*);

int BlendedColumns(ScalerPath path, int width) { return path == ScalerPath::Scalar ? width : width / 8 * 8; }

void SplitSourceRow(ScalerPath path, const Byte* row, int sourceWidth, const SourceFormat& format, SourcePlanes& into) {
    into.stride = (std::size_t(sourceWidth) + 16 + 7) / 8 * 8;
    into.values.resize(3 * into.stride);
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512:
    case ScalerPath::Avx2: SplitAvx2(row, sourceWidth, format, into); break;
#endif
    default: SplitPlain(row, 0, sourceWidth, format, into); break;
    }
}

ColumnNeighbours PlanColumns(ScalerPath path, std::vector<std::int32_t> first, std::vector<std::int32_t> second) {
    ColumnNeighbours columns{std::move(first), std::move(second), {}, {}};
    if (path != ScalerPath::Avx512 && path != ScalerPath::Avx2) return columns;
    // AVX-512 permutes eight doubles out of two registers' sixteen; AVX2 four out of one register's
    // four, by the halves of each (2r and 2r + 1 of its eight floats).
    const bool wide = path == ScalerPath::Avx512;
    const std::size_t group = wide ? 8 : 4, window = wide ? 16 : 4;
    const std::size_t count = columns.first.size() / group * group;
    for (auto& places : columns.places) places.assign(count, 0);
    for (std::size_t i = 0; i < count; i += group) {
        // A window whose loads never straddle two cache lines where one serves, else one that
        // starts at the first neighbour.
        const std::int32_t last = columns.second[i + group - 1];
        const std::int32_t aligned = columns.first[i] & (wide ? ~7 : ~3);
        std::int32_t start = std::size_t(last - aligned) < window ? aligned : columns.first[i];
        if (std::size_t(last - start) >= window) start = -1;
        columns.windowStart.push_back(start);
        if (start < 0) continue;
        for (std::size_t k = i; k < i + group; ++k)
            for (int neighbour = 0; neighbour < 2; ++neighbour) {
                const std::int64_t place = (neighbour ? columns.second : columns.first)[k] - start;
                columns.places[neighbour][k] = wide ? place : (2 * place) | ((2 * place + 1) << 32);
            }
    }
    return columns;
}

void SpreadSourceRow(ScalerPath path, const SourcePlanes& from, const ColumnNeighbours& columns, int begin, int end,
                     SpreadRow& row) {
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512: SpreadAvx512(from, columns, begin, end, row); break;
    case ScalerPath::Avx2: SpreadAvx2(from, columns, begin, end, row); break;
#endif
    default: SpreadPlain(from, columns, begin, end, row); break;
    }
}

void BlendSpreadRows(ScalerPath path, const SpreadRow& upper, const SpreadRow& lower, const double* ax,
                     const double* bx, double ty, int begin, int end, const TargetFormat& format, Byte* out) {
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512: {
        static constexpr BlendRows kBlends[2][2] = {{BlendAvx512<false, false>, BlendAvx512<false, true>},
                                                    {BlendAvx512<true, false>, BlendAvx512<true, true>}};
        kBlends[ByteChannels(format)][ty == 0](upper, lower, ax, bx, ty, begin, end, format, out);
        break;
    }
    case ScalerPath::Avx2: {
        static constexpr BlendRows kBlends[2][2] = {{BlendAvx2<false, false>, BlendAvx2<false, true>},
                                                    {BlendAvx2<true, false>, BlendAvx2<true, true>}};
        kBlends[ByteChannels(format)][ty == 0](upper, lower, ax, bx, ty, begin, end, format, out);
        break;
    }
    case ScalerPath::Sse2: BlendSse2(upper, lower, ax, bx, ty, begin, end, format, out); break;
#endif
    default: BlendPlain(upper, lower, ax, bx, ty, begin, end, format, out); break;
    }
}

}  // namespace imaging
