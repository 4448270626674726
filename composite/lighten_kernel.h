#pragma once
// The 比較(明) (lighten) and 比較(暗) (darken) composites. Lighten: each element is the
// largest of w_k x s_k over the samples, so a bright thing keeps its full brightness where
// it is now and fades with age behind it. Darken is its mirror, 255 less the largest
// w_k x (255 - s_k), for dark things on light windows. The weights are the mean's,
// scaled so that the largest is 1, in float or double; the largest product is truncated
// toward zero: a sample of weight 1 (the newest) comes out exactly as it is. float and
// double give the same byte unless a product lies within the precision's rounding of a
// whole number, where they differ by 1.
//
// Images and results as in kernels.h: 24-bit rows `stride` apart; the kernels keep the
// images' own order of the elements.
#include <cstdint>

// Folds `count` images into `maxima` (3 x width x rows values, all 0 before the first
// fold): each element becomes the largest of itself and w_k x s_k (darken: w_k x (255 - s_k)).
void lightenRows(const uint8_t* const* images, const float* weights, int count, int stride, int width, int rows,
                 bool darken, float* maxima);
void lightenRows(const uint8_t* const* images, const double* weights, int count, int stride, int width, int rows,
                 bool darken, double* maxima);

// The folded maxima as bytes: truncated toward zero (darken: 255 less that).
void lightenResult(const float* maxima, int width, int rows, bool darken, uint8_t* result, int resultStride);
void lightenResult(const double* maxima, int width, int rows, bool darken, uint8_t* result, int resultStride);

// The whole composite of `count` images in one go, a few hundred pixels at a time: the
// same bytes as lightenRows over every image followed by lightenResult.
void lightenImages(const uint8_t* const* images, const float* weights, int count, int stride, int width, int height,
                   bool darken, uint8_t* result, int resultStride);
void lightenImages(const uint8_t* const* images, const double* weights, int count, int stride, int width, int height,
                   bool darken, uint8_t* result, int resultStride);

// Plain scalar code, element by element, that the vector code is checked against.
template <typename Real>
void lightenImagesReference(const uint8_t* const* images, const Real* weights, int count, int stride, int width,
                            int height, bool darken, uint8_t* result, int resultStride) {
    for (int r = 0; r < height; ++r) {
        for (int e = 0; e < 3 * width; ++e) {
            Real largest = 0;
            for (int k = 0; k < count; ++k) {
                const uint8_t s = images[k][static_cast<long long>(r) * stride + e];
                const Real product = weights[k] * static_cast<Real>(darken ? 255 - s : s);
                if (product > largest) largest = product;
            }
            const int value = largest >= Real(255) ? 255 : static_cast<int>(largest);
            result[static_cast<long long>(r) * resultStride + e] = static_cast<uint8_t>(darken ? 255 - value : value);
        }
    }
}
