#pragma once
// The composite of a capture's samples read from the sample store: the samples' pixels
// summed with their weights, oldest first, and divided into the result. When all the
// samples fit one window of the store they are summed in one pass, a few hundred pixels
// at a time; otherwise a band of rows at a time, window after window, into a band of
// sums. Both give the same bytes: every element adds its samples in the same order, in
// the same precision, and is divided the same way.
#include <cstdint>

// Composites samples 1 .. n (w x h of the store's storeWidth-wide samples, each
// sampleSize bytes) with their weights into the w x h top-left of `result` (24-bit,
// rows resultStride apart). False when a window of the store or the band of sums
// cannot be had; the result's pixels are then not to be shown.
bool compositeFromStore(const float* weights, int n, int storeWidth, int width, int height, float weightSum,
                        uint8_t* result, int resultStride);
bool compositeFromStore(const double* weights, int n, int storeWidth, int width, int height, double weightSum,
                        uint8_t* result, int resultStride);
