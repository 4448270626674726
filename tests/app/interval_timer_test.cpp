// The sampling clock: 0.1 ms ticks from the counter or the millisecond clock.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/interval_timer.h"

TEST(Clock, CounterReadingsBecomeTruncatedTicks) {
    EXPECT_EQ(ticksFromCounter(10000000, 10000000), 10000);
    EXPECT_EQ(ticksFromCounter(1, 3), 3333);
    EXPECT_EQ(ticksFromCounter(2, 3), 6666) << "truncated, not rounded";
    EXPECT_EQ(ticksFromCounter(-2, 3), -6666) << "truncated toward zero";
    // Days of uptime at a 10 MHz counter keep their precision.
    EXPECT_EQ(ticksFromCounter(8640000000000LL + 12345, 10000000), 8640000012LL);
}

TEST(Clock, ElapsedIsNeverNegativeAndKeepsTheLow32Bits) {
    EXPECT_EQ(IntervalTimer::elapsedTicks(100, 766), 666);
    EXPECT_EQ(IntervalTimer::elapsedTicks(766, 766), 0);
    EXPECT_EQ(IntervalTimer::elapsedTicks(767, 766), 0) << "a clock that went back waits";
    EXPECT_EQ(IntervalTimer::elapsedTicks(-5, 5), 10);
    EXPECT_EQ(IntervalTimer::elapsedTicks(0, (1LL << 32) + 5), 5);
}

TEST(Clock, IntervalFollowsTheRateThatApplies) {
    EXPECT_EQ(stepInterval(0, 15, 30), 666) << "a screenshot capture";
    EXPECT_EQ(stepInterval(1, 15, 30), 333) << "AVI-only recording and idle polling";
    EXPECT_EQ(stepInterval(0, 10000, 1), 1);
    EXPECT_EQ(stepInterval(0, 20000, 1), 0) << "faster than a tick: a step every pass";
    // A rate that slipped past loading still gives a defined interval.
    EXPECT_EQ(stepInterval(0, 0, 15), 10000);
    EXPECT_EQ(stepInterval(1, 15, -4), 10000);
}

TEST(Clock, MillisecondFallbackKeepsRisingAcrossItsWrap) {
    DWORD last = 0;
    unsigned long long wraps = 0;
    const unsigned long long before = unwrapMilliseconds(0xFFFFFF00u, last, wraps);
    EXPECT_EQ(before, 0xFFFFFF00ull);
    EXPECT_EQ(unwrapMilliseconds(0xFFFFFFFFu, last, wraps), 0xFFFFFFFFull);
    const unsigned long long after = unwrapMilliseconds(0x100u, last, wraps);
    EXPECT_EQ(after, (1ull << 32) + 0x100u);
    EXPECT_EQ(unwrapMilliseconds(0x100u, last, wraps), after) << "the same reading is no wrap";
    EXPECT_EQ(unwrapMilliseconds(0x101u, last, wraps), after + 1);

    // The main loop's test across the wrap: 512 ms = 5120 ticks have passed.
    const long long markTicks = static_cast<long long>(before) * 10;
    const long long nowTicks = static_cast<long long>(after) * 10;
    EXPECT_EQ(IntervalTimer::elapsedTicks(markTicks, nowTicks), 5120);
    EXPECT_GE(IntervalTimer::elapsedTicks(markTicks, nowTicks), stepInterval(0, 15, 15));

    // A second wrap adds another 2^32 ms.
    EXPECT_EQ(unwrapMilliseconds(5u, last, wraps), (2ull << 32) + 5u);
}

TEST(Clock, BothSourcesMeasureRealTime) {
    for (BOOL highResolution : {TRUE, FALSE}) {
        SCOPED_TRACE(highResolution ? "counter" : "milliseconds");
        IntervalTimer timer;
        if (highResolution) {
            ASSERT_TRUE(timer.highResolution) << "the counter exists here";
        } else {
            timer.highResolution = FALSE;
        }
        timer.mark();
        Sleep(30);
        timer.now();
        EXPECT_GE(timer.elapsed(), 250) << "30 ms are at least 250 ticks";
        EXPECT_GE(timer.nowTicks, timer.markTicks);
    }
}
