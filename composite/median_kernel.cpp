#include "composite/median_kernel.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "composite/mean_kernel.h"

namespace {

struct Comparator {
    int low;   // gets the smaller value
    int high;  // gets the larger
};

// Batcher's odd-even merge sort over the indices lo ... hi (both included).
void oddEvenMerge(int lo, int hi, int r, std::vector<Comparator>& out) {
    const int step = r * 2;
    if (step < hi - lo) {
        oddEvenMerge(lo, hi, step, out);
        oddEvenMerge(lo + r, hi, step, out);
        for (int i = lo + r; i < hi - r; i += step) out.push_back({i, i + r});
    } else {
        out.push_back({lo, lo + r});
    }
}

void oddEvenMergeSort(int lo, int hi, std::vector<Comparator>& out) {
    if (hi - lo < 1) return;
    const int mid = lo + (hi - lo) / 2;
    oddEvenMergeSort(lo, mid, out);
    oddEvenMergeSort(mid + 1, hi, out);
    oddEvenMerge(lo, hi, 1, out);
}

// The comparisons that decide output (count - 1) / 2 of a sorting network for `count`
// values. The network sorts a power of two of them; the places past `count` would hold
// the largest value, which no comparison moves, so those comparisons go.
std::vector<Comparator> medianNetwork(int count) {
    int size = 1;
    while (size < count) size *= 2;
    std::vector<Comparator> all;
    oddEvenMergeSort(0, size - 1, all);
    std::vector<bool> needed(static_cast<size_t>(size), false);
    needed[static_cast<size_t>((count - 1) / 2)] = true;
    std::vector<Comparator> kept;
    for (auto c = all.rbegin(); c != all.rend(); ++c) {
        if (c->high >= count || (!needed[c->low] && !needed[c->high])) continue;
        needed[c->low] = needed[c->high] = true;
        kept.push_back(*c);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

const std::vector<Comparator>& networkFor(int count) {
    static std::vector<Comparator> networks[kMedianNetworkLimit + 1];
    static bool made[kMedianNetworkLimit + 1] = {};
    if (!made[count]) {
        networks[count] = medianNetwork(count);
        made[count] = true;
    }
    return networks[count];
}

uint8_t medianOfValues(uint8_t* values, int count) {
    std::nth_element(values, values + (count - 1) / 2, values + count);
    return values[(count - 1) / 2];
}

void networkTail(const uint8_t* const* images, int count, size_t offset, int from, int elements, uint8_t* out) {
    uint8_t values[kMedianNetworkLimit];
    for (int e = from; e < elements; ++e) {
        for (int k = 0; k < count; ++k) values[k] = images[k][offset + e];
        out[e] = medianOfValues(values, count);
    }
}

void networkSse2(const uint8_t* const* images, int count, size_t offset, int elements,
                 const std::vector<Comparator>& network, uint8_t* out) {
    __m128i v[kMedianNetworkLimit];
    int e = 0;
    for (; e + 16 <= elements; e += 16) {
        for (int k = 0; k < count; ++k) v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(images[k] + offset + e));
        for (const Comparator& c : network) {
            const __m128i a = v[c.low];
            v[c.low] = _mm_min_epu8(a, v[c.high]);
            v[c.high] = _mm_max_epu8(a, v[c.high]);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), v[(count - 1) / 2]);
    }
    networkTail(images, count, offset, e, elements, out);
}

__attribute__((target("avx2"))) void networkAvx2(const uint8_t* const* images, int count, size_t offset,
                                                 int elements, const std::vector<Comparator>& network, uint8_t* out) {
    __m256i v[kMedianNetworkLimit];
    int e = 0;
    for (; e + 32 <= elements; e += 32) {
        for (int k = 0; k < count; ++k) {
            v[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(images[k] + offset + e));
        }
        for (const Comparator& c : network) {
            const __m256i a = v[c.low];
            v[c.low] = _mm256_min_epu8(a, v[c.high]);
            v[c.high] = _mm256_max_epu8(a, v[c.high]);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + e), v[(count - 1) / 2]);
    }
    networkTail(images, count, offset, e, elements, out);
}

