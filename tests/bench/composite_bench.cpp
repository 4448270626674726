// Times one composite of 15 full-HD samples on one thread, in both precisions, beside
// the machine's plain memory-read and memory-copy speed measured in the same run.
// With a path argument it also writes the 15 samples there as raw bgr24 frames, so the
// script can time another mixer on exactly the same input. With "--store n w h windowMB"
// it times only the mean and the median of n samples of w x h read through the store's
// windows, the case of many large samples.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/capture.h"
#include "capture/sample_store.h"
#include "composite/mean_kernel.h"
#include "core/pixel_rows.h"
#include "composite/lighten_kernel.h"
#include "composite/median_kernel.h"
#include "capture/slot_pool.h"
#include "composite/store_composite.h"

#include "bench/bench_clock.h"
#include "support/files.h"

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const int kSamples = 15;
const int kRuns = 9;

// Median of kRuns timings of f, in milliseconds.
double medianMs(const std::function<void()>& f) { return timeRuns(kRuns, [] {}, f).medianMs; }

volatile uint64_t sink;

// The store's samples, oldest first: a moving gradient with some noise.
std::vector<uint8_t> makeSamples() {
    std::vector<uint8_t> samples(static_cast<size_t>(sampleBytes(kWidth, kHeight)) * kSamples);
    uint32_t noise = 12345;
    for (int k = 0; k < kSamples; ++k) {
        uint8_t* sample = samples.data() + static_cast<size_t>(sampleBytes(kWidth, kHeight)) * k;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth * 3; ++x) {
                noise = noise * 1664525u + 1013904223u;
                sample[static_cast<size_t>(y) * kWidth * 3 + x] =
                    static_cast<uint8_t>((x / 3 + y + 40 * k) + (noise >> 29));
            }
        }
    }
    return samples;
}

// One composite as the compositing phase runs it: the weighted samples summed and
// divided a few hundred pixels at a time into a padded image. For
// comparison, the same with a full-size accumulator, one sample added per pass.
template <typename Real>
void composite(const std::vector<uint8_t>& samples, uint8_t* result, bool fullAccumulator) {
    const uint8_t* images[kSamples];
    Real weights[kSamples];
    Real weightSum = 0;
    for (int i = 1; i <= kSamples; ++i) {
        images[i - 1] = samples.data() + static_cast<size_t>(sampleBytes(kWidth, kHeight)) * (i - 1);
        weights[i - 1] = sampleWeight<Real>(i, kSamples, 1.0f, 0, 0, 100);
        weightSum += weights[i - 1];
    }
    if (fullAccumulator) {
        Real* accumulator = static_cast<Real*>(calloc(static_cast<size_t>(kWidth) * kHeight * 3, sizeof(Real)));
        for (int i = 0; i < kSamples; ++i) {
            accumulateRows(images[i], kWidth * 3, kWidth, kHeight, weights[i], accumulator);
        }
        normaliseRows(accumulator, weightSum, kWidth, kHeight, result, stride24(kWidth));
        free(accumulator);
        return;
    }
    compositeImages(images, weights, kSamples, kWidth * 3, kWidth, kHeight, weightSum, result, stride24(kWidth));
}

// A store of n samples of w x h in "tmp.map" in the temporary folder.
bool openBenchStore(int n, int width, int height) {
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length > 0 && length < MAX_PATH) temp[length - 1] = '\0';  // held without its backslash
    createSampleStore(temp, 0);
    return ensureStoreCapacity(width, height, n);
}

