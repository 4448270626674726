#include "composite/mean_kernel.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cmath>
#include <cstring>

#include "composite/byte_widening.h"
#include "composite/portable_pow.h"

namespace {

// A row is worked on in chunks small enough to stay in the first-level cache: the
// chunk's sums are turned from red-first into the images' blue-first order once, every
// image of the call is added straight across bytes, and the sums are turned back.
const int kChunkPixels = 256;
const int kChunkElements = kChunkPixels * 3;

bool baselineOnly = false;

// Reverses each pixel's three elements: red, green, blue <-> blue, green, red.
template <typename Real>
void swapChannels(const Real* from, Real* to, int pixels) {
    for (int x = 0; x < pixels; ++x) {
        to[3 * x] = from[3 * x + 2];
        to[3 * x + 1] = from[3 * x + 1];
        to[3 * x + 2] = from[3 * x];
    }
}

// The same for floats, four pixels (three vectors) at a time:
// [r0 g0 b0 r1] [g1 b1 r2 g2] [b2 r3 g3 b3] -> [b0 g0 r0 b1] [g1 r1 b2 g2] [r2 b3 g3 r3].
// The 32-bit compiler copied floats one by one here, twice the loads and stores of the
// 64-bit one's pairs, which made the 32-bit accumulate path up to 1.7x slower.
void swapChannels(const float* from, float* to, int pixels) {
    int x = 0;
    for (; x + 4 <= pixels; x += 4) {
        const __m128 a = _mm_loadu_ps(from + 3 * x);
        const __m128 b = _mm_loadu_ps(from + 3 * x + 4);
        const __m128 c = _mm_loadu_ps(from + 3 * x + 8);
        const __m128 a0b1 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 0, 0));
        const __m128 b0a3 = _mm_shuffle_ps(b, a, _MM_SHUFFLE(3, 3, 0, 0));
        const __m128 c0b3 = _mm_shuffle_ps(c, b, _MM_SHUFFLE(3, 3, 0, 0));
        const __m128 b2c3 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(3, 3, 2, 2));
        _mm_storeu_ps(to + 3 * x, _mm_shuffle_ps(a, a0b1, _MM_SHUFFLE(2, 0, 1, 2)));
        _mm_storeu_ps(to + 3 * x + 4, _mm_shuffle_ps(b0a3, c0b3, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(to + 3 * x + 8, _mm_shuffle_ps(b2c3, c, _MM_SHUFFLE(1, 2, 2, 0)));
    }
    swapChannels<float>(from + 3 * x, to + 3 * x, pixels - x);
}

// The elements from `from` on, one at a time, as the vector loops add them.
template <typename Real>
void addTail(const uint8_t* const* images, size_t offset, const Real* weights, int count, int from, int elements,
             Real* sums) {
    for (int e = from; e < elements; ++e) {
        Real sum = sums[e];
        for (int k = 0; k < count; ++k) sum += weights[k] * static_cast<Real>(images[k][offset + e]);
        sums[e] = sum;
    }
}

// sums[e] += weights[k] * images[k][offset + e] for k = 0 .. count - 1 in that order,
// each product and sum rounded to the sums' precision. The sums of a few vectors stay
// in registers while every image is added, so each sum is loaded and stored once (the
// float kernel: once per batch of images, as byte_widening.h describes).
void addImagesSse2(const uint8_t* const* images, size_t offset, const float* weights, int count, int elements,
                   float* sums) {
    alignas(16) __m128 w[kWeightBatch];
    for (int first = 0; first < count; first += kWeightBatch) {
        const int batch = count - first < kWeightBatch ? count - first : kWeightBatch;
        for (int k = 0; k < batch; ++k) w[k] = _mm_set1_ps(weights[first + k]);
        const int done = batch < kTransposedBatch
                             ? foldInOrder<false, AddProducts>(images + first, offset, w, batch, elements, sums)
                             : foldTransposed<false, AddProducts>(images + first, offset, w, batch, elements, sums);
        addTail(images + first, offset, weights + first, batch, done, elements, sums);
    }
}

