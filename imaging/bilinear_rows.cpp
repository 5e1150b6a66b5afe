#include "bilinear_rows.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace imaging {
namespace {

// Spreads without gathers: one plain conversion per column, channel and neighbour.
void SpreadPlain(const Byte* row, const std::int32_t* offset0, const std::int32_t* offset1, int columns,
                 std::size_t width, double* values) {
    for (int channel = 0; channel < 3; ++channel)
        for (int neighbour = 0; neighbour < 2; ++neighbour) {
            const std::int32_t* offsets = neighbour == 0 ? offset0 : offset1;
            double* out = values + (std::size_t(channel) * 2 + std::size_t(neighbour)) * width;
            for (int i = 0; i < columns; ++i) out[i] = row[offsets[i] + channel];
        }
}

#if defined(__x86_64__)

// Two target pixels at a time: SSE2 is on every x86-64 processor.
void BlendSse2(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax, const double* bx, double ty,
               int columns, std::size_t width, Byte* out) {
    const __m128d upper = _mm_set1_pd(1 - ty), lower = _mm_set1_pd(ty);
    for (int i = 0; i + 2 <= columns; i += 2) {
        const __m128d left = _mm_loadu_pd(ax + i), right = _mm_loadu_pd(bx + i);
        const __m128d w00 = _mm_mul_pd(left, upper), w01 = _mm_mul_pd(right, upper);
        const __m128d w10 = _mm_mul_pd(left, lower), w11 = _mm_mul_pd(right, lower);
        __m128i result = _mm_setzero_si128();
        for (int channel = 0; channel < 3; ++channel) {
            const __m128d c00 = _mm_loadu_pd(upperRow.at(channel, 0, width) + i);
            const __m128d c01 = _mm_loadu_pd(upperRow.at(channel, 1, width) + i);
            const __m128d c10 = _mm_loadu_pd(lowerRow.at(channel, 0, width) + i);
            const __m128d c11 = _mm_loadu_pd(lowerRow.at(channel, 1, width) + i);
            const __m128d value =
                _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(w00, c00), _mm_mul_pd(w01, c01)), _mm_mul_pd(w10, c10)),
                           _mm_mul_pd(w11, c11));
            result = _mm_or_si128(result, _mm_sll_epi32(_mm_cvttpd_epi32(value), _mm_cvtsi32_si128(8 * channel)));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + std::size_t(i) * 4), result);
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

__attribute__((target("avx512f,avx2"))) void SpreadAvx512(const Byte* row, const std::int32_t* offset0,
                                                          const std::int32_t* offset1, int columns, std::size_t width,
                                                          double* values) {
    __m256i bytes[6];
    for (int i = 0; i + 8 <= columns; i += 8) {
        GatherChannels(row, offset0, offset1, i, bytes);
        for (std::size_t k = 0; k < 6; ++k) _mm512_storeu_pd(values + k * width + std::size_t(i), _mm512_cvtepi32_pd(bytes[k]));
    }
}

__attribute__((target("avx2"))) void SpreadAvx2(const Byte* row, const std::int32_t* offset0,
                                                const std::int32_t* offset1, int columns, std::size_t width,
                                                double* values) {
    __m256i bytes[6];
    for (int i = 0; i + 8 <= columns; i += 8) {
        GatherChannels(row, offset0, offset1, i, bytes);
        for (std::size_t k = 0; k < 6; ++k) {
            double* at = values + k * width + std::size_t(i);
            _mm256_storeu_pd(at, _mm256_cvtepi32_pd(_mm256_castsi256_si128(bytes[k])));
            _mm256_storeu_pd(at + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(bytes[k], 1)));
        }
    }
}