// The mean (both precisions) and the median of the store's n samples, through windows of
// storeWindowBytes, with the views each maps.
void timeThroughStore(int n, int width, int height, int runs, uint8_t* result) {
    std::vector<float> floatWeights(static_cast<size_t>(n));
    std::vector<double> doubleWeights(static_cast<size_t>(n));
    float floatSum = 0;
    double doubleSum = 0;
    for (int i = 1; i <= n; ++i) {
        floatSum += floatWeights[i - 1] = sampleWeight<float>(i, n, 1.0f, 0, 0, 100);
        doubleSum += doubleWeights[i - 1] = sampleWeight<double>(i, n, 1.0f, 0, 0, 100);
    }
    long long views[3] = {};
    double ms[3] = {};
    for (int m = 0; m < 3; ++m) {
        views[m] = storeViewsMapped;
        ms[m] = timeRuns(runs, [] {}, [&] {
                    if (m == 0) {
                        compositeFromStore(CompositeMode::Mean, floatWeights.data(), n, width, width, height, floatSum,
                                           result, stride24(width));
                    } else if (m == 1) {
                        compositeFromStore(CompositeMode::Mean, doubleWeights.data(), n, width, width, height,
                                           doubleSum, result, stride24(width));
                    } else {
                        compositeFromStore(CompositeMode::Median, floatWeights.data(), n, width, width, height,
                                           floatSum, result, stride24(width));
                    }
                }).medianMs;
        views[m] = (storeViewsMapped - views[m]) / runs;
    }
    printf("from the store, windows of %5.1f MB: float %8.2f ms, double %8.2f ms (%lld views); "
           "median %8.2f ms (%lld views), %.2fx the float mean\n",
           static_cast<double>(storeWindowBytes) / 1e6, ms[0], ms[1], views[0], ms[2], views[2], ms[2] / ms[0]);
}

}  // namespace

