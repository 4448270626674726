#include "app/pointer_marks.h"

#include "app/interval_timer.h"
#include "core/settings.h"
#include "hook/hook_api.h"

namespace {

// The watch's records, oldest first, on the samples' clock.
std::vector<PointerEvent> watchedEvents() {
    std::vector<PointerEvent> events;
    std::vector<HookMouseRecord> records(65536);
    int count = 0;
    // Asked for more room until all fit: the watch may hold up to 2^21.
    for (;;) {
        count = hookMouseRecords(records.data(), static_cast<int>(records.size()));
        if (count < static_cast<int>(records.size()) || records.size() >= 2097152) break;
        records.resize(records.size() * 2);
    }
    events.reserve(count);
    for (int i = 0; i < count; ++i) {
        const HookMouseRecord& record = records[i];
        events.push_back({ticksFromCounter(record.counter, intervalTimer.frequency), static_cast<int>(record.x),
                          static_cast<int>(record.y), static_cast<PointerKind>(record.kind)});
    }
    return events;
}

}  // namespace

PointerMarks pointerMarksFor(const std::vector<long long>& sampleTicks, int rate, const RECT& rect) {
    PointerMarks marks;
    marks.clicks = settings.CLICK_MARKS != 0;
    marks.path = settings.POINTER_PATH != 0;
    if ((!marks.clicks && !marks.path) || sampleTicks.empty()) return marks;
    marks.events = watchedEvents();
    marks.sampleTicks = sampleTicks;
    marks.end = sampleTicks.back() + 10000 / (rate < 1 ? 1 : rate);
    marks.area = {static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right - rect.left),
                  static_cast<int>(rect.bottom - rect.top)};
    if (marks.clicks) {
        // Double clicks as Windows counts them for the user now.
        const DoubleClickRule rule = {static_cast<long long>(GetDoubleClickTime()) * 10,
                                      GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK)};
        marks.marks = clickMarksOf(marks.events, marks.area, sampleTicks.front(), marks.end, rule);
    }
    return marks;
}

bool marksFrames(const PointerMarks& marks) { return marks.clicks && !marks.marks.empty(); }

void markFrame(const PointerMarks& marks, int index, uint8_t* image, int stride, int width, int height) {
    if (!marksFrames(marks) || index < 0 || index >= static_cast<int>(marks.sampleTicks.size())) return;
    const long long start = marks.sampleTicks[index];
    const long long end = index + 1 < static_cast<int>(marks.sampleTicks.size()) ? marks.sampleTicks[index + 1] : marks.end;
    drawFrameClicks(image, stride, width, height, marks.marks, start, end);
}

template <typename Real>
void markResult(const PointerMarks& marks, const Real* weights, CompositeMode mode, uint8_t* image, int stride,
                int width, int height) {
    if (marks.path && weights) {
        const int n = static_cast<int>(marks.sampleTicks.size());
        std::vector<double> strengths(n, 1.0);
        Real largest = 0;
        for (int i = 0; i < n; ++i) largest = weights[i] > largest ? weights[i] : largest;
        for (int i = 0; i < n && largest > 0; ++i) strengths[i] = static_cast<double>(weights[i] / largest);
        const PathBlend blend = mode == CompositeMode::Lighten  ? PathBlend::Lighten
                                : mode == CompositeMode::Darken ? PathBlend::Darken
                                                                : PathBlend::Over;
        const PathSamples samples = {marks.sampleTicks.data(), strengths.data(), n};
        drawPointerPath(image, stride, width, height, marks.events, marks.area, samples, marks.end, blend);
    }
    if (marks.clicks) drawClickMarks(image, stride, width, height, marks.marks);
}

template void markResult<float>(const PointerMarks&, const float*, CompositeMode, uint8_t*, int, int, int);
template void markResult<double>(const PointerMarks&, const double*, CompositeMode, uint8_t*, int, int, int);
