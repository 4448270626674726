#include "composite/lighten_kernel.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cstring>

#include "composite/byte_widening.h"
#include "composite/mean_kernel.h"

namespace {

// As the mean's kernels: a chunk of a row at a time, its maxima kept in the first-level cache.
const int kChunkElements = 256 * 3;

template <typename Real>
void foldTail(const uint8_t* const* images, size_t offset, const Real* weights, int count, int from, int elements,
              bool darken, Real* maxima) {
    for (int e = from; e < elements; ++e) {
        Real largest = maxima[e];
        for (int k = 0; k < count; ++k) {
            const uint8_t s = images[k][offset + e];
            const Real product = weights[k] * static_cast<Real>(darken ? 255 - s : s);
            if (product > largest) largest = product;
        }
        maxima[e] = largest;
    }
}

// maxima[e] = max(maxima[e], w_k x s_k) for the elements of one chunk; for darken the
// bytes are complemented first (255 - s is s with every bit flipped). The float kernel
// works in batches of images, as byte_widening.h describes.
template <bool darken>
void foldSse2(const uint8_t* const* images, size_t offset, const float* weights, int count, int elements,
              float* maxima) {
    alignas(16) __m128 w[kWeightBatch];
    for (int first = 0; first < count; first += kWeightBatch) {
        const int batch = count - first < kWeightBatch ? count - first : kWeightBatch;
        for (int k = 0; k < batch; ++k) w[k] = _mm_set1_ps(weights[first + k]);
        const int done = batch < kTransposedBatch
                             ? foldInOrder<darken, KeepLarger>(images + first, offset, w, batch, elements, maxima)
                             : foldTransposed<darken, KeepLarger>(images + first, offset, w, batch, elements, maxima);
        foldTail(images + first, offset, weights + first, batch, done, elements, darken, maxima);
    }
}

template <bool darken>
void foldSse2(const uint8_t* const* images, size_t offset, const double* weights, int count, int elements,
              double* maxima) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i flip = _mm_set1_epi8(-1);
    int e = 0;
    for (; e + 8 <= elements; e += 8) {
        __m128d m0 = _mm_loadu_pd(maxima + e), m1 = _mm_loadu_pd(maxima + e + 2);
        __m128d m2 = _mm_loadu_pd(maxima + e + 4), m3 = _mm_loadu_pd(maxima + e + 6);
        for (int k = 0; k < count; ++k) {
            const __m128d w = _mm_set1_pd(weights[k]);
            __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(images[k] + offset + e));
            if (darken) b = _mm_xor_si128(b, flip);
            const __m128i words = _mm_unpacklo_epi8(b, zero);
            const __m128i lo = _mm_unpacklo_epi16(words, zero);
            const __m128i hi = _mm_unpackhi_epi16(words, zero);
            m0 = _mm_max_pd(m0, _mm_mul_pd(w, _mm_cvtepi32_pd(lo)));
            m1 = _mm_max_pd(m1, _mm_mul_pd(w, _mm_cvtepi32_pd(_mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 0, 3, 2)))));
            m2 = _mm_max_pd(m2, _mm_mul_pd(w, _mm_cvtepi32_pd(hi)));
            m3 = _mm_max_pd(m3, _mm_mul_pd(w, _mm_cvtepi32_pd(_mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 0, 3, 2)))));
        }
        _mm_storeu_pd(maxima + e, m0);
        _mm_storeu_pd(maxima + e + 2, m1);
        _mm_storeu_pd(maxima + e + 4, m2);
        _mm_storeu_pd(maxima + e + 6, m3);
    }
    foldTail(images, offset, weights, count, e, elements, darken, maxima);
}

