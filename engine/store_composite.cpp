#include "engine/store_composite.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/app_state.h"
#include "engine/kernels.h"
#include "engine/sample_store.h"

namespace {

// Sums of a band no larger than this stay in the processor's cache while every sample
// of the band is added.
const long long kBandSumBytes = 2 * 1024 * 1024;

template <typename Real>
bool compositeThroughWindows(const Real* weights, int n, int storeWidth, int width, int height, Real weightSum,
                             uint8_t* result, int resultStride) {
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
            accumulateRows(images.data(), weights + first, count, storeStride, width, rows, sums.data());
            // A store of many gigabytes is read here: the window keeps answering between
            // windows, and the hot keys live (the system drops a hook that does not answer).
            pumpMessages();
            Sleep(0);
        }
        normaliseRows(sums.data(), weightSum, width, rows, result + static_cast<size_t>(top) * resultStride, resultStride);
    }
    return true;
}

template <typename Real>
bool composite(const Real* weights, int n, int storeWidth, int width, int height, Real weightSum, uint8_t* result,
               int resultStride) {
    if (n <= 0) {
        // No samples: black over the whole width x height, whatever the store's rows.
        compositeImages(nullptr, weights, 0, 0, width, height, weightSum, result, resultStride);
        return true;
    }
    // The store holds all n samples, so a sample's row and size fit their types.
    const int storeStride = storeWidth * 3;
    const long long sampleSize = static_cast<long long>(storeStride) * height;
    if (sampleSize * n > storeWindowBytes) {
        return compositeThroughWindows(weights, n, storeWidth, width, height, weightSum, result, resultStride);
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
    compositeImages(images.data(), weights, n, storeStride, width, height, weightSum, result, resultStride);
    return true;
}

}  // namespace

bool compositeFromStore(const float* weights, int n, int storeWidth, int width, int height, float weightSum,
                        uint8_t* result, int resultStride) {
    return composite(weights, n, storeWidth, width, height, weightSum, result, resultStride);
}

bool compositeFromStore(const double* weights, int n, int storeWidth, int width, int height, double weightSum,
                        uint8_t* result, int resultStride) {
    return composite(weights, n, storeWidth, width, height, weightSum, result, resultStride);
}
