#pragma once
// The mouse's marks on a capture being composited: the watch's records read once, on the
// samples' clock, and drawn onto each frame of the motion and onto the result as
// CLICK_MARKS and POINTER_PATH say (composite/click_marks does the drawing).
#include <windows.h>

#include <cstdint>
#include <vector>

#include "composite/click_marks.h"
#include "composite/store_composite.h"

struct PointerMarks {
    bool clicks = false;
    bool path = false;
    std::vector<PointerEvent> events;
    std::vector<ClickMark> marks;
    MarkArea area = {};
    std::vector<long long> sampleTicks;  // when each sample was taken, oldest first
    long long end = 0;                   // one interval after the last sample: the exposure's end
};

// The marks for samples taken at `sampleTicks` (oldest first) at `rate` a second, of
// `rect` on the screen; empty when neither option is on or nothing was watched.
PointerMarks pointerMarksFor(const std::vector<long long>& sampleTicks, int rate, const RECT& rect);

// True when some frame of the motion gets a ring.
bool marksFrames(const PointerMarks& marks);

// The rings of the presses shown in the frame of sample `index` (0 is the oldest).
void markFrame(const PointerMarks& marks, int index, uint8_t* image, int stride, int width, int height);

// The path (faded with `weights`, the samples' composite weights, in `mode`) and the
// numbered marks over a finished composite.
template <typename Real>
void markResult(const PointerMarks& marks, const Real* weights, CompositeMode mode, uint8_t* image, int stride,
                int width, int height);