void addImagesSse2(const uint8_t* const* images, size_t offset, const double* weights, int count, int elements,
                   double* sums) {
    const __m128i zero = _mm_setzero_si128();
    int e = 0;
    for (; e + 8 <= elements; e += 8) {
        __m128d s0 = _mm_load_pd(sums + e), s1 = _mm_load_pd(sums + e + 2);
        __m128d s2 = _mm_load_pd(sums + e + 4), s3 = _mm_load_pd(sums + e + 6);
        for (int k = 0; k < count; ++k) {
            const __m128d w = _mm_set1_pd(weights[k]);
            const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(images[k] + offset + e));
            const __m128i words = _mm_unpacklo_epi8(b, zero);
            const __m128i lo = _mm_unpacklo_epi16(words, zero);
            const __m128i hi = _mm_unpackhi_epi16(words, zero);
            s0 = _mm_add_pd(s0, _mm_mul_pd(w, _mm_cvtepi32_pd(lo)));
            s1 = _mm_add_pd(s1, _mm_mul_pd(w, _mm_cvtepi32_pd(_mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 0, 3, 2)))));
            s2 = _mm_add_pd(s2, _mm_mul_pd(w, _mm_cvtepi32_pd(hi)));
            s3 = _mm_add_pd(s3, _mm_mul_pd(w, _mm_cvtepi32_pd(_mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 0, 3, 2)))));
        }
        _mm_store_pd(sums + e, s0);
        _mm_store_pd(sums + e + 2, s1);
        _mm_store_pd(sums + e + 4, s2);
        _mm_store_pd(sums + e + 6, s3);
    }
    addTail(images, offset, weights, count, e, elements, sums);
}

__attribute__((target("avx2"))) void addImagesAvx2(const uint8_t* const* images, size_t offset,
                                                   const float* weights, int count, int elements, float* sums) {
    int e = 0;
    for (; e + 32 <= elements; e += 32) {
        __m256 s0 = _mm256_loadu_ps(sums + e), s1 = _mm256_loadu_ps(sums + e + 8);
        __m256 s2 = _mm256_loadu_ps(sums + e + 16), s3 = _mm256_loadu_ps(sums + e + 24);
        for (int k = 0; k < count; ++k) {
            const __m256 w = _mm256_set1_ps(weights[k]);
            const uint8_t* bytes = images[k] + offset + e;
            s0 = _mm256_add_ps(s0, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<false>(bytes))));
            s1 = _mm256_add_ps(s1, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<false>(bytes + 8))));
            s2 = _mm256_add_ps(s2, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<false>(bytes + 16))));
            s3 = _mm256_add_ps(s3, _mm256_mul_ps(w, _mm256_cvtepi32_ps(widen8<false>(bytes + 24))));
        }
        _mm256_storeu_ps(sums + e, s0);
        _mm256_storeu_ps(sums + e + 8, s1);
        _mm256_storeu_ps(sums + e + 16, s2);
        _mm256_storeu_ps(sums + e + 24, s3);
    }
    addTail(images, offset, weights, count, e, elements, sums);
}

__attribute__((target("avx2"))) void addImagesAvx2(const uint8_t* const* images, size_t offset,
                                                   const double* weights, int count, int elements, double* sums) {
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        __m256d s0 = _mm256_loadu_pd(sums + e), s1 = _mm256_loadu_pd(sums + e + 4);
        __m256d s2 = _mm256_loadu_pd(sums + e + 8), s3 = _mm256_loadu_pd(sums + e + 12);
        for (int k = 0; k < count; ++k) {
            const __m256d w = _mm256_set1_pd(weights[k]);
            const uint8_t* bytes = images[k] + offset + e;
            s0 = _mm256_add_pd(s0, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<false>(bytes))));
            s1 = _mm256_add_pd(s1, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<false>(bytes + 4))));
            s2 = _mm256_add_pd(s2, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<false>(bytes + 8))));
            s3 = _mm256_add_pd(s3, _mm256_mul_pd(w, _mm256_cvtepi32_pd(widen4<false>(bytes + 12))));
        }
        _mm256_storeu_pd(sums + e, s0);
        _mm256_storeu_pd(sums + e + 4, s1);
        _mm256_storeu_pd(sums + e + 8, s2);
        _mm256_storeu_pd(sums + e + 12, s3);
    }
    addTail(images, offset, weights, count, e, elements, sums);
}

bool haveAvx2() {
    static const int supported = __builtin_cpu_supports("avx2") ? 1 : 0;
    return supported && !baselineOnly;
}

template <typename Real>
void accumulateImages(const uint8_t* const* images, const Real* weights, int count, int stride, int width,
                      int height, Real* accumulator) {
    if (!images || !weights || !accumulator || count <= 0 || width <= 0 || height <= 0) return;
    const bool wide = haveAvx2();
    alignas(16) Real sums[kChunkElements];
    for (int r = 0; r < height; ++r) {
        Real* row = accumulator + static_cast<size_t>(r) * width * 3;
        const size_t rowOffset = static_cast<size_t>(r) * stride;
        for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
            const int pixels = width - x0 < kChunkPixels ? width - x0 : kChunkPixels;
            swapChannels(row + 3 * x0, sums, pixels);
            const size_t offset = rowOffset + 3 * static_cast<size_t>(x0);
            if (wide) {
                addImagesAvx2(images, offset, weights, count, 3 * pixels, sums);
            } else {
                addImagesSse2(images, offset, weights, count, 3 * pixels, sums);
            }
            swapChannels(sums, row + 3 * x0, pixels);
        }
    }
}