int main(int argc, char** argv) {
    // "--store n w h windowMB": only the store's composites, of n samples of w x h.
    if (argc == 6 && strcmp(argv[1], "--store") == 0) {
        const int n = atoi(argv[2]), width = atoi(argv[3]), height = atoi(argv[4]);
        storeWindowBytes = atoll(argv[5]) * 1024 * 1024;
        if (n < 1 || width < 1 || height < 1 || storeWindowBytes < 1 || !openBenchStore(n, width, height)) {
            fprintf(stderr, "no store of %d samples of %dx%d\n", n, width, height);
            return 1;
        }
        // Every sample a little different: the noise of one, moved along by its number.
        const long long bytes = sampleBytes(width, height);
        std::vector<uint8_t> noise(static_cast<size_t>(bytes) + 4096);
        uint32_t state = 12345;
        for (uint8_t& byte : noise) byte = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
        for (int k = 0; k < n; ++k) memcpy(storeBytes(k * bytes, bytes), noise.data() + k % 4096, static_cast<size_t>(bytes));
        std::vector<uint8_t> result(static_cast<size_t>(stride24(width)) * height);
        printf("store: %d samples of %dx%d, %.1f GB\n", n, width, height, static_cast<double>(bytes) * n / 1e9);
        timeThroughStore(n, width, height, 3, result.data());
        releaseSampleStore();
        return 0;
    }
    const std::vector<uint8_t> samples = makeSamples();
    if (argc > 1 && !writeFileBytes(argv[1], samples.data(), samples.size())) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const double megabytes = static_cast<double>(samples.size()) / 1e6;
    std::vector<uint8_t> copy(samples.size(), 1);
    std::vector<uint8_t> result(static_cast<size_t>(stride24(kWidth)) * kHeight, 0);

    const double readMs = medianMs([&] {
        const uint64_t* words = reinterpret_cast<const uint64_t*>(samples.data());
        uint64_t a = 0, b = 0, c = 0, d = 0;
        for (size_t i = 0; i + 4 <= samples.size() / 8; i += 4) {
            a += words[i];
            b += words[i + 1];
            c += words[i + 2];
            d += words[i + 3];
        }
        sink = a + b + c + d;
    });
    const double copyMs = medianMs([&] { memcpy(copy.data(), samples.data(), samples.size()); });
    // The phase also replays every sample into the padded capture slot.
    const double replayMs = medianMs([&] {
        for (int k = 0; k < kSamples; ++k) {
            copyRows(samples.data() + static_cast<size_t>(sampleBytes(kWidth, kHeight)) * k, 3 * kWidth, copy.data(),
                     stride24(kWidth), 3 * kWidth, kHeight);
        }
    });

    printf("samples: %d of %dx%d, %.1f MB; one thread; kernels: %s\n", kSamples, kWidth, kHeight, megabytes,
           kernelPath());
    printf("memory read   %8.2f ms  %6.1f GB/s\n", readMs, megabytes / readMs);
    printf("memory copy   %8.2f ms  %6.1f GB/s (bytes copied)\n", copyMs, megabytes / copyMs);
    printf("replay copies %8.2f ms  (15 samples into a padded slot)\n", replayMs);
    for (bool baseline : {false, true}) {
        forceBaselineKernels(baseline);
        const char* path = kernelPath();
        const double floatMs = medianMs([&] { composite<float>(samples, result.data(), false); });
        const double doubleMs = medianMs([&] { composite<double>(samples, result.data(), false); });
        const double floatOneMs = medianMs([&] { composite<float>(samples, result.data(), true); });
        const double doubleOneMs = medianMs([&] { composite<double>(samples, result.data(), true); });
        printf("composite float  %-4s %8.2f ms  %6.1f GB/s of samples  (full accumulator, one sample per pass: %.2f ms)\n", path,
               floatMs, megabytes / floatMs, floatOneMs);
        printf("composite double %-4s %8.2f ms  %6.1f GB/s of samples  (full accumulator, one sample per pass: %.2f ms)\n", path,
               doubleMs, megabytes / doubleMs, doubleOneMs);
    }
    // The other modes on the same samples: lighten and darken take the mean's weights
    // (here already 1 for the newest), the median none.
    for (bool baseline : {false, true}) {
        forceBaselineKernels(baseline);
        const char* path = kernelPath();
        const uint8_t* images[kSamples];
        float floatWeights[kSamples];
        double doubleWeights[kSamples];
        for (int i = 1; i <= kSamples; ++i) {
            images[i - 1] = samples.data() + static_cast<size_t>(sampleBytes(kWidth, kHeight)) * (i - 1);
            floatWeights[i - 1] = sampleWeight<float>(i, kSamples, 1.0f, 0, 0, 100);
            doubleWeights[i - 1] = sampleWeight<double>(i, kSamples, 1.0f, 0, 0, 100);
        }
        for (bool darken : {false, true}) {
            const double floatMs = medianMs([&] {
                lightenImages(images, floatWeights, kSamples, kWidth * 3, kWidth, kHeight, darken, result.data(),
                              stride24(kWidth));
            });
            const double doubleMs = medianMs([&] {
                lightenImages(images, doubleWeights, kSamples, kWidth * 3, kWidth, kHeight, darken, result.data(),
                              stride24(kWidth));
            });
            printf("%-7s float  %-4s %8.2f ms   double %8.2f ms\n", darken ? "darken" : "lighten", path, floatMs,
                   doubleMs);
        }
        const double medianTime = medianMs([&] {
            medianImages(images, kSamples, kWidth * 3, kWidth, kHeight, result.data(), stride24(kWidth));
        });
        printf("median        %-4s %8.2f ms\n", path, medianTime);
    }
    forceBaselineKernels(false);

    // The same composite read from a sample store ("tmp.map" in the temporary folder):
    // through one window that holds all 15 samples, and through windows of the program's
    // usual size (64 MB: ten samples), as a capture of this size composites.
    if (openBenchStore(kSamples, kWidth, kHeight)) {
        for (int k = 0; k < kSamples; ++k) {
            const long long bytes = sampleBytes(kWidth, kHeight);
            memcpy(storeBytes(k * bytes, bytes), samples.data() + static_cast<size_t>(bytes) * k,
                   static_cast<size_t>(bytes));
        }
        const long long usual = storeWindowBytes;
        for (long long window : {sampleBytes(kWidth, kHeight) * kSamples + (1 << 16), usual}) {
            storeWindowBytes = window;
            // A view of the last byte alone: a view of the earlier size left in place
            // would hold every sample, and no window of this size would ever be mapped.
            storeBytes(store.capacity - 1, 1);
            timeThroughStore(kSamples, kWidth, kHeight, kRuns, result.data());
        }
        storeWindowBytes = usual;
    }
    releaseSampleStore();
    return 0;
}
