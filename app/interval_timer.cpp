#include "app/interval_timer.h"

#include <mmsystem.h>

IntervalTimer intervalTimer;

void IntervalTimer::init() {
    markTicks = 0;
    nowTicks = 0;
    LARGE_INTEGER counterFrequency;
    highResolution = QueryPerformanceFrequency(&counterFrequency) ? TRUE : FALSE;
    frequency = counterFrequency.QuadPart;
}

int IntervalTimer::elapsedTicks(long long mark, long long now) {
    if (mark > now) return 0;
    return static_cast<int>(static_cast<unsigned int>(static_cast<unsigned long long>(now - mark)));
}

long long IntervalTimer::currentTicks() {
    if (highResolution && frequency > 0) {
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        return ticksFromCounter(count.QuadPart, frequency);
    }
    return static_cast<long long>(unwrapMilliseconds(timeGetTime(), lastMilliseconds, millisecondWraps) * 10);
}

long long ticksFromCounter(long long count, long long frequency) {
    return static_cast<long long>(static_cast<double>(count) / static_cast<double>(frequency) * 10000.0);
}

unsigned long long unwrapMilliseconds(DWORD reading, DWORD& last, unsigned long long& wraps) {
    if (reading < last) ++wraps;
    last = reading;
    return (wraps << 32) + reading;
}

int stepInterval(int aviOnlyMode, int screenshotFps, int aviFps) {
    const int rate = aviOnlyMode ? aviFps : screenshotFps;
    return 10000 / (rate < 1 ? 1 : rate);
}
