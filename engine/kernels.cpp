#include "engine/kernels.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cmath>

namespace {

// A row is worked on in chunks small enough to stay in the first-level cache: the
// chunk's sums are turned from red-first into the images' blue-first order once, every
// image of the call is added straight across bytes, and the sums are turned back.
const int kChunkPixels = 256;
const int kChunkElements = kChunkPixels * 3;

bool baselineOnly = false;

// Reverses each pixel's three elements: red, green, blue <-> blue, green, red.
template <typename T, typename U>
void swapChannels(const T* from, U* to, int pixels) {
    for (int x = 0; x < pixels; ++x) {
        to[3 * x] = from[3 * x + 2];
        to[3 * x + 1] = from[3 * x + 1];
        to[3 * x + 2] = from[3 * x];
    }
}

// sums[e] += weight * bytes[e], each product and sum rounded to Real.
void addBytesSse2(const uint8_t* bytes, int count, float weight, float* sums) {
    const __m128 w = _mm_set1_ps(weight);
    const __m128i zero = _mm_setzero_si128();
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + e));
        const __m128i lo = _mm_unpacklo_epi8(b, zero);
        const __m128i hi = _mm_unpackhi_epi8(b, zero);
        const __m128 v0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero));
        const __m128 v1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero));
        const __m128 v2 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero));
        const __m128 v3 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero));
        _mm_store_ps(sums + e, _mm_add_ps(_mm_load_ps(sums + e), _mm_mul_ps(w, v0)));
        _mm_store_ps(sums + e + 4, _mm_add_ps(_mm_load_ps(sums + e + 4), _mm_mul_ps(w, v1)));
        _mm_store_ps(sums + e + 8, _mm_add_ps(_mm_load_ps(sums + e + 8), _mm_mul_ps(w, v2)));
        _mm_store_ps(sums + e + 12, _mm_add_ps(_mm_load_ps(sums + e + 12), _mm_mul_ps(w, v3)));
    }
    for (; e < count; ++e) sums[e] += weight * static_cast<float>(bytes[e]);
}

void addBytesSse2(const uint8_t* bytes, int count, double weight, double* sums) {
    const __m128d w = _mm_set1_pd(weight);
    const __m128i zero = _mm_setzero_si128();
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + e));
        const __m128i lo = _mm_unpacklo_epi8(b, zero);
        const __m128i hi = _mm_unpackhi_epi8(b, zero);
        const __m128i q[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                              _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
        for (int j = 0; j < 4; ++j) {
            const __m128d a = _mm_cvtepi32_pd(q[j]);
            const __m128d c = _mm_cvtepi32_pd(_mm_shuffle_epi32(q[j], _MM_SHUFFLE(1, 0, 3, 2)));
            double* s = sums + e + 4 * j;
            _mm_store_pd(s, _mm_add_pd(_mm_load_pd(s), _mm_mul_pd(w, a)));
            _mm_store_pd(s + 2, _mm_add_pd(_mm_load_pd(s + 2), _mm_mul_pd(w, c)));
        }
    }
    for (; e < count; ++e) sums[e] += weight * static_cast<double>(bytes[e]);
}

__attribute__((target("avx2"))) void addBytesAvx2(const uint8_t* bytes, int count, float weight, float* sums) {
    const __m256 w = _mm256_set1_ps(weight);
    int e = 0;
    for (; e + 16 <= count; e += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + e));
        const __m256 v0 = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(b));
        const __m256 v1 = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_srli_si128(b, 8)));
        _mm256_storeu_ps(sums + e, _mm256_add_ps(_mm256_loadu_ps(sums + e), _mm256_mul_ps(w, v0)));
        _mm256_storeu_ps(sums + e + 8, _mm256_add_ps(_mm256_loadu_ps(sums + e + 8), _mm256_mul_ps(w, v1)));
    }
    for (; e < count; ++e) sums[e] += weight * static_cast<float>(bytes[e]);
}

__attribute__((target("avx2"))) void addBytesAvx2(const uint8_t* bytes, int count, double weight, double* sums) {
    const __m256d w = _mm256_set1_pd(weight);
    int e = 0;
    for (; e + 8 <= count; e += 8) {
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + e));
        const __m256d v0 = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(b));
        const __m256d v1 = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(b, 4)));
        _mm256_storeu_pd(sums + e, _mm256_add_pd(_mm256_loadu_pd(sums + e), _mm256_mul_pd(w, v0)));
        _mm256_storeu_pd(sums + e + 4, _mm256_add_pd(_mm256_loadu_pd(sums + e + 4), _mm256_mul_pd(w, v1)));
    }
    for (; e < count; ++e) sums[e] += weight * static_cast<double>(bytes[e]);
}

bool haveAvx2() {
    static const int supported = __builtin_cpu_supports("avx2") ? 1 : 0;
    return supported && !baselineOnly;
}

template <typename Real>
void addBytes(const uint8_t* bytes, int count, Real weight, Real* sums, bool wide) {
    if (wide) {
        addBytesAvx2(bytes, count, weight, sums);
    } else {
        addBytesSse2(bytes, count, weight, sums);
    }
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
            for (int k = 0; k < count; ++k) {
                addBytes(images[k] + rowOffset + 3 * static_cast<size_t>(x0), 3 * pixels, weights[k], sums, wide);
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

template <typename Real>
void normaliseImage(const Real* accumulator, Real weightSum, int width, int height, uint8_t* image, int stride) {
    if (!accumulator || !image || width <= 0 || height <= 0) return;
    const Real divisor = normaliseDivisor(weightSum);
    uint8_t bytes[kChunkElements];
    for (int r = 0; r < height; ++r) {
        const Real* row = accumulator + static_cast<size_t>(r) * width * 3;
        uint8_t* target = image + static_cast<size_t>(r) * stride;
        for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
            const int pixels = width - x0 < kChunkPixels ? width - x0 : kChunkPixels;
            quotientBytes(row + 3 * x0, 3 * pixels, divisor, bytes);
            swapChannels(bytes, target + 3 * x0, pixels);
        }
    }
}

}  // namespace

template <>
float sampleWeight<float>(int i, int n, float reducePer, int reduceFixed, int emphasisOn, int emphasisLevel) {
    if (n < 1 || i < 1 || i > n) return 0.0f;
    float weight = static_cast<float>(std::pow(static_cast<double>(i) / n, static_cast<double>(reducePer)));
    if (reduceFixed) {
        weight = 1.0f;
    } else if (emphasisOn) {
        // Below 0 the divisor could reach 0 or turn negative: such a level means no emphasis.
        const int level = emphasisLevel < 0 ? 0 : emphasisLevel;
        const float e = static_cast<float>(level) * 0.01f;
        const float divisor = static_cast<float>(n - i) * e + 1.0f;
        weight = weight / divisor;
    }
    return std::isfinite(weight) ? weight : 0.0f;
}

template <>
double sampleWeight<double>(int i, int n, float reducePer, int reduceFixed, int emphasisOn, int emphasisLevel) {
    if (n < 1 || i < 1 || i > n) return 0.0;
    double weight = std::pow(static_cast<double>(i) / n, static_cast<double>(reducePer));
    if (reduceFixed) {
        weight = 1.0;
    } else if (emphasisOn) {
        const int level = emphasisLevel < 0 ? 0 : emphasisLevel;
        const double e = level * 0.01;
        const double divisor = static_cast<double>(n - i) * e + 1.0;
        weight = weight / divisor;
    }
    return std::isfinite(weight) ? weight : 0.0;
}

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

void forceBaselineKernels(bool baseline) { baselineOnly = baseline; }
