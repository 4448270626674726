// The compositing arithmetic: weights, weighted sums and the final division, checked
// against the worked numbers of the design and against plain scalar evaluation.
#include "composite/mean_kernel.h"
#include "core/pixel_rows.h"
#include "composite/portable_pow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

int paddedStride(int width) { return (3 * width + 3) / 4 * 4; }

// A 24-bit image whose pixels and padding bytes are set by hand.
struct Image {
    int width, height, stride;
    std::vector<uint8_t> bytes;
    Image(int w, int h, uint8_t fill = 0) : width(w), height(h), stride(paddedStride(w)), bytes(stride * h, fill) {}
    uint8_t* row(int r) { return bytes.data() + static_cast<size_t>(r) * stride; }
};

// Settings of the weight function in one place.
struct Curve {
    float reducePer = 1.0f;
    int reduceFixed = 0;
    int emphasisOn = 0;
    int emphasisLevel = 100;
};

// Composites one-pixel samples whose blue, green and red hold the given values, the way
// the compositing phase does, and returns the resulting blue, green and red.
template <typename Real>
std::vector<int> compositePixel(const std::vector<int>& values, const Curve& curve) {
    const int n = static_cast<int>(values.size());
    std::vector<Real> accumulator(3, Real(0));
    Real weightSum = 0;
    for (int i = 1; i <= n; ++i) {
        Image sample(1, 1);
        sample.row(0)[0] = sample.row(0)[1] = sample.row(0)[2] = static_cast<uint8_t>(values[i - 1]);
        const Real weight = sampleWeight<Real>(i, n, curve.reducePer, curve.reduceFixed, curve.emphasisOn,
                                               curve.emphasisLevel);
        weightSum += weight;
        accumulateRows(sample.row(0), sample.stride, 1, 1, weight, accumulator.data());
    }
    Image result(1, 1, 0x5A);
    normaliseRows(accumulator.data(), weightSum, 1, 1, result.row(0), result.stride);
    EXPECT_EQ(0x5A, result.row(0)[3]) << "row padding must stay as it was";
    return {result.row(0)[0], result.row(0)[1], result.row(0)[2]};
}

template <typename Real>
int compositeValue(const std::vector<int>& values, const Curve& curve) {
    const std::vector<int> bgr = compositePixel<Real>(values, curve);
    EXPECT_TRUE(bgr[0] == bgr[1] && bgr[1] == bgr[2]);
    return bgr[0];
}

template <typename Real>
class CompositeNumbers : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(CompositeNumbers, Precisions);

TYPED_TEST(CompositeNumbers, WorkedExamplesTruncateTheWeightedMean) {
    Curve linear;
    EXPECT_EQ(127, compositeValue<TypeParam>({0, 0, 255}, linear));  // 127.5, truncated
    EXPECT_EQ(166, compositeValue<TypeParam>({100, 200}, linear));   // 166.67, truncated

    Curve emphasis;
    emphasis.emphasisOn = 1;
    EXPECT_EQ(176, compositeValue<TypeParam>({0, 0, 255}, emphasis));  // weights 1/9, 1/3, 1

    Curve fixed;
    fixed.reduceFixed = 1;
    EXPECT_EQ(85, compositeValue<TypeParam>({0, 0, 255}, fixed));
    fixed.emphasisOn = 1;  // a plain mean ignores the emphasis
    EXPECT_EQ(85, compositeValue<TypeParam>({0, 0, 255}, fixed));
}

TYPED_TEST(CompositeNumbers, ChannelsKeepTheirPlace) {
    std::vector<TypeParam> accumulator(3, TypeParam(0));
    Image sample(1, 1);
    sample.row(0)[0] = 10;  // blue
    sample.row(0)[1] = 20;  // green
    sample.row(0)[2] = 30;  // red
    accumulateRows(sample.row(0), sample.stride, 1, 1, TypeParam(1), accumulator.data());
    EXPECT_EQ(TypeParam(30), accumulator[0]) << "the accumulator holds red first";
    EXPECT_EQ(TypeParam(10), accumulator[2]);
    Image result(1, 1);
    normaliseRows(accumulator.data(), TypeParam(1), 1, 1, result.row(0), result.stride);
    EXPECT_EQ(10, result.row(0)[0]);
    EXPECT_EQ(20, result.row(0)[1]);
    EXPECT_EQ(30, result.row(0)[2]);
}