// Many samples: a bitwise radix select. The median is the largest value with at most
// `middle` samples below it, so its bits are settled from the highest down: a bit is kept
// when no more than `middle` samples lie below the bits so far with it set.
//
// A block of a row's elements at a time: its bytes of every sample are first copied side
// by side (the samples lie far apart, and their lines would crowd the same cache sets),
// with the top bit flipped so that a signed compare orders them as bytes; the copy then
// stays in cache across the eight passes. Counts go up in 8-bit lanes, into 32-bit sums
// every 255 samples.
const int kCountRun = 255;
// Bytes ahead of the block that each sample's next lines are asked for.
const int kPrefetchAhead = 128;

// Flips the top bit of `bytes` bytes of every sample into the block copy, `block` bytes
// a sample.
void gatherBlock(const uint8_t* const* images, int count, size_t at, int bytes, int block, uint8_t* copy) {
    const __m128i flip = _mm_set1_epi8(-128);
    for (int k = 0; k < count; ++k) {
        const uint8_t* from = images[k] + at;
        // A thousand streams are more than the processor follows by itself.
        _mm_prefetch(reinterpret_cast<const char*>(from + kPrefetchAhead), _MM_HINT_T0);
        uint8_t* to = copy + static_cast<size_t>(k) * block;
        if (bytes < block) {
            for (int i = 0; i < bytes; ++i) to[i] = static_cast<uint8_t>(from[i] ^ 0x80);
            continue;
        }
        for (int i = 0; i < block; i += 16) {
            const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            _mm_store_si128(reinterpret_cast<__m128i*>(to + i), _mm_xor_si128(values, flip));
        }
    }
}

// Adds 16 8-bit counts to four vectors of 32-bit sums, in the order the packs undo.
void addCountsSse2(__m128i counts, __m128i* sums) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(counts, zero), high = _mm_unpackhi_epi8(counts, zero);
    sums[0] = _mm_add_epi32(sums[0], _mm_unpacklo_epi16(low, zero));
    sums[1] = _mm_add_epi32(sums[1], _mm_unpackhi_epi16(low, zero));
    sums[2] = _mm_add_epi32(sums[2], _mm_unpacklo_epi16(high, zero));
    sums[3] = _mm_add_epi32(sums[3], _mm_unpackhi_epi16(high, zero));
}

// 0xFF where more than `middle` samples lie below, from the four vectors of sums.
__m128i tooManyBelowSse2(const __m128i* sums, __m128i middle) {
    const __m128i low = _mm_packs_epi32(_mm_cmpgt_epi32(sums[0], middle), _mm_cmpgt_epi32(sums[1], middle));
    const __m128i high = _mm_packs_epi32(_mm_cmpgt_epi32(sums[2], middle), _mm_cmpgt_epi32(sums[3], middle));
    return _mm_packs_epi16(low, high);
}

const int kBlockSse2 = 32;

// The medians of one block of 32 elements from its copy (kBlockSse2 bytes a sample).
void selectBlockSse2(const uint8_t* copy, int count, uint8_t* out) {
    const __m128i flip = _mm_set1_epi8(-128), zero = _mm_setzero_si128();
    const __m128i middle = _mm_set1_epi32((count - 1) / 2);
    __m128i median0 = zero, median1 = zero;
    for (int bit = 0x80; bit; bit >>= 1) {
        const __m128i bits = _mm_set1_epi8(static_cast<char>(bit));
        const __m128i candidate0 = _mm_xor_si128(_mm_or_si128(median0, bits), flip);
        const __m128i candidate1 = _mm_xor_si128(_mm_or_si128(median1, bits), flip);
        __m128i sums[8] = {zero, zero, zero, zero, zero, zero, zero, zero};
        for (int first = 0; first < count; first += kCountRun) {
            const int last = count - first < kCountRun ? count : first + kCountRun;
            __m128i below0 = zero, below1 = zero;
            for (int k = first; k < last; ++k) {
                const __m128i* values = reinterpret_cast<const __m128i*>(copy + static_cast<size_t>(k) * kBlockSse2);
                below0 = _mm_sub_epi8(below0, _mm_cmpgt_epi8(candidate0, _mm_load_si128(values)));
                below1 = _mm_sub_epi8(below1, _mm_cmpgt_epi8(candidate1, _mm_load_si128(values + 1)));
            }
            addCountsSse2(below0, sums);
            addCountsSse2(below1, sums + 4);
        }
        median0 = _mm_or_si128(median0, _mm_andnot_si128(tooManyBelowSse2(sums, middle), bits));
        median1 = _mm_or_si128(median1, _mm_andnot_si128(tooManyBelowSse2(sums + 4, middle), bits));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), median0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + 1, median1);
}

