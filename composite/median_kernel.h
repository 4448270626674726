#pragma once
// The 中央値 (median) composite: each element is the median of its samples, the lower of
// the two middle values for an even count; weights do not apply. What moves disappears
// and what stays remains: a clean plate of the desktop without the pointer, a video or a
// tool tip.
//
// Up to kMedianNetworkLimit samples go through a selection network (the minimum and the
// maximum of 16 or 32 elements at a time, only the comparisons the middle output needs);
// past that the median's bits are settled from the highest down, each by counting the
// samples below, 32 or 64 elements at a time. No element's samples are ever sorted
// whole. Images and results as in kernels.h.
#include <cstdint>

const int kMedianNetworkLimit = 64;

void medianImages(const uint8_t* const* images, int count, int stride, int width, int height, uint8_t* result,
                  int resultStride);

// Plain scalar code that the vector code is checked against: each element's values
// sorted, the middle one (the lower of the two middle ones) taken.
void medianImagesReference(const uint8_t* const* images, int count, int stride, int width, int height,
                           uint8_t* result, int resultStride);