TYPED_TEST(CompositeNumbers, NewestSampleWeighsOneWhateverTheSettings) {
    for (int n : {1, 2, 3, 15, 100, 1000}) {
        for (float p : {0.01f, 0.5f, 1.0f, 5.0f, -2.0f}) {
            for (int fixed : {0, 1}) {
                for (int on : {0, 1}) {
                    for (int level : {0, 1, 100, 200, -100, -7}) {
                        EXPECT_EQ(TypeParam(1), sampleWeight<TypeParam>(n, n, p, fixed, on, level))
                            << n << " " << p << " " << fixed << " " << on << " " << level;
                    }
                }
            }
        }
    }
}

TYPED_TEST(CompositeNumbers, OlderSamplesFadeAndEmphasisPushesThemDown) {
    const int n = 15;
    for (int i = 1; i < n; ++i) {
        const TypeParam plain = sampleWeight<TypeParam>(i, n, 1.0f, 0, 0, 100);
        EXPECT_LT(plain, sampleWeight<TypeParam>(i + 1, n, 1.0f, 0, 0, 100));
        EXPECT_LT(sampleWeight<TypeParam>(i, n, 1.0f, 0, 1, 100), plain);
        EXPECT_GT(sampleWeight<TypeParam>(i, n, 0.2f, 0, 0, 100), plain) << "p below 1 keeps old samples strong";
        EXPECT_LT(sampleWeight<TypeParam>(i, n, 3.0f, 0, 0, 100), plain) << "p above 1 makes them fade fast";
    }
}

// A hand-edited INI file may hold a negative emphasis level, which would make the
// divisor (N - i) * E + 1 reach 0 or turn negative: such a level means no emphasis.
TYPED_TEST(CompositeNumbers, NegativeEmphasisLevelMeansNoEmphasis) {
    for (int level : {-1, -50, -100, -1000, std::numeric_limits<int>::min()}) {
        for (int i = 1; i <= 30; ++i) {
            EXPECT_EQ((sampleWeight<TypeParam>(i, 30, 1.0f, 0, 0, 0)),
                      (sampleWeight<TypeParam>(i, 30, 1.0f, 0, 1, level)))
                << i << " " << level;
        }
    }
    Curve curve;
    curve.emphasisOn = 1;
    curve.emphasisLevel = -100;  // would divide sample 2 of 3 by 0
    EXPECT_EQ(127, compositeValue<TypeParam>({0, 0, 255}, curve));
}

// Curves no dialog can set: every weight stays finite and not negative, so the result
// is still a mean of the samples and never garbage.
TYPED_TEST(CompositeNumbers, UnusableCurvesStillGiveAMeanOfTheSamples) {
    Curve notANumber;
    notANumber.reducePer = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(200, compositeValue<TypeParam>({10, 90, 200}, notANumber)) << "only the newest sample counts";

    Curve huge;
    huge.reducePer = -1e6f;  // (i / N)^p overflows
    const int value = compositeValue<TypeParam>({10, 90, 200}, huge);
    EXPECT_GE(value, 10);
    EXPECT_LE(value, 200);
    for (int i = 1; i <= 3; ++i) {
        const TypeParam w = sampleWeight<TypeParam>(i, 3, huge.reducePer, 0, 1, 50);
        EXPECT_TRUE(std::isfinite(w) && w >= 0) << i;
    }
    // The power itself, past any exponent a curve can hold: 0 or infinity, not not-a-number.
    EXPECT_EQ(portablePow(2.0, 1e301), std::numeric_limits<double>::infinity());
    EXPECT_EQ(portablePow(2.0, -1e301), 0.0);
    EXPECT_EQ(TypeParam(0), sampleWeight<TypeParam>(0, 3, 1.0f, 0, 0, 0));
    EXPECT_EQ(TypeParam(0), sampleWeight<TypeParam>(4, 3, 1.0f, 0, 0, 0));
}