const int kBlockAvx2 = 64;

// Lanes of 128 bits, as addCountsSse2 and tooManyBelowSse2.
__attribute__((target("avx2"))) void addCountsAvx2(__m256i counts, __m256i* sums) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_unpacklo_epi8(counts, zero), high = _mm256_unpackhi_epi8(counts, zero);
    sums[0] = _mm256_add_epi32(sums[0], _mm256_unpacklo_epi16(low, zero));
    sums[1] = _mm256_add_epi32(sums[1], _mm256_unpackhi_epi16(low, zero));
    sums[2] = _mm256_add_epi32(sums[2], _mm256_unpacklo_epi16(high, zero));
    sums[3] = _mm256_add_epi32(sums[3], _mm256_unpackhi_epi16(high, zero));
}

__attribute__((target("avx2"))) __m256i tooManyBelowAvx2(const __m256i* sums, __m256i middle) {
    const __m256i low = _mm256_packs_epi32(_mm256_cmpgt_epi32(sums[0], middle), _mm256_cmpgt_epi32(sums[1], middle));
    const __m256i high = _mm256_packs_epi32(_mm256_cmpgt_epi32(sums[2], middle), _mm256_cmpgt_epi32(sums[3], middle));
    return _mm256_packs_epi16(low, high);
}

// The medians of one block of 64 elements from its copy (kBlockAvx2 bytes a sample).
__attribute__((target("avx2"))) void selectBlockAvx2(const uint8_t* copy, int count, uint8_t* out) {
    const __m256i flip = _mm256_set1_epi8(-128), zero = _mm256_setzero_si256();
    const __m256i middle = _mm256_set1_epi32((count - 1) / 2);
    __m256i median0 = zero, median1 = zero;
    for (int bit = 0x80; bit; bit >>= 1) {
        const __m256i bits = _mm256_set1_epi8(static_cast<char>(bit));
        const __m256i candidate0 = _mm256_xor_si256(_mm256_or_si256(median0, bits), flip);
        const __m256i candidate1 = _mm256_xor_si256(_mm256_or_si256(median1, bits), flip);
        __m256i sums[8] = {zero, zero, zero, zero, zero, zero, zero, zero};
        for (int first = 0; first < count; first += kCountRun) {
            const int last = count - first < kCountRun ? count : first + kCountRun;
            __m256i below0 = zero, below1 = zero;
            for (int k = first; k < last; ++k) {
                const __m256i* values = reinterpret_cast<const __m256i*>(copy + static_cast<size_t>(k) * kBlockAvx2);
                below0 = _mm256_sub_epi8(below0, _mm256_cmpgt_epi8(candidate0, _mm256_load_si256(values)));
                below1 = _mm256_sub_epi8(below1, _mm256_cmpgt_epi8(candidate1, _mm256_load_si256(values + 1)));
            }
            addCountsAvx2(below0, sums);
            addCountsAvx2(below1, sums + 4);
        }
        median0 = _mm256_or_si256(median0, _mm256_andnot_si256(tooManyBelowAvx2(sums, middle), bits));
        median1 = _mm256_or_si256(median1, _mm256_andnot_si256(tooManyBelowAvx2(sums + 4, middle), bits));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), median0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out) + 1, median1);
}

