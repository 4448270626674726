// The ring's cost with worked numbers: a whole sample is width x height x 3 bytes.
#include <gtest/gtest.h>

#include "capture/retro_cost.h"

TEST(RetroCost, TheCapHoldsWholeSamplesAndTheNewestStartsTheExposure) {
    // A cap of exactly the 9 samples wanted holds them all; a byte less loses the oldest.
    EXPECT_FALSE(retroCost(100, 100, 4, 2, 9 * 30000).shortened);
    const RetroCost capped = retroCost(100, 100, 4, 2, 9 * 30000 - 1);
    EXPECT_EQ(capped.mostBytes, 8 * 30000);
    EXPECT_DOUBLE_EQ(capped.seconds, 7 / 4.0);
    // 7680 x 4320 at 60/s for 60 s: 3601 samples of 99,532,800 bytes, past 32 bits.
    EXPECT_EQ(retroCost(7680, 4320, 60, 60, 1LL << 50).mostBytes, 3601LL * 99532800);
}