// The two sums carry different rounding errors, so a value present in every sample can
// come out one lower; truncation must not round it back up.
TYPED_TEST(CompositeNumbers, SameValueEverywhereCanComeOutOneLower) {
    int lower = 0;
    for (int n = 2; n <= 60; ++n) {
        Curve curve;
        curve.emphasisOn = 1;
        curve.emphasisLevel = 37;
        curve.reducePer = 0.7f;
        const int value = compositeValue<TypeParam>(std::vector<int>(n, 255), curve);
        EXPECT_TRUE(value == 255 || value == 254) << n;
        lower += value == 254;
    }
    if (std::is_same<TypeParam, float>::value) {
        EXPECT_GT(lower, 0) << "expected at least one 254 in single precision";
    }
}

TYPED_TEST(CompositeNumbers, DivisorIsTheSumUnlessItIsTiny) {
    const TypeParam limit = static_cast<TypeParam>(1e-6f);
    EXPECT_EQ(TypeParam(2), normaliseDivisor(TypeParam(2)));
    EXPECT_EQ(limit, normaliseDivisor(limit));
    EXPECT_EQ(TypeParam(1), normaliseDivisor(std::nextafter(limit, TypeParam(0))));
    EXPECT_EQ(TypeParam(1), normaliseDivisor(TypeParam(0)));
    EXPECT_EQ(TypeParam(1), normaliseDivisor(TypeParam(-3)));
    EXPECT_EQ(TypeParam(1), normaliseDivisor(std::numeric_limits<TypeParam>::quiet_NaN()));
}

// Unusual sums in vector lanes and in the scalar tail (7 pixels = 16 + 5 elements).
TYPED_TEST(CompositeNumbers, NormaliseClampsEveryElementToAByte) {
    const TypeParam nan = std::numeric_limits<TypeParam>::quiet_NaN();
    const TypeParam inf = std::numeric_limits<TypeParam>::infinity();
    const TypeParam unusual[] = {-1, -0.5, 0, 0.999, 254.999, 255, 255.5, 300, 1e30, nan, inf, -inf, 127.5};
    const int expected[] = {0, 0, 0, 0, 254, 255, 255, 255, 255, 0, 255, 0, 127};
    const int count = sizeof unusual / sizeof unusual[0];
    for (int offset = 0; offset < 42; ++offset) {
        forceBaselineKernels(offset >= 21);
        std::vector<TypeParam> accumulator(21, TypeParam(42));
        const int at = (offset * 5) % 21;
        const int which = offset % count;
        accumulator[at] = unusual[which];
        Image result(7, 1, 0xEE);
        normaliseRows(accumulator.data(), TypeParam(1), 7, 1, result.row(0), result.stride);
        const int pixel = at / 3, channel = at % 3;
        EXPECT_EQ(expected[which], result.row(0)[3 * pixel + 2 - channel]) << "value " << unusual[which];
        EXPECT_EQ(0xEE, result.row(0)[21]) << "padding";
    }
    forceBaselineKernels(false);
}

// Independent scalar evaluation: one sample at a time, pixel by pixel.
template <typename Real>
void referenceAccumulate(const Image& image, Real weight, std::vector<Real>& accumulator) {
    for (int r = 0; r < image.height; ++r) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* px = image.bytes.data() + static_cast<size_t>(r) * image.stride + 3 * x;
            Real* sum = &accumulator[(static_cast<size_t>(r) * image.width + x) * 3];
            sum[0] = sum[0] + weight * Real(px[2]);
            sum[1] = sum[1] + weight * Real(px[1]);
            sum[2] = sum[2] + weight * Real(px[0]);
        }
    }
}

template <typename Real>
void referenceNormalise(const std::vector<Real>& accumulator, Real weightSum, Image& image) {
    const Real divisor = weightSum >= Real(1e-6f) ? weightSum : Real(1);
    for (int r = 0; r < image.height; ++r) {
        for (int x = 0; x < image.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const Real q = accumulator[(static_cast<size_t>(r) * image.width + x) * 3 + c] / divisor;
                const int value = q >= Real(255) ? 255 : static_cast<int>(q);
                image.bytes[static_cast<size_t>(r) * image.stride + 3 * x + 2 - c] = static_cast<uint8_t>(value);
            }
        }
    }
}