// One row by blocks; the last block ends at the row's end and overlaps the one before,
// and a row shorter than a block is padded with whatever the copy held.
void radixRow(const uint8_t* const* images, int count, size_t offset, int elements, bool wide, uint8_t* copy,
              uint8_t* out) {
    const int block = wide ? kBlockAvx2 : kBlockSse2;
    uint8_t padded[kBlockAvx2];
    for (int e = 0; e < elements; e += block) {
        const int at = elements < block ? 0 : std::min(e, elements - block);
        const int bytes = std::min(block, elements);
        gatherBlock(images, count, offset + at, bytes, block, copy);
        uint8_t* target = bytes < block ? padded : out + at;
        if (wide) {
            selectBlockAvx2(copy, count, target);
        } else {
            selectBlockSse2(copy, count, target);
        }
        if (bytes < block) memcpy(out, padded, static_cast<size_t>(bytes));
    }
}

// Where no block copy can be had: each element's values counted, then the counts walked
// to the middle. Slow, but it needs no memory.
void histogramRow(const uint8_t* const* images, int count, size_t offset, int elements, uint8_t* out) {
    const unsigned middle = static_cast<unsigned>((count - 1) / 2);
    unsigned counts[256];
    for (int e = 0; e < elements; ++e) {
        memset(counts, 0, sizeof counts);
        for (int k = 0; k < count; ++k) ++counts[images[k][offset + e]];
        unsigned seen = 0;
        int value = 0;
        while ((seen += counts[value]) <= middle) ++value;
        out[e] = static_cast<uint8_t>(value);
    }
}

}  // namespace

void medianImages(const uint8_t* const* images, int count, int stride, int width, int height, uint8_t* result,
                  int resultStride) {
    if (!result || width <= 0 || height <= 0) return;
    if (count <= 0 || !images) {
        // No samples: black, as the mean gives.
        for (int r = 0; r < height; ++r) memset(result + static_cast<size_t>(r) * resultStride, 0, 3 * static_cast<size_t>(width));
        return;
    }
    const bool wide = useWideKernels();
    // The block copy, aligned for the vector loads; past the network's counts only.
    std::unique_ptr<uint8_t[]> copyBytes;
    uint8_t* copy = nullptr;
    if (count > kMedianNetworkLimit) {
        const size_t bytes = static_cast<size_t>(count) * (wide ? kBlockAvx2 : kBlockSse2) + 32;
        if (static_cast<size_t>(count) < SIZE_MAX / (kBlockAvx2 + 1)) copyBytes.reset(new (std::nothrow) uint8_t[bytes]());
        if (copyBytes) copy = copyBytes.get() + (32 - reinterpret_cast<uintptr_t>(copyBytes.get()) % 32) % 32;
    }
    for (int r = 0; r < height; ++r) {
        const size_t offset = static_cast<size_t>(r) * stride;
        uint8_t* out = result + static_cast<size_t>(r) * resultStride;
        if (count > kMedianNetworkLimit && copy) {
            radixRow(images, count, offset, 3 * width, wide, copy, out);
        } else if (count > kMedianNetworkLimit) {
            histogramRow(images, count, offset, 3 * width, out);
        } else if (wide) {
            networkAvx2(images, count, offset, 3 * width, networkFor(count), out);
        } else {
            networkSse2(images, count, offset, 3 * width, networkFor(count), out);
        }
    }
}

void medianImagesReference(const uint8_t* const* images, int count, int stride, int width, int height,
                           uint8_t* result, int resultStride) {
    std::vector<uint8_t> values(static_cast<size_t>(count > 0 ? count : 1));
    for (int r = 0; r < height; ++r) {
        for (int e = 0; e < 3 * width; ++e) {
            for (int k = 0; k < count; ++k) values[k] = images[k][static_cast<size_t>(r) * stride + e];
            std::sort(values.begin(), values.begin() + count);
            result[static_cast<size_t>(r) * resultStride + e] = count > 0 ? values[(count - 1) / 2] : 0;
        }
    }
}