// Truncation toward zero, clamped to 0 .. 255; not-a-number gives 0. The vector
// code below does the same with max, min and a truncating conversion.
template <typename Real>
uint8_t toByte(Real value) {
    if (!(value > Real(0))) return 0;
    if (value >= Real(255)) return 255;
    return static_cast<uint8_t>(static_cast<int>(value));
}

void quotientBytes(const float* sums, int count, float divisor, uint8_t* out) {
    const __m128 d = _mm_set1_ps(divisor);
    const __m128 low = _mm_setzero_ps();
    const __m128 high = _mm_set1_ps(255.0f);
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        __m128i q[4];
        for (int j = 0; j < 4; ++j) {
            // max(x, 0) returns 0 for not-a-number: the second operand wins.
            const __m128 v = _mm_div_ps(_mm_loadu_ps(sums + e + 4 * j), d);
            q[j] = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(v, low), high));
        }
        const __m128i words = _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), words);
    }
    for (; e < count; ++e) out[e] = toByte(sums[e] / divisor);
}

void quotientBytes(const double* sums, int count, double divisor, uint8_t* out) {
    const __m128d d = _mm_set1_pd(divisor);
    const __m128d low = _mm_setzero_pd();
    const __m128d high = _mm_set1_pd(255.0);
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        __m128i q[4];
        for (int j = 0; j < 4; ++j) {
            const double* s = sums + e + 4 * j;
            const __m128d a = _mm_div_pd(_mm_loadu_pd(s), d);
            const __m128d b = _mm_div_pd(_mm_loadu_pd(s + 2), d);
            q[j] = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(a, low), high)),
                                      _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(b, low), high)));
        }
        const __m128i words = _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), words);
    }
    for (; e < count; ++e) out[e] = toByte(sums[e] / divisor);
}

__attribute__((target("avx2"))) void quotientBytesAvx2(const float* sums, int count, float divisor, uint8_t* out) {
    const __m256 d = _mm256_set1_ps(divisor);
    const __m256 low = _mm256_setzero_ps();
    const __m256 high = _mm256_set1_ps(255.0f);
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        const __m256 a = _mm256_div_ps(_mm256_loadu_ps(sums + e), d);
        const __m256 b = _mm256_div_ps(_mm256_loadu_ps(sums + e + 8), d);
        const __m256i qa = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(a, low), high));
        const __m256i qb = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(b, low), high));
        const __m128i wordsA = _mm_packs_epi32(_mm256_castsi256_si128(qa), _mm256_extracti128_si256(qa, 1));
        const __m128i wordsB = _mm_packs_epi32(_mm256_castsi256_si128(qb), _mm256_extracti128_si256(qb, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), _mm_packus_epi16(wordsA, wordsB));
    }
    for (; e < count; ++e) out[e] = toByte(sums[e] / divisor);
}

__attribute__((target("avx2"))) void quotientBytesAvx2(const double* sums, int count, double divisor,
                                                       uint8_t* out) {
    const __m256d d = _mm256_set1_pd(divisor);
    const __m256d low = _mm256_setzero_pd();
    const __m256d high = _mm256_set1_pd(255.0);
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        __m128i q[4];
        for (int j = 0; j < 4; ++j) {
            const __m256d v = _mm256_div_pd(_mm256_loadu_pd(sums + e + 4 * j), d);
            q[j] = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(v, low), high));
        }
        const __m128i words = _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), words);
    }
    for (; e < count; ++e) out[e] = toByte(sums[e] / divisor);
}

template <typename Real>
void quotients(const Real* sums, int count, Real divisor, uint8_t* out, bool wide) {
    if (wide) {
        quotientBytesAvx2(sums, count, divisor, out);
    } else {
        quotientBytes(sums, count, divisor, out);
    }
}

template <typename Real>
void normaliseImage(const Real* accumulator, Real weightSum, int width, int height, uint8_t* image, int stride) {
    if (!accumulator || !image || width <= 0 || height <= 0) return;
    const Real divisor = normaliseDivisor(weightSum);
    const bool wide = haveAvx2();
    alignas(16) Real sums[kChunkElements];
    for (int r = 0; r < height; ++r) {
        const Real* row = accumulator + static_cast<size_t>(r) * width * 3;
        uint8_t* target = image + static_cast<size_t>(r) * stride;
        for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
            const int pixels = width - x0 < kChunkPixels ? width - x0 : kChunkPixels;
            swapChannels(row + 3 * x0, sums, pixels);
            quotients(sums, 3 * pixels, divisor, target + 3 * x0, wide);
        }
    }
}