template <bool darken>
__attribute__((target("avx2"))) void foldAvx2(const uint8_t* const* images, size_t offset, const float* weights,
                                              int count, int elements, float* maxima) {
    int e = 0;
    for (; e + 32 <= elements; e += 32) {
        __m256 m0 = _mm256_loadu_ps(maxima + e), m1 = _mm256_loadu_ps(maxima + e + 8);
        __m256 m2 = _mm256_loadu_ps(maxima + e + 16), m3 = _mm256_loadu_ps(maxima + e + 24);
        for (int k = 0; k < count; ++k) {
            const __m256 w = _mm256_set1_ps(weights[k]);
            const uint8_t* bytes = images[k] + offset + e;
            m0 = _mm256_max_ps(m0, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<darken>(bytes))));
            m1 = _mm256_max_ps(m1, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<darken>(bytes + 8))));
            m2 = _mm256_max_ps(m2, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<darken>(bytes + 16))));
            m3 = _mm256_max_ps(m3, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<darken>(bytes + 24))));
        }
        _mm256_storeu_ps(maxima + e, m0);
        _mm256_storeu_ps(maxima + e + 8, m1);
        _mm256_storeu_ps(maxima + e + 16, m2);
        _mm256_storeu_ps(maxima + e + 24, m3);
    }
    foldTail(images, offset, weights, count, e, elements, darken, maxima);
}

template <bool darken>
__attribute__((target("avx2"))) void foldAvx2(const uint8_t* const* images, size_t offset, const double* weights,
                                              int count, int elements, double* maxima) {
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        __m256d m0 = _mm256_loadu_pd(maxima + e), m1 = _mm256_loadu_pd(maxima + e + 4);
        __m256d m2 = _mm256_loadu_pd(maxima + e + 8), m3 = _mm256_loadu_pd(maxima + e + 12);
        for (int k = 0; k < count; ++k) {
            const __m256d w = _mm256_set1_pd(weights[k]);
            const uint8_t* bytes = images[k] + offset + e;
            m0 = _mm256_max_pd(m0, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<darken>(bytes))));
            m1 = _mm256_max_pd(m1, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<darken>(bytes + 4))));
            m2 = _mm256_max_pd(m2, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<darken>(bytes + 8))));
            m3 = _mm256_max_pd(m3, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<darken>(bytes + 12))));
        }
        _mm256_storeu_pd(maxima + e, m0);
        _mm256_storeu_pd(maxima + e + 4, m1);
        _mm256_storeu_pd(maxima + e + 8, m2);
        _mm256_storeu_pd(maxima + e + 12, m3);
    }
    foldTail(images, offset, weights, count, e, elements, darken, maxima);
}

template <typename Real>
void fold(const uint8_t* const* images, size_t offset, const Real* weights, int count, int elements, bool darken,
          Real* maxima, bool wide) {
    if (wide && darken) {
        foldAvx2<true>(images, offset, weights, count, elements, maxima);
    } else if (wide) {
        foldAvx2<false>(images, offset, weights, count, elements, maxima);
    } else if (darken) {
        foldSse2<true>(images, offset, weights, count, elements, maxima);
    } else {
        foldSse2<false>(images, offset, weights, count, elements, maxima);
    }
}

// Truncation toward zero of values in 0 ... 255 (larger ones give 255); darken mirrors.
template <typename Real>
void truncateTail(const Real* maxima, int from, int elements, bool darken, uint8_t* out) {
    for (int e = from; e < elements; ++e) {
        const int value = maxima[e] >= Real(255) ? 255 : static_cast<int>(maxima[e]);
        out[e] = static_cast<uint8_t>(darken ? 255 - value : value);
    }
}

void truncateInto(const float* maxima, int elements, bool darken, uint8_t* out) {
    const __m128 high = _mm_set1_ps(255.0f);
    const __m128i flip = darken ? _mm_set1_epi8(-1) : _mm_setzero_si128();
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        __m128i q[4];
        for (int j = 0; j < 4; ++j) q[j] = _mm_cvttps_epi32(_mm_min_ps(_mm_loadu_ps(maxima + e + 4 * j), high));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), _mm_xor_si128(bytes, flip));
    }
    truncateTail(maxima, e, elements, darken, out);
}

