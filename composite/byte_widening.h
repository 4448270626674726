#pragma once
// Sample bytes widened for the vector kernels of the mean and of lighten/darken. With
// `complement` each byte s becomes 255 - s first (darken keeps the largest complement).
#include <emmintrin.h>
#include <immintrin.h>

#include <cstdint>
#include <cstring>

// The SSE2 float kernels (the mean's sums, lighten/darken's maxima) take a chunk's images
// kWeightBatch at a time, each weight broadcast once for the chunk rather than once per
// image and 16 bytes, and widen the bytes in one of two ways. A batch of kTransposedBatch
// images or more takes 16 bytes in one load and splits them by shifts and masks
// (everyFourthByte), with the four running values held transposed to match; the two
// transposes cost 16 shuffles per 16 elements, which fewer images do not repay (on an AMD
// EPYC, Zen 3, both builds: the split path 10 to 18 % faster at 15 images, about level at 4
// to 6, up to 1.5x slower at 1 or 2), so smaller batches widen the bytes in order (widenHalf).
const int kWeightBatch = 16;
const int kTransposedBatch = 6;

// Eight bytes widened to 16-bit words, in order. Only one half of 16 bytes is live at a
// time: the 32-bit build's 8 vector registers then hold the four running values, zero, the
// half and a product (16 bytes at once spilled a value every image).
template <bool complement>
inline __m128i widenHalf(const uint8_t* bytes) {
    __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
    if (complement) b = _mm_xor_si128(b, _mm_set1_epi8(-1));
    return _mm_unpacklo_epi8(b, _mm_setzero_si128());
}

// Byte j of each of the four dwords of 16 bytes, as 32-bit integers: lane i is byte 4i + j,
// so value j of a transposed block (elements j, j + 4, j + 8, j + 12) takes it. Shifts and
// masks leave the shuffle units to the float work, and no zero register is held: in the
// 32-bit build the four values, the bytes, the mask and a product fit the 8 vector registers.
template <int j, bool complement>
inline __m128i everyFourthByte(__m128i dwords) {
    const __m128i low = _mm_set1_epi32(255);
    const __m128i shifted = j == 0 ? dwords : _mm_srli_epi32(dwords, 8 * j);
    if (complement) return _mm_andnot_si128(shifted, low);  // 255 - s is the low byte of ~s
    return j == 3 ? shifted : _mm_and_si128(shifted, low);
}

// Eight bytes widened to 32-bit integers. The complement is taken after the widening, in
// 32-bit lanes (255 - s is s ^ 255 there): the load then folds into the widening, one
// instruction fewer per 8 bytes.
template <bool complement>
__attribute__((target("avx2"))) inline __m256i widen8(const uint8_t* bytes) {
    const __m256i wide = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)));
    return complement ? _mm256_xor_si256(wide, _mm256_set1_epi32(255)) : wide;
}

// Four bytes widened to 32-bit integers.
template <bool complement>
__attribute__((target("avx2"))) inline __m128i widen4(const uint8_t* bytes) {
    int32_t four;
    std::memcpy(&four, bytes, 4);
    const __m128i wide = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(four));
    return complement ? _mm_xor_si128(wide, _mm_set1_epi32(255)) : wide;
}

// How a float kernel folds a weighted sample into its running values: the mean adds, lighten
// and darken keep the larger.
struct AddProducts {
    static __m128 fold(__m128 running, __m128 product) { return _mm_add_ps(running, product); }
};
struct KeepLarger {
    static __m128 fold(__m128 running, __m128 product) { return _mm_max_ps(running, product); }
};

// running[e] = Fold(running[e], w[k] x s_k[offset + e]) for a batch of images (their weights
// broadcast in w), 16 elements at a time, the bytes widened in order; returns the first
// element not folded.
template <bool complement, typename Fold>
int foldInOrder(const uint8_t* const* images, size_t offset, const __m128* w, int count, int elements,
                float* running) {
    const __m128i zero = _mm_setzero_si128();
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        __m128 r0 = _mm_loadu_ps(running + e), r1 = _mm_loadu_ps(running + e + 4);
        __m128 r2 = _mm_loadu_ps(running + e + 8), r3 = _mm_loadu_ps(running + e + 12);
        for (int k = 0; k < count; ++k) {
            const uint8_t* bytes = images[k] + offset + e;
            const __m128i lo = widenHalf<complement>(bytes);
            r0 = Fold::fold(r0, _mm_mul_ps(w[k], _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero))));
            r1 = Fold::fold(r1, _mm_mul_ps(w[k], _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero))));
            const __m128i hi = widenHalf<complement>(bytes + 8);
            r2 = Fold::fold(r2, _mm_mul_ps(w[k], _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero))));
            r3 = Fold::fold(r3, _mm_mul_ps(w[k], _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero))));
        }
        _mm_storeu_ps(running + e, r0);
        _mm_storeu_ps(running + e + 4, r1);
        _mm_storeu_ps(running + e + 8, r2);
        _mm_storeu_ps(running + e + 12, r3);
    }
    return e;
}

// The same with every fourth byte and the running values transposed while the batch is folded.
template <bool complement, typename Fold>
int foldTransposed(const uint8_t* const* images, size_t offset, const __m128* w, int count, int elements,
                   float* running) {
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        __m128 r0 = _mm_loadu_ps(running + e), r1 = _mm_loadu_ps(running + e + 4);
        __m128 r2 = _mm_loadu_ps(running + e + 8), r3 = _mm_loadu_ps(running + e + 12);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);  // r_j: elements j, j + 4, j + 8, j + 12
        for (int k = 0; k < count; ++k) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(images[k] + offset + e));
            r0 = Fold::fold(r0, _mm_mul_ps(w[k], _mm_cvtepi32_ps(everyFourthByte<0, complement>(bytes))));
            r1 = Fold::fold(r1, _mm_mul_ps(w[k], _mm_cvtepi32_ps(everyFourthByte<1, complement>(bytes))));
            r2 = Fold::fold(r2, _mm_mul_ps(w[k], _mm_cvtepi32_ps(everyFourthByte<2, complement>(bytes))));
            r3 = Fold::fold(r3, _mm_mul_ps(w[k], _mm_cvtepi32_ps(everyFourthByte<3, complement>(bytes))));
        }
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_storeu_ps(running + e, r0);
        _mm_storeu_ps(running + e + 4, r1);
        _mm_storeu_ps(running + e + 8, r2);
        _mm_storeu_ps(running + e + 12, r3);
    }
    return e;
}
