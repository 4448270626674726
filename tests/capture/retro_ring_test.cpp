// The ring of the last seconds: every sample rebuilt byte for byte as it was pushed, with
// its time, by rectangles and by the walk, through random changes of every size and after
// trims and drops by age; and what it costs in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "capture/retro_ring.h"
#include "core/pixel_rows.h"

namespace {

using Image = std::vector<uint8_t>;  // rows of 3 x width bytes, no padding

// Pushes the sample through a padded copy whose padding is noise the ring must ignore.
bool push(const Image& sample, int width, int height, std::mt19937& random, long long ticks = 0) {
    const int stride = stride24(width) + 4;
    Image padded(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = width * 3; x < stride; ++x) {
            padded[static_cast<size_t>(y) * stride + x] = static_cast<uint8_t>(random());
        }
    }
    copyRows(sample.data(), width * 3, padded.data(), stride, width * 3, height);
    return ringPush(padded.data(), stride, ticks);
}

// The next sample: the last with one random rectangle repainted (none, one pixel, one on
// tile edges, one reaching the right and bottom edges, or everything).
Image changed(Image sample, int width, int height, std::mt19937& random) {
    int x0 = random() % width, y0 = random() % height, x1 = x0 + 1 + random() % (width - x0),
        y1 = y0 + 1 + random() % (height - y0);
    switch (random() % 6) {
    case 0: return sample;
    case 1: x1 = x0 + 1, y1 = y0 + 1; break;
    case 2:
        x0 -= x0 % kRingTile, y0 -= y0 % kRingTile;
        x1 = std::min(width, x0 + kRingTile), y1 = std::min(height, y0 + 2 * kRingTile);
        break;
    case 3: x1 = width, y1 = height; break;
    case 4: x0 = 0, y0 = 0, x1 = width, y1 = height; break;
    }
    const uint8_t shade = static_cast<uint8_t>(random());
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = &sample[static_cast<size_t>(y) * width * 3];
        for (int x = 3 * x0; x < 3 * x1; ++x) row[x] = static_cast<uint8_t>(shade + x * y);
    }
    return sample;
}

// The held samples, rebuilt in a random rectangle and walked through another, against the
// last ones pushed, and their times.
void expectHeldAsPushed(const std::vector<Image>& pushed, const std::vector<long long>& times, int width, int height,
                        std::mt19937& random) {
    const int held = ringSampleCount();
    ASSERT_GT(held, 0);
    ASSERT_LE(held, static_cast<int>(pushed.size()));
    for (int k = 0; k < held; ++k) ASSERT_EQ(ringSampleTicks(k), times[times.size() - held + k]) << "sample " << k;
    for (int walk = 0; walk < 2; ++walk) {
        const int left = random() % width, top = random() % height;
        const int cols = 1 + random() % (width - left), rows = 1 + random() % (height - top);
        const size_t frameBytes = static_cast<size_t>(cols) * rows * 3;
        Image out(frameBytes * held);
        if (walk) {
            ASSERT_TRUE(ringWalkBegin(left, top, cols, rows, out.data()));
            for (int k = 1; k < held; ++k) {
                memcpy(&out[frameBytes * k], &out[frameBytes * (k - 1)], frameBytes);
                ASSERT_TRUE(ringWalkNext(&out[frameBytes * k]));
            }
            EXPECT_FALSE(ringWalkNext(&out[frameBytes * (held - 1)])) << "the walk ends at the newest";
        } else {
            ASSERT_TRUE(ringRebuild(left, top, cols, rows, out.data()));
        }
        for (int k = 0; k < held; ++k) {
            const Image& sample = pushed[pushed.size() - held + k];
            for (int y = 0; y < rows; ++y) {
                const uint8_t* row = &out[frameBytes * k + static_cast<size_t>(y) * cols * 3];
                ASSERT_EQ(memcmp(row, &sample[(static_cast<size_t>(top + y) * width + left) * 3], cols * 3u), 0)
                    << (walk ? "walk" : "rebuild") << ": sample " << k << " of " << held << ", rectangle " << left << ","
                    << top << " " << cols << "x" << rows << ", row " << y;
            }
        }
    }
}

TEST(RetroRing, EverySampleComesBackAsPushedThroughChangesAndTrims) {
    std::mt19937 random(20261208);
    const int width = 100, height = 75;  // a narrow last column and a short last row of tiles
    ASSERT_TRUE(ringStart(width, height));
    EXPECT_FALSE(ringRebuild(0, 0, 1, 1, nullptr)) << "nothing held yet";
    std::vector<Image> pushed;
    std::vector<long long> times;  // now and then two samples at one time
    Image sample(static_cast<size_t>(width) * height * 3);
    for (uint8_t& byte : sample) byte = static_cast<uint8_t>(random());
    for (int i = 0; i < 120; ++i) {
        if (i > 0) sample = changed(sample, width, height, random);
        pushed.push_back(sample);
        times.push_back(i == 0 ? 5 : times.back() + random() % 3 * 500);
        ASSERT_TRUE(push(sample, width, height, random, times.back()));
        if (i == 60) ringTrim(25, LLONG_MAX);
        if (i == 90) ringTrim(1000, ringBytes() / 2);
        if (i == 100) {
            ringDropBefore(times[96]);  // what came before goes, what came at the cut stays
            EXPECT_TRUE(ringSampleTicks(0) >= times[96] && times[times.size() - ringSampleCount() - 1] < times[96]);
        }
        if (i % 7 == 0 || i == 60 || i == 90 || i == 100) expectHeldAsPushed(pushed, times, width, height, random);
    }
    EXPECT_FALSE(ringRebuild(1, 0, width, 1, sample.data())) << "a rectangle past the ring";
    ringTrim(0, 0);
    EXPECT_EQ(ringSampleCount(), 1) << "the newest stays";
    expectHeldAsPushed(pushed, times, width, height, random);
    ringDropBefore(times.back() + 1);  // the newest too: nothing held, the next push whole
    EXPECT_EQ(ringSampleCount(), 0);
    pushed.push_back(changed(sample, width, height, random));
    times.push_back(times.back() + 1);
    ASSERT_TRUE(push(pushed.back(), width, height, random, times.back()));
    expectHeldAsPushed(pushed, times, width, height, random);
    ringStop();
}

TEST(RetroRing, AStillScreenCostsOneSampleAndAChangedTileItsPixels) {
    std::mt19937 random(7);
    const int width = 1024, height = 768;
    const long long whole = 1024LL * 768 * 3;
    ASSERT_TRUE(ringStart(width, height));
    Image sample(static_cast<size_t>(whole));
    for (uint8_t& byte : sample) byte = static_cast<uint8_t>(random());
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(push(sample, width, height, random));
    EXPECT_EQ(ringSampleCount(), 50);
    const long long still = ringBytes();
    EXPECT_LE(still, whole * 105 / 100);
    // One pixel changed in each of ten samples holds one tile of the older sample in each.
    for (int i = 0; i < 10; ++i) {
        sample[static_cast<size_t>(i) * 100 * 3] ^= 1;
        ASSERT_TRUE(push(sample, width, height, random));
    }
    const long long tile = kRingTile * kRingTile * 3;
    EXPECT_GE(ringBytes() - still, 10 * tile);
    EXPECT_LE(ringBytes() - still, 10 * (tile + 64));
    ringTrim(1000, still);
    EXPECT_LE(ringBytes(), still);
    ringStop();
    EXPECT_EQ(ringBytes(), 0);
}

}  // namespace
