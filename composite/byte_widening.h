#pragma once
// Sample bytes widened for the vector kernels of the mean and of lighten/darken. With
// `complement` each byte s becomes 255 - s first (darken keeps the largest complement).
#include <emmintrin.h>
#include <immintrin.h>

#include <cstdint>
#include <cstring>

// Eight bytes widened to 16-bit words. The float kernels take 16 bytes as two such halves,
// so only one half is live at a time: the 32-bit build's 8 vector registers then hold the
// four sums, the weight, zero and the half (16 bytes at once spilled a sum every image).
template <bool complement>
inline __m128i widenHalf(const uint8_t* bytes) {
    __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
    if (complement) b = _mm_xor_si128(b, _mm_set1_epi8(-1));
    return _mm_unpacklo_epi8(b, _mm_setzero_si128());
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
