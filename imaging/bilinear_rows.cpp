#include "bilinear_rows.h"

#include <algorithm>
#include <array>
#include <cstring>

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

// Every byte value as a float, looked up rather than converted (a conversion per value is slow).
constexpr auto kByteValues = [] {
    std::array<float, 256> values{};
    for (int i = 0; i < 256; ++i) values[std::size_t(i)] = float(i);
    return values;
}();

// Spreads without gathers: a column at a time, each value looked up.
void SpreadPlain(const Byte* row, const std::int32_t* offset0, const std::int32_t* offset1, int columns,
                 std::size_t width, float* values) {
    float* blue0 = values;
    float* blue1 = blue0 + width;
    float* green0 = blue1 + width;
    float* green1 = green0 + width;
    float* red0 = green1 + width;
    float* red1 = red0 + width;
    for (int i = 0; i < columns; ++i) {
        const Byte* first = row + offset0[i];
        const Byte* second = row + offset1[i];
        blue0[i] = kByteValues[first[0]];
        blue1[i] = kByteValues[second[0]];
        green0[i] = kByteValues[first[1]];
        green1[i] = kByteValues[second[1]];
        red0[i] = kByteValues[first[2]];
        red1[i] = kByteValues[second[2]];
    }
}

// The formula in plain code, which the compiler vectorises for whatever the processor offers:
// a stretch of words first, then their stores.
void BlendPlain(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax, const double* bx, double ty,
                int columns, std::size_t width, const TargetFormat& format, Byte* out) {
    const double upper = 1 - ty, lower = ty;
    const float* values[3][4];
    for (int channel = 0; channel < 3; ++channel) {
        values[channel][0] = upperRow.at(channel, 0, width);
        values[channel][1] = upperRow.at(channel, 1, width);
        values[channel][2] = lowerRow.at(channel, 0, width);
        values[channel][3] = lowerRow.at(channel, 1, width);
    }
    constexpr int kStretch = 64;
    std::uint32_t words[kStretch];
    for (int start = 0; start < columns; start += kStretch) {
        const int count = std::min(kStretch, columns - start);
        for (int k = 0; k < count; ++k) {
            const int i = start + k;
            const double w00 = ax[i] * upper, w01 = bx[i] * upper, w10 = ax[i] * lower, w11 = bx[i] * lower;
            std::int32_t word = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const float* const* at = values[channel];
                const double value = w00 * double(at[0][i]) + w01 * double(at[1][i]) + w10 * double(at[2][i]) +
                                     w11 * double(at[3][i]);
                word |= std::int32_t(value) << format.shifts[channel];
            }
            words[k] = std::uint32_t(word);
        }
        Byte* to = out + std::size_t(start) * std::size_t(format.bytesPerPixel);
        if (format.bytesPerPixel == 4)
            std::memcpy(to, words, std::size_t(count) * 4);
        else
            for (int k = 0; k < count; ++k) StoreWord(format, words[k], to + std::size_t(k) * std::size_t(format.bytesPerPixel));
    }
}

#if defined(__x86_64__)

__m128d Load2(const float* at) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))));
}

// Two target pixels at a time: SSE2 is on every x86-64 processor.
void BlendSse2(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax, const double* bx, double ty,
               int columns, std::size_t width, const TargetFormat& format, Byte* out) {
    const __m128d upper = _mm_set1_pd(1 - ty), lower = _mm_set1_pd(ty);
    for (int i = 0; i + 2 <= columns; i += 2) {
        const __m128d left = _mm_loadu_pd(ax + i), right = _mm_loadu_pd(bx + i);
        const __m128d w00 = _mm_mul_pd(left, upper), w01 = _mm_mul_pd(right, upper);
        const __m128d w10 = _mm_mul_pd(left, lower), w11 = _mm_mul_pd(right, lower);
        __m128i result = _mm_setzero_si128();
        for (int channel = 0; channel < 3; ++channel) {
            const __m128d c00 = Load2(upperRow.at(channel, 0, width) + i);
            const __m128d c01 = Load2(upperRow.at(channel, 1, width) + i);
            const __m128d c10 = Load2(lowerRow.at(channel, 0, width) + i);
            const __m128d c11 = Load2(lowerRow.at(channel, 1, width) + i);
            const __m128d value =
                _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(w00, c00), _mm_mul_pd(w01, c01)), _mm_mul_pd(w10, c10)),
                           _mm_mul_pd(w11, c11));
            result = _mm_or_si128(result,
                                  _mm_sll_epi32(_mm_cvttpd_epi32(value), _mm_cvtsi32_si128(format.shifts[channel])));
        }
        if (format.bytesPerPixel == 4) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + std::size_t(i) * 4), result);
        } else {
            Byte* at = out + std::size_t(i) * std::size_t(format.bytesPerPixel);
            StoreWord(format, std::uint32_t(_mm_cvtsi128_si32(result)), at);
            StoreWord(format, std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(result, 4))), at + format.bytesPerPixel);
        }
    }
}