template <typename Real>
void checkAgainstReference(int width, int height, int n, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<Image> samples;
    for (int i = 0; i < n; ++i) {
        samples.emplace_back(width, height);
        for (uint8_t& b : samples.back().bytes) b = static_cast<uint8_t>(byte(random));
    }
    Curve curve;
    curve.emphasisOn = 1;
    curve.emphasisLevel = 1 + byte(random) % 200;
    curve.reducePer = 0.01f + static_cast<float>(byte(random)) / 51.0f;

    const size_t elements = static_cast<size_t>(width) * height * 3;
    std::vector<Real> expected(elements, Real(0)), single(elements, Real(0)), batched(elements, Real(0));
    std::vector<const uint8_t*> pointers;
    std::vector<Real> weights;
    Real weightSum = 0;
    for (int i = 1; i <= n; ++i) {
        const Real weight = sampleWeight<Real>(i, n, curve.reducePer, 0, 1, curve.emphasisLevel);
        weightSum += weight;
        referenceAccumulate(samples[i - 1], weight, expected);
        accumulateRows(samples[i - 1].row(0), samples[i - 1].stride, width, height, weight, single.data());
        pointers.push_back(samples[i - 1].row(0));
        weights.push_back(weight);
    }
    accumulateRows(pointers.data(), weights.data(), n, samples[0].stride, width, height, batched.data());
    ASSERT_EQ(0, memcmp(expected.data(), single.data(), elements * sizeof(Real))) << width << "x" << height;
    ASSERT_EQ(0, memcmp(expected.data(), batched.data(), elements * sizeof(Real))) << width << "x" << height;

    Image want(width, height, 0xC3), got(width, height, 0xC3);
    referenceNormalise(expected, weightSum, want);
    normaliseRows(batched.data(), weightSum, width, height, got.row(0), got.stride);
    ASSERT_EQ(want.bytes, got.bytes) << width << "x" << height << " (padding included)";

    // In one go, as the compositing phase does it.
    Image whole(width, height, 0xC3);
    compositeImages(pointers.data(), weights.data(), n, samples[0].stride, width, height, weightSum, whole.row(0),
                    whole.stride);
    ASSERT_EQ(want.bytes, whole.bytes) << width << "x" << height << " in one go";
}

// Widths around every vector length and its multiples, so each kernel's tail is taken.
template <typename Real>
void checkWidthsAgainstReference() {
    std::mt19937 random(20261207);
    const int widths[] = {1, 2, 3, 5, 7, 17, 255, 256, 257, 301, 640};
    for (int width : widths) checkAgainstReference<Real>(width, 3, 1 + width % 5, random);
    checkAgainstReference<Real>(33, 9, 15, random);
    checkAgainstReference<Real>(1000, 2, 37, random);  // 16 + 16 + 5: both ways of widening in one call
}

TYPED_TEST(CompositeNumbers, Sse2KernelsMatchScalarEvaluationOnRandomImages) {
    forceBaselineKernels(true);
    checkWidthsAgainstReference<TypeParam>();
    forceBaselineKernels(false);
}

// The bits match scalar code on either path, so a composite never depends on the processor.
TYPED_TEST(CompositeNumbers, Avx2KernelsMatchScalarEvaluationOnRandomImages) {
    if (strcmp(kernelPath(), "avx2") != 0) GTEST_SKIP() << "this processor has no AVX2: its kernels cannot run here";
    checkWidthsAgainstReference<TypeParam>();
}

// What the 32-bit and the 64-bit program make of the same samples, hashed (FNV-1a): the
// weights of several curves and their composites on each path. Both builds must give these
// numbers; a runtime function or an instruction that rounds differently on one changes them.
uint64_t hashed(uint64_t hash, const void* data, size_t size) {
    for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ULL;
    return hash;
}

