// The lighten, darken and median composites: worked numbers, the vector code against the
// plain scalar code on random images (both instruction sets), and the store read through
// small windows against one window.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/app_state.h"
#include "composite/mean_kernel.h"
#include "composite/lighten_kernel.h"
#include "composite/median_kernel.h"
#include "capture/sample_store.h"
#include "composite/store_composite.h"

namespace {

// `count` random images of width x height, rows `stride` apart.
struct Images {
    int stride;
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<const uint8_t*> pointers;
    Images(int count, int width, int height, std::mt19937& random) : stride(3 * width + 5) {
        for (int k = 0; k < count; ++k) {
            bytes.emplace_back(static_cast<size_t>(stride) * height);
            for (uint8_t& b : bytes.back()) b = static_cast<uint8_t>(random() >> 24);
        }
        for (const auto& image : bytes) pointers.push_back(image.data());
    }
};

template <typename Real>
std::vector<Real> decayingWeights(int count, float exponent) {
    std::vector<Real> weights;
    for (int i = 1; i <= count; ++i) weights.push_back(sampleWeight<Real>(i, count, exponent, 0, 0, 100));
    return weights;
}

TEST(LightenAndDarken, TheNewestComesOutAsItIsAndOlderOnesFade) {
    const uint8_t older[3] = {200, 100, 10}, newer[3] = {90, 120, 250};
    const uint8_t* images[2] = {older, newer};
    const float weights[2] = {0.5f, 1.0f};
    uint8_t out[3];
    lightenImages(images, weights, 2, 3, 1, 1, false, out, 3);
    EXPECT_EQ(out[0], 100) << "0.5 x 200 beats 90";
    EXPECT_EQ(out[1], 120);
    EXPECT_EQ(out[2], 250);
    // Darken: 255 less the largest weighted complement; the old dark 10 fades to 255 - 122.
    lightenImages(images, weights, 2, 3, 1, 1, true, out, 3);
    EXPECT_EQ(out[0], 90);
    EXPECT_EQ(out[1], 120);
    EXPECT_EQ(out[2], 133);
}

template <typename Real>
class ModeKernels : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ModeKernels, Precisions);

// Widths around every vector length, counts from 1 to 40, both instruction sets: the
// same bits as the scalar code, in one go and folded in two parts as windows fold them.
TYPED_TEST(ModeKernels, LightenAndDarkenMatchScalarCodeOnRandomImages) {
    std::mt19937 random(2612);
    for (bool baseline : {true, false}) {
        forceBaselineKernels(baseline);
        for (int width : {1, 5, 11, 16, 257, 300}) {
            const int count = 1 + width % 40, height = 3;
            Images images(count, width, height, random);
            const std::vector<TypeParam> weights = decayingWeights<TypeParam>(count, 0.01f + (random() % 500) / 100.0f);
            for (bool darken : {false, true}) {
                std::vector<uint8_t> want(static_cast<size_t>(images.stride) * height, 0xAB), whole = want, folded = want;
                lightenImagesReference(images.pointers.data(), weights.data(), count, images.stride, width, height, darken,
                                       want.data(), images.stride);
                lightenImages(images.pointers.data(), weights.data(), count, images.stride, width, height, darken,
                              whole.data(), images.stride);
                std::vector<TypeParam> maxima(3 * static_cast<size_t>(width) * height, TypeParam(0));
                const int half = count / 2;
                lightenRows(images.pointers.data(), weights.data(), half, images.stride, width, height, darken,
                            maxima.data());
                lightenRows(images.pointers.data() + half, weights.data() + half, count - half, images.stride, width,
                            height, darken, maxima.data());
                lightenResult(maxima.data(), width, height, darken, folded.data(), images.stride);
                ASSERT_EQ(want, whole) << width << (darken ? " darken" : " lighten") << " " << kernelPath();
                ASSERT_EQ(want, folded) << width << (darken ? " darken" : " lighten") << " " << kernelPath();
            }
        }
    }
    forceBaselineKernels(false);
}

// float and double agree but where a product lies within rounding of a whole number, and
// then by 1; with weights both hold exactly they agree everywhere.
TEST(LightenAndDarken, FloatAndDoubleDifferAtMostByOneAndRarely) {
    std::mt19937 random(77);
    const int count = 15, width = 640, height = 4;
    Images images(count, width, height, random);
    for (int exponent : {1, 2}) {
        for (const int n : {count, 16}) {
            const int used = n < count ? n : count;
            std::vector<float> single = decayingWeights<float>(n, static_cast<float>(exponent));
            std::vector<double> twice = decayingWeights<double>(n, static_cast<float>(exponent));
            std::vector<uint8_t> a(static_cast<size_t>(images.stride) * height), b = a;
            lightenImages(images.pointers.data(), single.data() + (n - used), used, images.stride, width, height, false,
                          a.data(), images.stride);
            lightenImages(images.pointers.data(), twice.data() + (n - used), used, images.stride, width, height, false,
                          b.data(), images.stride);
            int differing = 0;
            for (size_t i = 0; i < a.size(); ++i) {
                ASSERT_LE(std::abs(a[i] - b[i]), 1) << i;
                differing += a[i] != b[i];
            }
            // (i / 16)^1 and ^2 are exact in both precisions.
            if (n == 16) {
                EXPECT_EQ(differing, 0) << "exponent " << exponent;
            }
            EXPECT_LT(differing, static_cast<int>(a.size() / 100)) << "exponent " << exponent;
        }
    }
}

