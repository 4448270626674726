#pragma once
// The mouse drawn over a capture: a numbered ring at every press (the composite), a ring
// for a third of a second in the frames of the motion, and the pointer's path between the
// samples. Everything is a function of the pointer's records, the rectangle the image
// shows and the image itself; no window types, so it is tested and timed directly.
//
// Images as in mean_kernel.h: 24-bit, top-down, rows `stride` apart, blue green red.
// Positions are screen coordinates of the pointer's hot spot; the image's top-left pixel
// is the area's (left, top), so a press lands on the pixel it was made on, whatever the
// monitor and however negative its coordinates.
#include <cstdint>
#include <vector>

// One record of the pointer on the samples' clock (ticks of 0.1 ms).
enum class PointerKind { Move = 0, Left = 1, Right = 2, Middle = 3 };
struct PointerEvent {
    long long ticks;
    int x;
    int y;
    PointerKind kind;  // a movement, or the button pressed
};

// The part of the screen an image shows.
struct MarkArea {
    int left;
    int top;
    int width;
    int height;
};

// A second press of the same button within `ticks` of the first and within the box of
// width x height around it is that press's double click, as Windows counts them.
struct DoubleClickRule {
    long long ticks;
    int width;
    int height;
};

struct ClickMark {
    int x;  // in the image
    int y;
    long long ticks;
    PointerKind button;
    bool doubled;
    int number;  // 1, 2, 3 ... in the order of the presses drawn
};

// The presses made in [from, to) inside the area, oldest first, numbered, a double click
// one mark. Presses outside the area are left out and not counted.
std::vector<ClickMark> clickMarksOf(const std::vector<PointerEvent>& events, const MarkArea& area, long long from,
                                    long long to, const DoubleClickRule& rule);

// Every mark at full strength: a ring in its button's colour (left red, right blue, middle
// green; a double click two rings) outlined in black, its number in white outlined in
// black beside it, kept inside the image at its edges.
void drawClickMarks(uint8_t* image, int stride, int width, int height, const std::vector<ClickMark>& marks);

// How long a press shows in the frames of the motion: a third of a second.
const long long kClickShownTicks = 3333;

// The rings (no numbers) of the presses shown in a frame that stands for [start, end):
// those made before `end` and less than kClickShownTicks before `start`.
void drawFrameClicks(uint8_t* image, int stride, int width, int height, const std::vector<ClickMark>& marks,
                     long long start, long long end);

// How the path goes onto the composite, as a thing in the samples would: over it (the mean
// and the median), only where it is lighter (lighten), only where it is darker (darken).
enum class PathBlend { Over, Lighten, Darken };

// The samples the path fades with: the time each was taken, oldest first, and its weight
// scaled so that the largest is 1.
struct PathSamples {
    const long long* ticks;
    const double* strengths;
    int count;
};

// The pointer's path from where it was at the first sample until `end`, a thin antialiased
// line through every recorded position, each stretch as strong as the sample whose time it
// falls in (before the first: the first's; after the last: the last's).
void drawPointerPath(uint8_t* image, int stride, int width, int height, const std::vector<PointerEvent>& events,
                     const MarkArea& area, const PathSamples& samples, long long end, PathBlend blend);
