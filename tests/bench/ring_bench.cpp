// Times the ring of the last seconds with 50 samples at 1024 x 768 and 1920 x 1080: the
// memory it holds for a still screen, a 200 x 200 square moving 30 px a sample over a busy
// background, a 200 x 200 area changing in place, and everything changing, beside 50 whole
// samples; a push (median) beside a plain copy of one sample; all 50 samples rebuilt band
// by band (32 rows, the whole width) and walked one frame at a time, beside reading 50
// whole samples once.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/retro_ring.h"
#include "composite/mean_kernel.h"
#include "composite/ring_composite.h"
#include "core/pixel_rows.h"

#include "bench/bench_clock.h"

namespace {

const int kSamples = 50;
const int kSquare = 200;
const int kStep = 30;
const int kBand = 32;

enum Scene { kStill, kMoving, kInPlace, kEverything };
const char* const kSceneNames[] = {"still screen", "200x200 moving 30 px", "200x200 in place", "everything"};

volatile uint64_t sink;

void fillNoise(uint8_t* bytes, size_t count, uint32_t seed) {
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<uint8_t>(seed >> 24);
    }
}

// Sample k of the scene into a slot of padded rows: the busy background, and on it the
// square (its own texture, shifted in value for the one in place) or everything shifted.
void paintSample(Scene scene, int k, const std::vector<uint8_t>& background, const std::vector<uint8_t>& texture,
                 int width, int height, uint8_t* slot, int stride) {
    copyRows(background.data(), width * 3, slot, stride, width * 3, height);
    if (scene == kStill) return;
    if (scene == kEverything) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width * 3; ++x) slot[static_cast<size_t>(y) * stride + x] += static_cast<uint8_t>(k + 1);
        }
        return;
    }
    const int left = scene == kMoving ? (k * kStep) % (width - kSquare) : width / 2 + 7;
    const int top = scene == kMoving ? height / 3 : height / 2 + 5;
    uint8_t* corner = slot + static_cast<size_t>(top) * stride + static_cast<size_t>(left) * 3;
    copyRows(texture.data(), kSquare * 3, corner, stride, kSquare * 3, kSquare);
    if (scene == kInPlace) {
        for (int y = 0; y < kSquare; ++y) {
            for (int x = 0; x < kSquare * 3; ++x) corner[static_cast<size_t>(y) * stride + x] += static_cast<uint8_t>(k);
        }
    }
}