void truncateInto(const double* maxima, int elements, bool darken, uint8_t* out) {
    const __m128d high = _mm_set1_pd(255.0);
    const __m128i flip = darken ? _mm_set1_epi8(-1) : _mm_setzero_si128();
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        __m128i q[4];
        for (int j = 0; j < 4; ++j) {
            const double* m = maxima + e + 4 * j;
            q[j] = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_min_pd(_mm_loadu_pd(m), high)),
                                      _mm_cvttpd_epi32(_mm_min_pd(_mm_loadu_pd(m + 2), high)));
        }
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), _mm_xor_si128(bytes, flip));
    }
    truncateTail(maxima, e, elements, darken, out);
}

template <typename Real>
void foldRows(const uint8_t* const* images, const Real* weights, int count, int stride, int width, int rows,
              bool darken, Real* maxima) {
    if (!images || !weights || !maxima || count <= 0 || width <= 0 || rows <= 0) return;
    const bool wide = useWideKernels();
    for (int r = 0; r < rows; ++r) {
        const size_t rowOffset = static_cast<size_t>(r) * stride;
        Real* row = maxima + static_cast<size_t>(r) * width * 3;
        for (int e0 = 0; e0 < 3 * width; e0 += kChunkElements) {
            const int elements = 3 * width - e0 < kChunkElements ? 3 * width - e0 : kChunkElements;
            fold(images, rowOffset + e0, weights, count, elements, darken, row + e0, wide);
        }
    }
}

template <typename Real>
void resultRows(const Real* maxima, int width, int rows, bool darken, uint8_t* result, int resultStride) {
    if (!maxima || !result || width <= 0 || rows <= 0) return;
    for (int r = 0; r < rows; ++r) {
        truncateInto(maxima + static_cast<size_t>(r) * width * 3, 3 * width, darken,
                     result + static_cast<size_t>(r) * resultStride);
    }
}

template <typename Real>
void wholeImages(const uint8_t* const* images, const Real* weights, int count, int stride, int width, int height,
                 bool darken, uint8_t* result, int resultStride) {
    if (!result || width <= 0 || height <= 0) return;
    if (count > 0 && (!images || !weights)) return;
    const bool wide = useWideKernels();
    alignas(16) Real maxima[kChunkElements];  // on any stack, so no 16-byte access splits a cache line
    for (int r = 0; r < height; ++r) {
        for (int e0 = 0; e0 < 3 * width; e0 += kChunkElements) {
            const int elements = 3 * width - e0 < kChunkElements ? 3 * width - e0 : kChunkElements;
            for (int e = 0; e < elements; ++e) maxima[e] = Real(0);
            if (count > 0) fold(images, static_cast<size_t>(r) * stride + e0, weights, count, elements, darken, maxima, wide);
            truncateInto(maxima, elements, darken, result + static_cast<size_t>(r) * resultStride + e0);
        }
    }
}

}  // namespace

void lightenRows(const uint8_t* const* images, const float* weights, int count, int stride, int width, int rows,
                 bool darken, float* maxima) {
    foldRows(images, weights, count, stride, width, rows, darken, maxima);
}
void lightenRows(const uint8_t* const* images, const double* weights, int count, int stride, int width, int rows,
                 bool darken, double* maxima) {
    foldRows(images, weights, count, stride, width, rows, darken, maxima);
}
void lightenResult(const float* maxima, int width, int rows, bool darken, uint8_t* result, int resultStride) {
    resultRows(maxima, width, rows, darken, result, resultStride);
}
void lightenResult(const double* maxima, int width, int rows, bool darken, uint8_t* result, int resultStride) {
    resultRows(maxima, width, rows, darken, result, resultStride);
}
void lightenImages(const uint8_t* const* images, const float* weights, int count, int stride, int width, int height,
                   bool darken, uint8_t* result, int resultStride) {
    wholeImages(images, weights, count, stride, width, height, darken, result, resultStride);
}
void lightenImages(const uint8_t* const* images, const double* weights, int count, int stride, int width, int height,
                   bool darken, uint8_t* result, int resultStride) {
    wholeImages(images, weights, count, stride, width, height, darken, result, resultStride);
}