TYPED_TEST(CompositeNumbers, EveryBuildGivesTheSameBytes) {
    std::mt19937 random(24);
    const int n = 15, width = 301, height = 4;
    std::vector<Image> samples(n, Image(width, height));
    std::vector<const uint8_t*> pointers;
    for (Image& sample : samples) {
        for (uint8_t& b : sample.bytes) b = static_cast<uint8_t>(random() >> 24);
        pointers.push_back(sample.row(0));
    }
    const Curve curves[] = {{1.0f, 0, 0, 100}, {0.37f, 0, 0, 100}, {2.5f, 0, 1, 37}, {5.0f, 0, 1, 200}, {1.0f, 1, 0, 0}};
    uint64_t weightHash = 14695981039346656037ULL, resultHash = weightHash;
    for (const Curve& c : curves) {
        std::vector<TypeParam> weights;
        TypeParam sum = 0;
        for (int i = 1; i <= n; ++i) {
            weights.push_back(sampleWeight<TypeParam>(i, n, c.reducePer, c.reduceFixed, c.emphasisOn, c.emphasisLevel));
            sum += weights.back();
        }
        for (int i = 1; i <= 900; ++i) weights.push_back(sampleWeight<TypeParam>(i, 900, c.reducePer, 0, 0, 0));
        weightHash = hashed(weightHash, weights.data(), weights.size() * sizeof(TypeParam));
        Image sse2(width, height), avx2(width, height);
        forceBaselineKernels(true);
        compositeImages(pointers.data(), weights.data(), n, samples[0].stride, width, height, sum, sse2.row(0), sse2.stride);
        forceBaselineKernels(false);
        compositeImages(pointers.data(), weights.data(), n, samples[0].stride, width, height, sum, avx2.row(0), avx2.stride);
        EXPECT_EQ(sse2.bytes, avx2.bytes) << "the " << kernelPath() << " path";
        resultHash = hashed(resultHash, sse2.bytes.data(), sse2.bytes.size());
    }
    const bool single = sizeof(TypeParam) == sizeof(float);
    EXPECT_EQ(weightHash, single ? 0xbf0da8edfcfc5554ULL : 0x3511b55317c324acULL) << std::hex << weightHash;
    EXPECT_EQ(resultHash, single ? 0x3601eda8430c1d6cULL : 0x22662ea4ce54ea11ULL) << std::hex << resultHash;
}

TYPED_TEST(CompositeNumbers, EmptyRegionsAreLeftAlone) {
    Image image(4, 2, 0x77);
    std::vector<TypeParam> accumulator(24, TypeParam(5));
    accumulateRows(image.row(0), image.stride, 4, 0, TypeParam(1), accumulator.data());
    accumulateRows(image.row(0), image.stride, 0, 2, TypeParam(1), accumulator.data());
    normaliseRows(accumulator.data(), TypeParam(1), 4, -1, image.row(0), image.stride);
    normaliseRows(accumulator.data(), TypeParam(1), 4, 2, nullptr, image.stride);
    EXPECT_EQ(std::vector<TypeParam>(24, TypeParam(5)), accumulator);
    EXPECT_EQ(std::vector<uint8_t>(image.bytes.size(), 0x77), image.bytes);
}

TEST(RowCopies, DropAndRestoreTheSlotPadding) {
    const int w = 3, h = 2, stride = 12;  // 9 bytes of pixels, 3 of padding
    std::vector<uint8_t> slot(stride * h), sample(w * h * 3), back(stride * h, 0xEE);
    for (size_t i = 0; i < slot.size(); ++i) slot[i] = static_cast<uint8_t>(i);
    copyRows(slot.data(), stride, sample.data(), 3 * w, 3 * w, h);
    EXPECT_EQ(sample[8], 8);
    EXPECT_EQ(sample[9], 12) << "row 1 follows row 0 without padding";
    copyRows(sample.data(), 3 * w, back.data(), stride, 3 * w, h);
    EXPECT_EQ(back[12], 12);
    EXPECT_EQ(back[9], 0xEE) << "padding is left alone";
    EXPECT_EQ(back[23], 0xEE);
}

}  // namespace
