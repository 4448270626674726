#include "capture/cadence_log.h"

#ifdef KESTRIN_WITH_CADENCE_LOG

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct SampleTimes {
    long long begin, grabbed, stored;
};

const int kMaxSamples = 8192;
char logPath[MAX_PATH] = "";
SampleTimes* times = nullptr;
int count = 0;

long long counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

bool recording() { return times && count < kMaxSamples; }

}  // namespace

void cadenceLogStart() {
    const DWORD length = GetEnvironmentVariableA("KESTRIN_CADENCE_LOG", logPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    times = static_cast<SampleTimes*>(calloc(kMaxSamples, sizeof(SampleTimes)));
}

void cadenceSampleBegin() {
    if (recording()) times[count].begin = counterNow();
}

void cadenceGrabDone() {
    if (recording()) times[count].grabbed = counterNow();
}

void cadenceStoreDone() {
    if (recording()) times[count++].stored = counterNow();
}

void cadenceFlush() {
    if (!times) return;
    FILE* out = fopen(logPath, "a");
    if (out) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        fprintf(out, "capture %lld\n", frequency.QuadPart);
        for (int i = 0; i < count; ++i) {
            fprintf(out, "%lld %lld %lld\n", times[i].begin, times[i].grabbed, times[i].stored);
        }
        fclose(out);
    }
    count = 0;
}

#else

void cadenceLogStart() {}
void cadenceSampleBegin() {}
void cadenceGrabDone() {}
void cadenceStoreDone() {}
void cadenceFlush() {}

#endif
