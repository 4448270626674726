// The mouse watch's cost to every mouse event: 1000 movements a second sent with SendInput,
// each timed from the call until it returns (the system waits for the low-level hooks to
// answer), with the watch off and on; and the drawing of a hundred marks and a path of a
// thousand movements over a full-HD composite.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/bench_clock.h"
#include "composite/click_marks.h"
#include "hook/hook_api.h"

namespace {

// Mean microseconds per SendInput of `count` movements paced 1 ms apart.
double sendMoves(int count) {
    double total = 0;
    const double start = now();
    for (int i = 0; i < count; ++i) {
        while (now() - start < i / 1000.0) {
        }
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = 200 + (i % 200);
        input.mi.dy = 200 + (i / 200) * 3;
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input.mi.dx = input.mi.dx * 65535 / GetSystemMetrics(SM_CXSCREEN);
        input.mi.dy = input.mi.dy * 65535 / GetSystemMetrics(SM_CYSCREEN);
        const double before = now();
        SendInput(1, &input, sizeof input);
        total += now() - before;
    }
    return total / count * 1e6;
}

}  // namespace

int main() {
    const int events = 1000;
    for (int run = 1; run <= 3; ++run) {
        const double off = sendMoves(events);
        hookMouseWatch(events * 3);
        const double on = sendMoves(events);
        std::vector<HookMouseRecord> records(events * 3);
        const int kept = hookMouseRecords(records.data(), static_cast<int>(records.size()));
        hookMouseWatch(0);
        printf("run %d: SendInput %.1f us a movement without the watch, %.1f us with it (%+.1f us); %d records kept\n",
               run, off, on, on - off, kept);
    }

    const int width = 1920, height = 1080, stride = 3 * width;
    std::vector<uint8_t> image(static_cast<size_t>(stride) * height, 40);
    std::vector<PointerEvent> moves;
    for (int i = 0; i < 1000; ++i) {
        const double a = i * 0.0125;
        moves.push_back({i * 10LL, 960 + static_cast<int>(400 * std::cos(a)), 540 + static_cast<int>(400 * std::sin(a)),
                         i % 10 == 0 ? PointerKind::Left : PointerKind::Move});
    }
    const long long ticks[] = {0, 2000, 4000, 6000, 8000};
    const double strengths[] = {0.2, 0.4, 0.6, 0.8, 1.0};
    const MarkArea area = {0, 0, width, height};
    const std::vector<ClickMark> marks = clickMarksOf(moves, area, 0, 10000, {0, 0, 0});
    const Timing path = timeRuns(9, [] {}, [&] {
        drawPointerPath(image.data(), stride, width, height, moves, area, {ticks, strengths, 5}, 10000, PathBlend::Over);
    });
    const Timing drawn = timeRuns(9, [] {}, [&] { drawClickMarks(image.data(), stride, width, height, marks); });
    printf("1920x1080: path of 1000 movements %.2f ms (min %.2f, max %.2f); %zu marks %.2f ms (min %.2f, max %.2f)\n",
           path.medianMs, path.minMs, path.maxMs, marks.size(), drawn.medianMs, drawn.minMs, drawn.maxMs);
    return 0;
}