// The whole composite, chunk by chunk: the chunk's sums start at 0 and stay in the
// images' own blue-first order, since they never leave this function.
template <typename Real>
void compositeChunks(const uint8_t* const* images, const Real* weights, int count, int stride, int width, int height,
                     Real weightSum, uint8_t* result, int resultStride) {
    if (!result || width <= 0 || height <= 0) return;
    if (count > 0 && (!images || !weights)) return;
    const bool wide = haveAvx2();
    const Real divisor = normaliseDivisor(weightSum);
    alignas(16) Real sums[kChunkElements];
    for (int r = 0; r < height; ++r) {
        for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
            const int elements = 3 * (width - x0 < kChunkPixels ? width - x0 : kChunkPixels);
            const size_t offset = static_cast<size_t>(r) * stride + 3 * static_cast<size_t>(x0);
            for (int e = 0; e < elements; ++e) sums[e] = Real(0);
            if (wide) {
                addImagesAvx2(images, offset, weights, count, elements, sums);
            } else {
                addImagesSse2(images, offset, weights, count, elements, sums);
            }
            quotients(sums, elements, divisor, result + static_cast<size_t>(r) * resultStride + 3 * x0, wide);
        }
    }
}

}  // namespace

void compositeImages(const uint8_t* const* images, const float* weights, int count, int stride, int width,
                     int height, float weightSum, uint8_t* result, int resultStride) {
    compositeChunks(images, weights, count, stride, width, height, weightSum, result, resultStride);
}

void compositeImages(const uint8_t* const* images, const double* weights, int count, int stride, int width,
                     int height, double weightSum, uint8_t* result, int resultStride) {
    compositeChunks(images, weights, count, stride, width, height, weightSum, result, resultStride);
}

template <typename Real>
Real sampleWeight(int i, int n, float reducePer, int reduceFixed, int emphasisOn, int emphasisLevel) {
    if (n < 1 || i < 1 || i > n) return 0;
    // The power is taken in double, the same bits on every build, and rounded once to the
    // precision of the sums.
    Real weight = static_cast<Real>(portablePow(static_cast<double>(i) / n, static_cast<double>(reducePer)));
    if (reduceFixed) {
        weight = 1;
    } else if (emphasisOn) {
        // Below 0 the divisor could reach 0 or turn negative: such a level means no emphasis.
        const int level = emphasisLevel < 0 ? 0 : emphasisLevel;
        const Real e = static_cast<Real>(level) * static_cast<Real>(0.01);
        const Real divisor = static_cast<Real>(n - i) * e + 1;
        weight = weight / divisor;
    }
    return std::isfinite(weight) ? weight : 0;
}

template float sampleWeight<float>(int, int, float, int, int, int);
template double sampleWeight<double>(int, int, float, int, int, int);

void accumulateRows(const uint8_t* image, int stride, int width, int height, float weight, float* accumulator) {
    accumulateImages(&image, &weight, 1, stride, width, height, accumulator);
}

void accumulateRows(const uint8_t* image, int stride, int width, int height, double weight, double* accumulator) {
    accumulateImages(&image, &weight, 1, stride, width, height, accumulator);
}

void accumulateRows(const uint8_t* const* images, const float* weights, int count, int stride, int width,
                    int height, float* accumulator) {
    accumulateImages(images, weights, count, stride, width, height, accumulator);
}

void accumulateRows(const uint8_t* const* images, const double* weights, int count, int stride, int width,
                    int height, double* accumulator) {
    accumulateImages(images, weights, count, stride, width, height, accumulator);
}

float normaliseDivisor(float weightSum) { return weightSum >= 1e-6f ? weightSum : 1.0f; }

double normaliseDivisor(double weightSum) { return weightSum >= static_cast<double>(1e-6f) ? weightSum : 1.0; }

void normaliseRows(const float* accumulator, float weightSum, int width, int height, uint8_t* image, int stride) {
    normaliseImage(accumulator, weightSum, width, height, image, stride);
}

void normaliseRows(const double* accumulator, double weightSum, int width, int height, uint8_t* image,
                   int stride) {
    normaliseImage(accumulator, weightSum, width, height, image, stride);
}

const char* kernelPath() { return haveAvx2() ? "avx2" : "sse2"; }

bool useWideKernels() { return haveAvx2(); }

void forceBaselineKernels(bool baseline) { baselineOnly = baseline; }
