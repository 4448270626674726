#pragma once
// The composite of a capture's samples read from the sample store, oldest first, in one
// of four modes: the weighted mean, lighten, darken (composite/lighten_kernel) or the median
// (composite/median_kernel). When all the samples fit one window of the store they are
// composited in one pass, a few hundred pixels at a time; otherwise a band of rows at a
// time, window after window: the mean's sums and the lighten and darken maxima are
// folded window by window, and the median gathers the band's rows of every sample first.
// Both ways give the same bytes.
#include <cstdint>
#include <vector>

// The most the median gathers into through windows (a band of rows of every sample),
// when the memory has that much free: 1 GB takes a thousand 4K samples (25 GB) in 24
// bands. Tests make it small.
extern long long medianGatherBytes;

enum class CompositeMode { Mean, Lighten, Darken, Median };

// The mode COMPOSITE_MODE names: 0 mean, 1 lighten, 2 darken, 3 median; anything else,
// as an INI file without the key, is the mean.
CompositeMode compositeModeOf(int setting);

// Composites samples 1 .. n (w x h of the store's storeWidth-wide samples) into the
// w x h top-left of `result` (24-bit, rows resultStride apart). The mean uses the
// weights and their sum; lighten and darken the weights scaled so that the largest is 1;
// the median uses neither. False when a window of the
// store or the working memory cannot be had; the result's pixels are then not to be shown.
bool compositeFromStore(CompositeMode mode, const float* weights, int n, int storeWidth, int width, int height,
                        float weightSum, uint8_t* result, int resultStride);
bool compositeFromStore(CompositeMode mode, const double* weights, int n, int storeWidth, int width, int height,
                        double weightSum, uint8_t* result, int resultStride);

// The weights a mode composites with: lighten and darken take them scaled so that the
// largest is 1, into `scaled`; the mean and the median use them as given (`scaled` left
// empty). False when the scaled copy cannot be had.
template <typename Real>
bool weightsForMode(CompositeMode mode, const Real* weights, int n, std::vector<Real>& scaled);

// Composites n images (oldest first, rows `stride` apart) in `mode` with the weights
// weightsForMode gave: the kernel of each family over plain memory.
template <typename Real>
void compositeInMode(CompositeMode mode, const uint8_t* const* images, const Real* weights, int n, int stride,
                     int width, int height, Real weightSum, uint8_t* result, int resultStride);
