#pragma once
// The benchmarks' clock: seconds from the performance counter, and the median, fastest
// and slowest of several timed runs.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

inline double now() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Timing {
    double medianMs, minMs, maxMs;
};

// `runs` timings of `run`, each after `prepare` (untimed).
inline Timing timeRuns(int runs, const std::function<void()>& prepare, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double start = now();
        run();
        times.push_back((now() - start) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}
