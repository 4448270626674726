// The sampling clock: 0.1 ms ticks from the counter or the millisecond clock.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/interval_timer.h"

// What the main loop measures between two counter readings is the time that passed,
// to the tick, at the rates counters run at and after any uptime: no overflow, no
// precision lost to large readings, never a step backwards.
TEST(Clock, CounterTicksMeasureTheTimeBetweenReadingsAfterAnyUptime) {
    const long long rates[] = {3579545, 10000000, 2400000000LL};  // ACPI timer, 10 MHz, a 2.4 GHz TSC
    for (long long rate : rates) {
        for (long long days : {0LL, 1LL, 50LL, 400LL}) {
            const long long mark = days * 86400 * rate + 12345;
            for (long long counts : {1LL, rate / 1500, rate, rate * 3600}) {  // a count, 1/15 s, 1 s, 1 h
                SCOPED_TRACE(::testing::Message() << rate << " Hz, day " << days << ", " << counts << " counts");
                const long double passed = static_cast<long double>(counts) * 10000 / rate;
                const long long measured = ticksFromCounter(mark + counts, rate) - ticksFromCounter(mark, rate);
                EXPECT_GE(measured, static_cast<long long>(passed) - 1);
                EXPECT_LE(measured, static_cast<long long>(passed) + 1);
            }
        }
        // Readings ten hours apart over 400 days: the ticks only ever rise, by the time passed.
        const long long step = 36000 * rate;
        for (long long reading = 0; reading < 400 * 86400 * rate; reading += step) {
            const long long measured = ticksFromCounter(reading + step, rate) - ticksFromCounter(reading, rate);
            ASSERT_GE(measured, 360000000 - 1) << rate << " Hz at " << reading;
            ASSERT_LE(measured, 360000000 + 1) << rate << " Hz at " << reading;
        }
    }
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