__attribute__((target("avx512f,avx2"))) void BlendAvx512(const SpreadRow& upperRow, const SpreadRow& lowerRow,
                                                         const double* ax, const double* bx, double ty, int columns,
                                                         std::size_t width, Byte* out) {
    const __m512d upper = _mm512_set1_pd(1 - ty), lower = _mm512_set1_pd(ty);
    for (int i = 0; i + 8 <= columns; i += 8) {
        const __m512d left = _mm512_loadu_pd(ax + i), right = _mm512_loadu_pd(bx + i);
        const __m512d w00 = _mm512_mul_pd(left, upper), w01 = _mm512_mul_pd(right, upper);
        const __m512d w10 = _mm512_mul_pd(left, lower), w11 = _mm512_mul_pd(right, lower);
        __m256i result = _mm256_setzero_si256();
        for (int channel = 0; channel < 3; ++channel) {
            const __m512d c00 = _mm512_loadu_pd(upperRow.at(channel, 0, width) + i);
            const __m512d c01 = _mm512_loadu_pd(upperRow.at(channel, 1, width) + i);
            const __m512d c10 = _mm512_loadu_pd(lowerRow.at(channel, 0, width) + i);
            const __m512d c11 = _mm512_loadu_pd(lowerRow.at(channel, 1, width) + i);
            const __m512d value = _mm512_add_pd(
                _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(w00, c00), _mm512_mul_pd(w01, c01)), _mm512_mul_pd(w10, c10)),
                _mm512_mul_pd(w11, c11));
            result = _mm256_or_si256(result, _mm256_sll_epi32(_mm512_cvttpd_epi32(value), _mm_cvtsi32_si128(8 * channel)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + std::size_t(i) * 4), result);
    }
}

__attribute__((target("avx2"))) void BlendAvx2(const SpreadRow& upperRow, const SpreadRow& lowerRow, const double* ax,
                                               const double* bx, double ty, int columns, std::size_t width, Byte* out) {
    const __m256d upper = _mm256_set1_pd(1 - ty), lower = _mm256_set1_pd(ty);
    for (int i = 0; i + 4 <= columns; i += 4) {
        const __m256d left = _mm256_loadu_pd(ax + i), right = _mm256_loadu_pd(bx + i);
        const __m256d w00 = _mm256_mul_pd(left, upper), w01 = _mm256_mul_pd(right, upper);
        const __m256d w10 = _mm256_mul_pd(left, lower), w11 = _mm256_mul_pd(right, lower);
        __m128i result = _mm_setzero_si128();
        for (int channel = 0; channel < 3; ++channel) {
            const __m256d c00 = _mm256_loadu_pd(upperRow.at(channel, 0, width) + i);
            const __m256d c01 = _mm256_loadu_pd(upperRow.at(channel, 1, width) + i);
            const __m256d c10 = _mm256_loadu_pd(lowerRow.at(channel, 0, width) + i);
            const __m256d c11 = _mm256_loadu_pd(lowerRow.at(channel, 1, width) + i);
            const __m256d value = _mm256_add_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(w00, c00), _mm256_mul_pd(w01, c01)), _mm256_mul_pd(w10, c10)),
                _mm256_mul_pd(w11, c11));
            result = _mm_or_si128(result, _mm_sll_epi32(_mm256_cvttpd_epi32(value), _mm_cvtsi32_si128(8 * channel)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + std::size_t(i) * 4), result);
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // __x86_64__

}  // namespace

int VectorColumns(ScalerPath path, int width) { return path == ScalerPath::Scalar ? 0 : width / 8 * 8; }

void SpreadSourceRow(ScalerPath path, const Byte* row, const std::int32_t* offset0, const std::int32_t* offset1,
                     int columns, std::size_t width, double* values) {
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512: SpreadAvx512(row, offset0, offset1, columns, width, values); break;
    case ScalerPath::Avx2: SpreadAvx2(row, offset0, offset1, columns, width, values); break;
#endif
    case ScalerPath::Sse2: SpreadPlain(row, offset0, offset1, columns, width, values); break;
    default: break;
    }
}

void BlendSpreadRows(ScalerPath path, const SpreadRow& upper, const SpreadRow& lower, const double* ax,
                     const double* bx, double ty, int columns, std::size_t width, Byte* out) {
    switch (path) {
#if defined(__x86_64__)
    case ScalerPath::Avx512: BlendAvx512(upper, lower, ax, bx, ty, columns, width, out); break;
    case ScalerPath::Avx2: BlendAvx2(upper, lower, ax, bx, ty, columns, width, out); break;
    case ScalerPath::Sse2: BlendSse2(upper, lower, ax, bx, ty, columns, width, out); break;
#endif
    default: break;
    }
}

}  // namespace imaging