// GCC 12's own AVX-512 headers trip its uninitialised-use analysis; the code here is not at fault.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

// Eight columns at a time: both neighbours' pixels gathered, each channel's byte picked out
// into bytes[channel * 2 + neighbour].
__attribute__((target("avx2"), always_inline)) inline void GatherChannels(const Byte* row, const std::int32_t* offset0,
                                                                          const std::int32_t* offset1, int i,
                                                                          __m256i* bytes) {
    const auto* base = reinterpret_cast<const int*>(row);
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i neighbours[2] = {
        _mm256_i32gather_epi32(base, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offset0 + i)), 1),
        _mm256_i32gather_epi32(base, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offset1 + i)), 1)};
    for (int channel = 0; channel < 3; ++channel)
        for (int neighbour = 0; neighbour < 2; ++neighbour)
            bytes[channel * 2 + neighbour] =
                _mm256_and_si256(_mm256_srl_epi32(neighbours[neighbour], _mm_cvtsi32_si128(8 * channel)), byteMask);
}

// Both wide paths store eight floats a channel and neighbour.
__attribute__((target("avx2"))) void SpreadAvx2(const Byte* row, const std::int32_t* offset0,
                                                const std::int32_t* offset1, int columns, std::size_t width,
                                                float* values) {
    __m256i bytes[6];
    for (int i = 0; i + 8 <= columns; i += 8) {
        GatherChannels(row, offset0, offset1, i, bytes);
        for (std::size_t k = 0; k < 6; ++k)
            _mm256_storeu_ps(values + k * width + std::size_t(i), _mm256_cvtepi32_ps(bytes[k]));
    }
}

// Four pixels' words (one 128-bit lane) in the target's format: three bytes each are the lane's
// first twelve bytes after a shuffle, two bytes each its first eight after packing.
__attribute__((target("avx2"), always_inline)) inline void StoreFour(const TargetFormat& format, __m128i words,
                                                                     Byte* out) {
    switch (format.bytesPerPixel) {
    case 4: _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words); break;
    case 3: {
        const __m128i packed = _mm_shuffle_epi8(words, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
        const int last = _mm_extract_epi32(packed, 2);
        std::memcpy(out + 8, &last, 4);
        break;
    }
    default: _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi32(words, words)); break;
    }
}

__attribute__((target("avx2"), always_inline)) inline __m256d Load4(const float* at) {
    return _mm256_cvtps_pd(_mm_loadu_ps(at));
}

__attribute__((target("avx2"))) void BlendAvx2(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax,
                                               const double* bx, double ty, int columns, std::size_t width,
                                               const TargetFormat& format, Byte* out) {
    const __m256d upper = _mm256_set1_pd(1 - ty), lower = _mm256_set1_pd(ty);
    const std::size_t step = std::size_t(format.bytesPerPixel);
    for (int i = 0; i + 4 <= columns; i += 4) {
        const __m256d left = _mm256_loadu_pd(ax + i), right = _mm256_loadu_pd(bx + i);
        const __m256d w00 = _mm256_mul_pd(left, upper), w01 = _mm256_mul_pd(right, upper);
        const __m256d w10 = _mm256_mul_pd(left, lower), w11 = _mm256_mul_pd(right, lower);
        __m128i result = _mm_setzero_si128();
        for (int channel = 0; channel < 3; ++channel) {
            const __m256d c00 = Load4(upperRow.at(channel, 0, width) + i);
            const __m256d c01 = Load4(upperRow.at(channel, 1, width) + i);
            const __m256d c10 = Load4(lowerRow.at(channel, 0, width) + i);
            const __m256d c11 = Load4(lowerRow.at(channel, 1, width) + i);
            const __m256d value = _mm256_add_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(w00, c00), _mm256_mul_pd(w01, c01)), _mm256_mul_pd(w10, c10)),
                _mm256_mul_pd(w11, c11));
            result = _mm_or_si128(result,
                                  _mm_sll_epi32(_mm256_cvttpd_epi32(value), _mm_cvtsi32_si128(format.shifts[channel])));
        }
        StoreFour(format, result, out + std::size_t(i) * step);
    }
}

