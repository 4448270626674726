#pragma once
// The compositing arithmetic over plain memory: sample weights, the weighted sums and
// the final division. No window types here, so it can be tested and timed directly.
//
// Images are 24-bit and top-down: rows of blue, green, red bytes, `stride` bytes
// apart (the bytes after 3 * w in a row are padding and never touched). The
// accumulator holds w * h * 3 sums, rows of 3 * w elements, each pixel red, green,
// blue. Every element adds its samples in the order given, rounding each sum to the
// accumulator's precision, so all code paths give the same bits as plain scalar code.
#include <cstdint>

// Weight of sample i (1 = oldest) of n: (i / n)^reducePer, or 1 when reduceFixed is
// set, divided by (n - i) * emphasisLevel / 100 + 1 when emphasisOn is set. Evaluated
// in Real's precision (float or double). The newest sample always weighs 1.
// A negative emphasisLevel (only a hand-edited INI file can hold one) counts as 0,
// and a weight that is not a finite number counts as 0, so the weights are always
// finite and at least 0. An i outside 1 .. n weighs 0.
template <typename Real>
Real sampleWeight(int i, int n, float reducePer, int reduceFixed, int emphasisOn, int emphasisLevel);
extern template float sampleWeight<float>(int, int, float, int, int, int);
extern template double sampleWeight<double>(int, int, float, int, int, int);

// Adds weight * image into the accumulator (w x h pixels).
void accumulateRows(const uint8_t* image, int stride, int width, int height, float weight, float* accumulator);
void accumulateRows(const uint8_t* image, int stride, int width, int height, double weight, double* accumulator);

// Adds count images, in order, each with its weight: the same sums as count calls of
// the one-image form, but each accumulator row is read and written once per call.
void accumulateRows(const uint8_t* const* images, const float* weights, int count, int stride, int width,
                    int height, float* accumulator);
void accumulateRows(const uint8_t* const* images, const double* weights, int count, int stride, int width,
                    int height, double* accumulator);

// The divisor for a weight sum: the sum when it is at least 1e-6 (in single
// precision), else 1; not-a-number gives 1 too.
float normaliseDivisor(float weightSum);
double normaliseDivisor(double weightSum);

// Writes accumulator / divisor into the image as bytes: truncated toward zero and
// clamped to 0 .. 255 (not-a-number gives 0). Row padding is left as it was.
void normaliseRows(const float* accumulator, float weightSum, int width, int height, uint8_t* image, int stride);
void normaliseRows(const double* accumulator, double weightSum, int width, int height, uint8_t* image,
                   int stride);

// The whole composite of count images (oldest first, all with the same stride) into
// result: every element sums its images in order from 0 and is divided by weightSum.
// The same bytes as accumulateRows over every image followed by normaliseRows, without
// a full-size accumulator: the sums of a few hundred pixels at a time stay in cache.
void compositeImages(const uint8_t* const* images, const float* weights, int count, int stride, int width,
                     int height, float weightSum, uint8_t* result, int resultStride);
void compositeImages(const uint8_t* const* images, const double* weights, int count, int stride, int width,
                     int height, double weightSum, uint8_t* result, int resultStride);

// Which instruction set the kernels use on this processor ("sse2" or "avx2").
const char* kernelPath();
// True when they take the AVX2 path (every family of kernels asks here).
bool useWideKernels();
// Tests and the benchmark force the SSE2 path to compare it with the wider one.
void forceBaselineKernels(bool baseline);
