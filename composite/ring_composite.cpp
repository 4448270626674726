#include "composite/ring_composite.h"

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "core/app_state.h"
#include "capture/retro_ring.h"

namespace {

// A band of every sample small enough to stay near the processor's caches while it is
// rebuilt and composited.
const long long kRingBandBytes = 8LL * 1024 * 1024;

template <typename Real>
bool composite(CompositeMode mode, const Real* weights, int n, int left, int top, int width, int height,
               Real weightSum, uint8_t* result, int resultStride) {
    if (n <= 0 || n != ringSampleCount() || width <= 0 || height <= 0 || left < 0 || top < 0 ||
        left > ringWidth() - width || top > ringHeight() - height) {
        return false;
    }
    std::vector<Real> scaled;
    if (!weightsForMode(mode, weights, n, scaled)) return false;
    if (!scaled.empty()) weights = scaled.data();
    const int rows = ringBandRows(n, width, height, kRingBandBytes);
    const long long bandBytes = static_cast<long long>(rows) * width * 3 * n;
    if (bandBytes > PTRDIFF_MAX) return false;  // one row of every sample past what the process can address
    std::unique_ptr<uint8_t[]> band(new (std::nothrow) uint8_t[static_cast<size_t>(bandBytes)]);
    std::vector<const uint8_t*> images;
    try {
        images.resize(static_cast<size_t>(n));
    } catch (...) {
        return false;
    }
    if (!band) return false;
    for (int y = 0; y < height; y += rows) {
        const int bandRows = height - y < rows ? height - y : rows;
        // The band's samples lie bandRows rows apart: the kernels see them at that stride.
        for (int k = 0; k < n; ++k) images[k] = band.get() + static_cast<long long>(k) * bandRows * width * 3;
        if (!ringRebuild(left, top + y, width, bandRows, band.get())) return false;
        compositeInMode(mode, images.data(), weights, n, width * 3, width, bandRows, weightSum,
                        result + static_cast<size_t>(y) * resultStride, resultStride);
        keepAnswering();
    }
    return true;
}

}  // namespace

int ringBandRows(int n, int width, int height, long long budgetBytes) {
    const long long perRow = static_cast<long long>(n) * width * 3;
    long long rows = perRow > 0 ? budgetBytes / perRow : height;
    if (rows < 1) rows = 1;
    return rows > height ? height : static_cast<int>(rows);
}

bool compositeFromRing(CompositeMode mode, const float* weights, int n, int left, int top, int width, int height,
                       float weightSum, uint8_t* result, int resultStride) {
    return composite(mode, weights, n, left, top, width, height, weightSum, result, resultStride);
}

bool compositeFromRing(CompositeMode mode, const double* weights, int n, int left, int top, int width, int height,
                       double weightSum, uint8_t* result, int resultStride) {
    return composite(mode, weights, n, left, top, width, height, weightSum, result, resultStride);
}