__attribute__((target("avx512f,avx2"), always_inline)) inline __m512d Load8(const float* at) {
    return _mm512_cvtps_pd(_mm256_loadu_ps(at));
}

__attribute__((target("avx512f,avx2"))) void BlendAvx512(const SpreadRow& upperRow, const SpreadRow& lowerRow,
                                                         const double* ax, const double* bx, double ty, int columns,
                                                         std::size_t width, const TargetFormat& format, Byte* out) {
    const __m512d upper = _mm512_set1_pd(1 - ty), lower = _mm512_set1_pd(ty);
    const std::size_t step = std::size_t(format.bytesPerPixel);
    for (int i = 0; i + 8 <= columns; i += 8) {
        const __m512d left = _mm512_loadu_pd(ax + i), right = _mm512_loadu_pd(bx + i);
        const __m512d w00 = _mm512_mul_pd(left, upper), w01 = _mm512_mul_pd(right, upper);
        const __m512d w10 = _mm512_mul_pd(left, lower), w11 = _mm512_mul_pd(right, lower);
        __m256i result = _mm256_setzero_si256();
        for (int channel = 0; channel < 3; ++channel) {
            const __m512d c00 = Load8(upperRow.at(channel, 0, width) + i);
            const __m512d c01 = Load8(upperRow.at(channel, 1, width) + i);
            const __m512d c10 = Load8(lowerRow.at(channel, 0, width) + i);
            const __m512d c11 = Load8(lowerRow.at(channel, 1, width) + i);
            const __m512d value = _mm512_add_pd(
                _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(w00, c00), _mm512_mul_pd(w01, c01)), _mm512_mul_pd(w10, c10)),
                _mm512_mul_pd(w11, c11));
            result = _mm256_or_si256(
                result, _mm256_sll_epi32(_mm512_cvttpd_epi32(value), _mm_cvtsi32_si128(format.shifts[channel])));
        }
        Byte* at = out + std::size_t(i) * step;
        if (format.bytesPerPixel == 4) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), result);
        } else {
            StoreFour(format, _mm256_castsi256_si128(result), at);
            StoreFour(format, _mm256_extracti128_si256(result, 1), at + 4 * step);
        }
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // __x86_64__

}  // namespace

int BlendedColumns(ScalerPath path, int width) { return path == ScalerPath::Scalar ? width : width / 8 * 8; }

void SpreadSourceRow(ScalerPath path, const Byte* row, const std::int32_t* offset0, const std::int32_t* offset1,
                     int columns, std::size_t width, float* values) {
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512:
    case ScalerPath::Avx2: SpreadAvx2(row, offset0, offset1, columns, width, values); break;
#endif
    default: SpreadPlain(row, offset0, offset1, columns, width, values); break;
    }
}

void BlendSpreadRows(ScalerPath path, const SpreadRow& upper, const SpreadRow& lower, const double* ax,
                     const double* bx, double ty, int columns, std::size_t width, const TargetFormat& format,
                     Byte* out) {
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512: BlendAvx512(upper, lower, ax, bx, ty, columns, width, format, out); break;
    case ScalerPath::Avx2: BlendAvx2(upper, lower, ax, bx, ty, columns, width, format, out); break;
    case ScalerPath::Sse2: BlendSse2(upper, lower, ax, bx, ty, columns, width, format, out); break;
#endif
    default: BlendPlain(upper, lower, ax, bx, ty, columns, width, format, out); break;
    }
}

}  // namespace imaging