double medianOf(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// All samples rebuilt band by band as the composite asks for them.
void rebuildAllBands(int width, int height, uint8_t* bands) {
    for (int top = 0; top < height; top += kBand) {
        ringRebuild(0, top, width, std::min(kBand, height - top), bands);
        sink = sink + bands[0];
    }
}

void walkAll(int width, int height, uint8_t* frame) {
    ringWalkBegin(0, 0, width, height, frame);
    while (ringWalkNext(frame)) sink = sink + frame[0];
}

// What the ring's key costs past the composite itself: each mode composited from the
// ring, a band at a time, beside the same composite of the 50 whole samples in memory.
void benchComposites(int width, int height) {
    const size_t whole = static_cast<size_t>(width) * height * 3;
    std::vector<uint8_t> all(whole * kSamples), result(static_cast<size_t>(stride24(width)) * height);
    if (!ringRebuild(0, 0, width, height, all.data())) return;
    std::vector<const uint8_t*> images;
    std::vector<float> weights;
    float weightSum = 0;
    for (int k = 0; k < kSamples; ++k) {
        images.push_back(all.data() + whole * k);
        weights.push_back(sampleWeight<float>(k + 1, kSamples, 1.0f, 0, 0, 100));
        weightSum += weights.back();
    }
    const char* names[] = {"mean", "lighten", "darken", "median"};
    const CompositeMode modes[] = {CompositeMode::Mean, CompositeMode::Lighten, CompositeMode::Darken,
                                   CompositeMode::Median};
    for (int m = 0; m < 4; ++m) {
        const double fromRing = timeRuns(3, [] {}, [&] {
            compositeFromRing(modes[m], weights.data(), kSamples, 0, 0, width, height, weightSum, result.data(),
                              stride24(width));
        }).medianMs;
        const double fromMemory = timeRuns(3, [] {}, [&] {
            std::vector<float> scaled;
            weightsForMode(modes[m], weights.data(), kSamples, scaled);
            compositeInMode(modes[m], images.data(), scaled.empty() ? weights.data() : scaled.data(), kSamples,
                            width * 3, width, height, weightSum, result.data(), stride24(width));
        }).medianMs;
        printf("    %-8s from the ring %7.2f ms, of whole samples in memory %7.2f ms (%4.2fx)\n", names[m], fromRing,
               fromMemory, fromRing / fromMemory);
    }
}

void benchSize(int width, int height) {
    const size_t whole = static_cast<size_t>(width) * height * 3;
    const int stride = stride24(width);
    std::vector<uint8_t> background(whole), texture(static_cast<size_t>(kSquare) * kSquare * 3);
    fillNoise(background.data(), background.size(), 1);
    fillNoise(texture.data(), texture.size(), 2);
    std::vector<uint8_t> slot(static_cast<size_t>(stride) * height), copy(whole);
    std::vector<uint8_t> bands(static_cast<size_t>(kSamples) * kBand * width * 3), frame(whole);

    // The references: a plain copy of one sample, and 50 whole samples read once.
    const double copyMs = timeRuns(9, [] {}, [&] {
        memcpy(copy.data(), background.data(), whole);
        sink = sink + copy[7];
    }).medianMs;
    // A ring of whole samples would copy each into memory of its own, new to the process.
    const double freshMs = timeRuns(9, [] {}, [&] {
        uint8_t* block = static_cast<uint8_t*>(malloc(whole));
        memcpy(block, background.data(), whole);
        sink = sink + block[7];
        free(block);
    }).medianMs;
    std::vector<uint64_t> samples(whole * kSamples / 8, 0x0101010101010101ull);
    const double readMs = timeRuns(3, [] {}, [&] {
        uint64_t sum = 0;
        for (uint64_t word : samples) sum += word;
        sink = sum;
    }).medianMs;
    samples = std::vector<uint64_t>();
    printf("== %d x %d, %d samples; one sample %.2f MB, 50 whole samples %.1f MB\n", width, height, kSamples,
           whole / 1e6, whole * kSamples / 1e6);
    printf("plain copy of one sample %5.2f ms (into a new malloc'd block %5.2f ms); "
           "reading 50 whole samples once %6.2f ms\n", copyMs, freshMs, readMs);

    for (Scene scene : {kStill, kMoving, kInPlace, kEverything}) {
        if (!ringStart(width, height)) {
            printf("%-22s the ring could not be started\n", kSceneNames[scene]);
            continue;
        }
        std::vector<double> pushMs;
        for (int k = 0; k < kSamples; ++k) {
            paintSample(scene, k, background, texture, width, height, slot.data(), stride);
            const double start = now();
            const bool pushed = ringPush(slot.data(), stride, k * 1000LL);
            if (k > 0) pushMs.push_back((now() - start) * 1000.0);
            if (!pushed) printf("push %d refused\n", k);
        }
        const double bytes = static_cast<double>(ringBytes());
        const double rebuildMs = timeRuns(3, [] {}, [&] { rebuildAllBands(width, height, bands.data()); }).medianMs;
        const double walkMs = timeRuns(3, [] {}, [&] { walkAll(width, height, frame.data()); }).medianMs;
        printf("%-22s ring %8.2f MB = %5.3f of one sample, %5.1f %% of 50 | push %6.2f ms (%4.2fx the copy) | "
               "rebuild in bands %7.2f ms (%4.2fx the read) | walk %7.2f ms\n",
               kSceneNames[scene], bytes / 1e6, bytes / whole, 100.0 * bytes / (static_cast<double>(whole) * kSamples),
               medianOf(pushMs), medianOf(pushMs) / copyMs, rebuildMs, rebuildMs / readMs, walkMs);
        if (scene == kMoving || scene == kEverything) benchComposites(width, height);
        ringStop();
    }
}

}  // namespace

int main() {
    printf("ring of the last seconds: push median of 49, rebuild and walk median of 3, one thread\n");
    benchSize(1024, 768);
    benchSize(1920, 1080);
    return 0;
}
