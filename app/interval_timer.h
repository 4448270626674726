#pragma once
// The sampling clock: ticks of 0.1 ms from the high-resolution counter, or from the
// millisecond clock where there is none.
#include <windows.h>

class IntervalTimer {
public:
    IntervalTimer() { init(); }
    ~IntervalTimer() {}
    void init();      // what the constructor does; start-up runs it once more
    void mark() { markTicks = currentTicks(); }
    void now() { nowTicks = currentTicks(); }
    int elapsed() const { return elapsedTicks(markTicks, nowTicks); }

    long long frequency;
    long long markTicks;
    long long nowTicks;
    BOOL highResolution;

    static int elapsedTicks(long long mark, long long now);

private:
    long long currentTicks();
    DWORD lastMilliseconds = 0;
    unsigned long long millisecondWraps = 0;
};

extern IntervalTimer intervalTimer;

// Ticks of a high-resolution counter reading: trunc(count / frequency * 10000) in double.
long long ticksFromCounter(long long count, long long frequency);

// The millisecond fallback widened past its 49.7-day wrap: each time the 32-bit
// reading goes backwards, another 2^32 ms are added, so ticks keep rising.
unsigned long long unwrapMilliseconds(DWORD reading, DWORD& last, unsigned long long& wraps);

// Ticks between two engine steps: 10000 / rate, with the rate that applies now.
int stepInterval(int aviOnlyMode, int screenshotFps, int aviFps);
