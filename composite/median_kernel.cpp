#include "composite/median_kernel.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>
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

// Many samples: each element's values counted, then the counts walked to the middle.
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
    for (int r = 0; r < height; ++r) {
        const size_t offset = static_cast<size_t>(r) * stride;
        uint8_t* out = result + static_cast<size_t>(r) * resultStride;
        if (count > kMedianNetworkLimit) {
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
