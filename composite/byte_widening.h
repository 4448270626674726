#pragma once
// Sample bytes widened for the vector kernels of the mean and of lighten/darken. With
// `complement` each byte s becomes 255 - s first (darken keeps the largest complement).
#include <emmintrin.h>
#include <immintrin.h>

#include <cstdint>
#include <cstring>

// The SSE2 float kernels take 16 bytes as four dwords, and from them byte j of every dword
// as 32-bit integers: lane i of everyFourthByte<j> is byte 4i + j. Their sums are held
// transposed to match (sum j holds elements j, j + 4, j + 8, j + 12) while the images are
// added, and turned back before they are stored. Shifts and masks leave the shuffle units
// to the float work, one load serves 16 bytes, and no zero register is held: in the 32-bit
// build the four sums, the bytes, the mask and one product then fit the 8 vector registers.
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