// Counts from 1 to 69 (the network up to 64), and past it counts around the 255 of the
// 8-bit counters, even and odd, with rows shorter than a block, ending inside one and
// longer: the lower middle value of every element, on both instruction sets. The first
// elements are all 255, all 0, and half of each.
TEST(Median, MatchesSortingOnRandomImages) {
    std::mt19937 random(1500);
    std::vector<int> counts;
    for (int count = 1; count <= 69; count += (count < 20 ? 1 : 7)) counts.push_back(count);
    counts.insert(counts.end(), {100, 255, 256, 257, 900, 1000});
    for (bool baseline : {true, false}) {
        forceBaselineKernels(baseline);
        for (int count : counts) {
            // 12, 45 and 114 elements a row: short of a block of either path, and past one.
            const std::vector<int> widths = count > kMedianNetworkLimit ? std::vector<int>{4, 15, 38}
                                                                        : std::vector<int>{17 + count % 23};
            for (int width : widths) {
                const int height = 2;
                Images images(count, width, height, random);
                for (int k = 0; k < count; ++k) {
                    images.bytes[k][0] = 255;
                    images.bytes[k][1] = 0;
                    images.bytes[k][2] = k < count / 2 ? 0 : 255;
                }
                std::vector<uint8_t> want(static_cast<size_t>(images.stride) * height, 0x5C), got = want;
                medianImagesReference(images.pointers.data(), count, images.stride, width, height, want.data(),
                                      images.stride);
                medianImages(images.pointers.data(), count, images.stride, width, height, got.data(), images.stride);
                ASSERT_EQ(want, got) << count << " samples, width " << width << ", " << kernelPath();
            }
        }
    }
    forceBaselineKernels(false);
    const uint8_t two[2][3] = {{10, 200, 7}, {20, 100, 7}};
    const uint8_t* pair[2] = {two[0], two[1]};
    uint8_t out[3];
    medianImages(pair, 2, 3, 1, 1, out, 3);
    EXPECT_EQ(out[0], 10) << "the lower of the two middle values";
    EXPECT_EQ(out[1], 100);
}

// The store read through windows far smaller than its samples (bands of a few rows, a
// window a sample) gives every mode the bytes it gives through one window.
TEST(StoreComposite, EveryModeGivesTheSameBytesThroughSmallWindows) {
    createSampleStore("Z:\\tmp", 0);
    const int n = 19, width = 37, height = 23;
    ASSERT_TRUE(ensureStoreCapacity(width, height, n));
    std::mt19937 random(9);
    for (long long i = 0; i < sampleBytes(width, height) * n; ++i) *storeBytes(i, 1) = static_cast<uint8_t>(random() >> 24);
    const std::vector<float> weights = decayingWeights<float>(n, 1.5f);
    float sum = 0;
    for (float w : weights) sum += w;
    const long long usual = storeWindowBytes;
    for (CompositeMode mode : {CompositeMode::Mean, CompositeMode::Lighten, CompositeMode::Darken, CompositeMode::Median}) {
        std::vector<uint8_t> one(static_cast<size_t>(width) * 3 * height), many(one.size());
        storeWindowBytes = usual;
        ASSERT_TRUE(compositeFromStore(mode, weights.data(), n, width, width, height, sum, one.data(), width * 3));
        storeWindowBytes = 4096;
        ASSERT_TRUE(compositeFromStore(mode, weights.data(), n, width, width, height, sum, many.data(), width * 3));
        EXPECT_EQ(one, many) << "mode " << static_cast<int>(mode);
        if (mode != CompositeMode::Median) continue;
        // Bands of 5 rows, the last one of 3, as a store larger than the memory gives.
        const long long gather = medianGatherBytes;
        medianGatherBytes = 5LL * width * 3 * n;
        ASSERT_TRUE(compositeFromStore(mode, weights.data(), n, width, width, height, sum, many.data(), width * 3));
        medianGatherBytes = gather;
        EXPECT_EQ(one, many) << "the median in bands of 5 rows";
    }
    storeWindowBytes = usual;
    releaseSampleStore();
    EXPECT_EQ(compositeModeOf(7), CompositeMode::Mean) << "an unknown mode is the mean";
}

// Many samples, each larger than a window: the windows cost more than gathering the
// whole store at once, so it is one band, one window a sample (bands of a fixed 16 MB
// took two bands here and twice the windows; at a thousand 4K samples, one row a band).
TEST(StoreComposite, TheMedianGathersFewBandsOfManySamples) {
    const long long usual = storeWindowBytes;
    storeWindowBytes = 64 * 1024;  // from the first window on
    createSampleStore("Z:\\tmp", 0);
    const int n = 200, width = 400, height = 100;  // 24 MB of samples
    ASSERT_TRUE(ensureStoreCapacity(width, height, n));
    const long long views = storeViewsMapped;
    std::vector<uint8_t> result(static_cast<size_t>(width) * 3 * height);
    const float weights[n] = {};
    EXPECT_TRUE(compositeFromStore(CompositeMode::Median, weights, n, width, width, height, 0.0f, result.data(), width * 3));
    EXPECT_LE(storeViewsMapped - views, n);
    storeWindowBytes = usual;
    releaseSampleStore();
}

}  // namespace
