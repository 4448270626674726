#include "composite/store_composite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/app_state.h"
#include "composite/mean_kernel.h"
#include "composite/lighten_kernel.h"
#include "composite/median_kernel.h"
#include "capture/sample_store.h"

namespace {

// Sums of a band no larger than this stay in the processor's cache while every sample
// of the band is added.
const long long kBandSumBytes = 2 * 1024 * 1024;
// The median lets the window answer after about this many bytes of samples.
const long long kAnswerBytes = 16 * 1024 * 1024;

// The mean, lighten and darken through windows: per band, each window's samples folded
// into the band's sums or maxima, which then become the band's bytes.
template <typename Real>
bool foldThroughWindows(CompositeMode mode, const Real* weights, int n, int storeWidth, int width, int height,
                        Real weightSum, uint8_t* result, int resultStride) {
    const int storeStride = storeWidth * 3;
    const long long sampleSize = static_cast<long long>(storeStride) * height;
    // Samples per window, and rows per band.
    long long perWindow = storeWindowBytes / sampleSize;
    if (perWindow < 1) perWindow = 1;
    const long long sumBytes = kBandSumBytes < storeWindowBytes ? kBandSumBytes : storeWindowBytes;
    long long bandRows = sumBytes / (static_cast<long long>(sizeof(Real)) * 3 * width);
    if (bandRows < 1) bandRows = 1;
    if (bandRows > height) bandRows = height;
    std::vector<Real> sums;
    std::vector<const uint8_t*> images;
    try {
        sums.resize(static_cast<size_t>(bandRows) * 3 * width);
        images.resize(static_cast<size_t>(perWindow));
    } catch (...) {
        return false;
    }
    const bool darken = mode == CompositeMode::Darken;
    for (int top = 0; top < height; top += static_cast<int>(bandRows)) {
        const int rows = height - top < bandRows ? height - top : static_cast<int>(bandRows);
        std::fill(sums.begin(), sums.end(), Real(0));
        for (int first = 0; first < n; first += static_cast<int>(perWindow)) {
            const int count = n - first < perWindow ? n - first : static_cast<int>(perWindow);
            // The band's rows of `count` samples, through one window.
            const long long from = first * sampleSize + static_cast<long long>(top) * storeStride;
            const uint8_t* band = storeBytes(from, (count - 1) * sampleSize + static_cast<long long>(rows) * storeStride);
            if (!band) return false;
            for (int k = 0; k < count; ++k) images[k] = band + k * sampleSize;
            if (mode == CompositeMode::Mean) {
                accumulateRows(images.data(), weights + first, count, storeStride, width, rows, sums.data());
            } else {
                lightenRows(images.data(), weights + first, count, storeStride, width, rows, darken, sums.data());
            }
            keepAnswering();
        }
        uint8_t* bandResult = result + static_cast<size_t>(top) * resultStride;
        if (mode == CompositeMode::Mean) {
            normaliseRows(sums.data(), weightSum, width, rows, bandResult, resultStride);
        } else {
            lightenResult(sums.data(), width, rows, darken, bandResult, resultStride);
        }
    }
    return true;
}

// What the median may gather into: medianGatherBytes, or a quarter of the free address
// space or of the free memory where that is less, so the store's window, the result and
// the rest of the program keep their room (a 32-bit process has 2 to 4 GB in all).
long long gatherBudget() {
    long long budget = medianGatherBytes;
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) {
        budget = std::min(budget, static_cast<long long>(memory.ullAvailVirtual / 4));
        budget = std::min(budget, static_cast<long long>(memory.ullAvailPhys / 4));
    }
    return budget;
}

