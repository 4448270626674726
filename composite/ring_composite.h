#pragma once
// The composite of the ring of the last seconds (capture/retro_ring): the rectangle the
// user asked for, cut out of every sample the ring holds, in any mode. The ring keeps
// what changed between samples, so the samples are rebuilt a band of rows at a time and
// composited as they come: no mode needs them all rebuilt in full at once. The same
// kernels as a screenshot's, over the same bytes, give the same result.
#include <cstdint>

#include "composite/store_composite.h"

// Composites the ring's samples (oldest first, weights as a screenshot of n samples has
// them) inside [left, left + width) x [top, top + height) of the ring's image into the
// width x height top-left of `result` (24-bit, rows resultStride apart). False when the
// ring has no such samples or the band's memory cannot be had.
bool compositeFromRing(CompositeMode mode, const float* weights, int n, int left, int top, int width, int height,
                       float weightSum, uint8_t* result, int resultStride);
bool compositeFromRing(CompositeMode mode, const double* weights, int n, int left, int top, int width, int height,
                       double weightSum, uint8_t* result, int resultStride);

// Rows per band for n samples of `width` pixels: as many as keep the band within
// `budgetBytes`, at least one, at most `height`.
int ringBandRows(int n, int width, int height, long long budgetBytes);