// Bytes of the gathering buffer that cost least: each band maps a window for every few
// samples, and each page of the buffer is faulted in afresh every composite. Measured
// under Wine, a window cost about as much as 2 MB of buffer, and the sum of the two is
// least at sqrt(store bytes x windows a band x 2 MB). Never less than 16 MB, which small
// stores gather fastest while it stays in the cache.
long long cheapestBand(int n, long long sampleSize) {
    const long long perWindow = storeWindowBytes / sampleSize;
    const long long windowsPerBand = perWindow > 1 ? (n + perWindow - 1) / perWindow : n;
    const double best = std::sqrt(static_cast<double>(sampleSize) * n * static_cast<double>(windowsPerBand) * 2e6);
    return std::max(16LL * 1024 * 1024, static_cast<long long>(std::min(best, 9e18)));
}

// The gathering buffer of a band of as many rows (of rowBytes, every sample's row) as
// `wanted` and the memory allow; half as many while it cannot be had (the address space
// may be too fragmented for one block), never fewer than one. Null when not even one row
// can be had.
std::unique_ptr<uint8_t[]> allocateBand(long long wanted, long long rowBytes, int height, long long* bandRows) {
    long long rows = std::min(wanted, gatherBudget()) / rowBytes;
    if (rows > height) rows = height;
    if (rows < 1) rows = 1;
    for (;; rows = (rows + 1) / 2) {
        // One row of very many samples may pass what a 32-bit process can address.
        if (rows <= static_cast<long long>(PTRDIFF_MAX) / rowBytes) {
            std::unique_ptr<uint8_t[]> band(new (std::nothrow) uint8_t[static_cast<size_t>(rows * rowBytes)]);
            if (band) {
                *bandRows = rows;
                return band;
            }
        }
        if (rows == 1) return nullptr;
    }
}

// The median through windows: per band, the band's rows of every sample gathered into
// one buffer, then their median.
bool medianThroughWindows(int n, int storeWidth, int width, int height, uint8_t* result, int resultStride) {
    const int storeStride = storeWidth * 3;
    const long long sampleSize = static_cast<long long>(storeStride) * height;
    long long bandRows = 0;
    const std::unique_ptr<uint8_t[]> gathered =
        allocateBand(cheapestBand(n, sampleSize), static_cast<long long>(storeStride) * n, height, &bandRows);
    if (!gathered) return false;
    std::vector<const uint8_t*> images;
    try {
        images.resize(static_cast<size_t>(n));
    } catch (...) {
        return false;
    }
    const size_t bandBytes = static_cast<size_t>(bandRows) * storeStride;
    // A band may take seconds to gather and to reduce: the window answers between its
    // parts, as it did between the bands when they were small.
    const long long rowOfAll = static_cast<long long>(storeStride) * n;
    const int answerRows = static_cast<int>(std::max(1LL, kAnswerBytes / rowOfAll));
    long long sinceAnswer = 0;
    for (int top = 0; top < height; top += static_cast<int>(bandRows)) {
        const int rows = height - top < bandRows ? height - top : static_cast<int>(bandRows);
        const size_t bytes = static_cast<size_t>(rows) * storeStride;
        for (int k = 0; k < n; ++k) {
            const uint8_t* rowsOfSample = storeBytes(k * sampleSize + static_cast<long long>(top) * storeStride,
                                                     static_cast<long long>(bytes));
            if (!rowsOfSample) return false;
            memcpy(gathered.get() + k * bandBytes, rowsOfSample, bytes);
            sinceAnswer += static_cast<long long>(bytes);
            if (sinceAnswer >= kAnswerBytes) {
                keepAnswering();
                sinceAnswer = 0;
            }
        }
        for (int r = 0; r < rows; r += answerRows) {
            for (int k = 0; k < n; ++k) images[k] = gathered.get() + k * bandBytes + static_cast<size_t>(r) * storeStride;
            medianImages(images.data(), n, storeStride, width, std::min(answerRows, rows - r),
                         result + static_cast<size_t>(top + r) * resultStride, resultStride);
            keepAnswering();
        }
    }
    return true;
}

template <typename Real>
bool composite(CompositeMode mode, const Real* weights, int n, int storeWidth, int width, int height, Real weightSum,
               uint8_t* result, int resultStride) {
    if (n <= 0) {
        // No samples: black over the whole width x height, whatever the store's rows.
        compositeImages(nullptr, weights, 0, 0, width, height, weightSum, result, resultStride);
        return true;
    }
    std::vector<Real> scaled;
    if (!weightsForMode(mode, weights, n, scaled)) return false;
    if (!scaled.empty()) weights = scaled.data();
    // The store holds all n samples, so a sample's row and size fit their types.
    const int storeStride = storeWidth * 3;
    const long long sampleSize = static_cast<long long>(storeStride) * height;
    if (sampleSize * n > storeWindowBytes) {
        if (mode == CompositeMode::Median) return medianThroughWindows(n, storeWidth, width, height, result, resultStride);
        return foldThroughWindows(mode, weights, n, storeWidth, width, height, weightSum, result, resultStride);
    }
    std::vector<const uint8_t*> images;
    try {
        images.resize(static_cast<size_t>(n));
    } catch (...) {
        return false;
    }
    const uint8_t* all = storeBytes(0, sampleSize * n);
    if (!all) return false;
    for (int k = 0; k < n; ++k) images[k] = all + k * sampleSize;
    compositeInMode(mode, images.data(), weights, n, storeStride, width, height, weightSum, result, resultStride);
    return true;
}

}  // namespace

long long medianGatherBytes = 1024LL * 1024 * 1024;

template <typename Real>
bool weightsForMode(CompositeMode mode, const Real* weights, int n, std::vector<Real>& scaled) {
    scaled.clear();
    if (mode != CompositeMode::Lighten && mode != CompositeMode::Darken) return true;
    try {
        scaled.assign(weights, weights + n);
    } catch (...) {
        return false;
    }
    const Real largest = n > 0 ? *std::max_element(scaled.begin(), scaled.end()) : Real(0);
    if (largest > 0) {
        for (Real& weight : scaled) weight = weight / largest;
    }
    return true;
}
template bool weightsForMode<float>(CompositeMode, const float*, int, std::vector<float>&);
template bool weightsForMode<double>(CompositeMode, const double*, int, std::vector<double>&);

template <typename Real>
void compositeInMode(CompositeMode mode, const uint8_t* const* images, const Real* weights, int n, int stride,
                     int width, int height, Real weightSum, uint8_t* result, int resultStride) {
    switch (mode) {
    case CompositeMode::Mean:
        compositeImages(images, weights, n, stride, width, height, weightSum, result, resultStride);
        break;
    case CompositeMode::Lighten:
    case CompositeMode::Darken:
        lightenImages(images, weights, n, stride, width, height, mode == CompositeMode::Darken, result, resultStride);
        break;
    case CompositeMode::Median:
        medianImages(images, n, stride, width, height, result, resultStride);
        break;
    }
}
template void compositeInMode<float>(CompositeMode, const uint8_t* const*, const float*, int, int, int, int, float,
                                     uint8_t*, int);
template void compositeInMode<double>(CompositeMode, const uint8_t* const*, const double*, int, int, int, int, double,
                                      uint8_t*, int);

CompositeMode compositeModeOf(int setting) {
    switch (setting) {
    case 1:
        return CompositeMode::Lighten;
    case 2:
        return CompositeMode::Darken;
    case 3:
        return CompositeMode::Median;
    default:
        return CompositeMode::Mean;
    }
}

bool compositeFromStore(CompositeMode mode, const float* weights, int n, int storeWidth, int width, int height,
                        float weightSum, uint8_t* result, int resultStride) {
    return composite(mode, weights, n, storeWidth, width, height, weightSum, result, resultStride);
}

bool compositeFromStore(CompositeMode mode, const double* weights, int n, int storeWidth, int width, int height,
                        double weightSum, uint8_t* result, int resultStride) {
    return composite(mode, weights, n, storeWidth, width, height, weightSum, result, resultStride);
}
