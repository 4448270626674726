#include "composite/click_marks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

struct Colour {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
};

const Colour kBlack = {0, 0, 0};
const Colour kWhite = {255, 255, 255};
const Colour kPathColour = {200, 0, 255};  // magenta: none of the buttons' colours

Colour buttonColour(PointerKind button) {
    switch (button) {
    case PointerKind::Right: return {255, 120, 30};
    case PointerKind::Middle: return {70, 200, 40};
    default: return {40, 40, 235};
    }
}

// A ring's radius and width; a double click's second ring lies outside the first.
const double kRingRadius = 9.0;
const double kRingWidth = 3.0;
const double kOutlineWidth = 5.5;
const double kDoubleRingGap = 5.0;
const double kPathHalfWidth = 0.9;

double clamp01(double value) { return value < 0 ? 0 : value > 1 ? 1 : value; }

void blend(uint8_t* pixel, Colour colour, double alpha) {
    if (alpha <= 0) return;
    const uint8_t to[3] = {colour.blue, colour.green, colour.red};
    for (int c = 0; c < 3; ++c) {
        pixel[c] = static_cast<uint8_t>(std::lround(pixel[c] + (to[c] - pixel[c]) * alpha));
    }
}

// A ring of `radius` and `ringWidth` around (cx, cy) (pixel centres at .5), its edges
// antialiased, clipped to the image.
void drawRing(uint8_t* image, int stride, int width, int height, double cx, double cy, double radius,
              double ringWidth, Colour colour) {
    const double reach = radius + ringWidth / 2 + 1;
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(cx + reach)));
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - reach)));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(cy + reach)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            blend(image + static_cast<long long>(y) * stride + 3 * x, colour,
                  clamp01(ringWidth / 2 + 0.5 - std::fabs(d - radius)));
        }
    }
}

void drawRings(uint8_t* image, int stride, int width, int height, const ClickMark& mark) {
    const double cx = mark.x + 0.5;
    const double cy = mark.y + 0.5;
    const int rings = mark.doubled ? 2 : 1;
    for (int r = 0; r < rings; ++r) {
        const double radius = kRingRadius + r * kDoubleRingGap;
        drawRing(image, stride, width, height, cx, cy, radius, kOutlineWidth, kBlack);
    }
    for (int r = 0; r < rings; ++r) {
        const double radius = kRingRadius + r * kDoubleRingGap;
        drawRing(image, stride, width, height, cx, cy, radius, kRingWidth, buttonColour(mark.button));
    }
}

// Digits 3 x 5, a row per byte, the leftmost column in bit 2; drawn at twice the size.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};
const int kDigitScale = 2;
const int kDigitAdvance = 4 * kDigitScale;  // a column of space between digits
const int kLabelHeight = 5 * kDigitScale + 2;  // with the outline above and below

bool digitPixel(int digit, int column, int row) {
    if (column < 0 || column >= 3 || row < 0 || row >= 5) return false;
    return (kDigits[digit][row] >> (2 - column)) & 1;
}

// The number in white, outlined one pixel in black, its box's top-left at (left, top).
void drawNumber(uint8_t* image, int stride, int width, int height, int number, int left, int top) {
    char digits[12];
    int count = 0;
    for (unsigned value = static_cast<unsigned>(number); count == 0 || value > 0; value /= 10) {
        digits[count++] = static_cast<char>(value % 10);
    }
    const int boxWidth = count * kDigitAdvance - kDigitScale + 2;
    for (int y = 0; y < kLabelHeight; ++y) {
        for (int x = 0; x < boxWidth; ++x) {
            const int px = left + x;
            const int py = top + y;
            if (px < 0 || py < 0 || px >= width || py >= height) continue;
            // Whether the glyph covers the box's pixel (x, y), the outline being 1 px around it.
            auto glyph = [&](int gx, int gy) {
                const int ix = gx - 1;
                const int iy = gy - 1;
                if (ix < 0 || iy < 0) return false;
                const int which = ix / kDigitAdvance;
                if (which >= count) return false;
                const int inDigit = ix % kDigitAdvance;
                return digitPixel(digits[count - 1 - which], inDigit / kDigitScale, iy / kDigitScale);
            };
            uint8_t* pixel = image + static_cast<long long>(py) * stride + 3 * px;
            if (glyph(x, y)) {
                blend(pixel, kWhite, 1);
                continue;
            }
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx) near = glyph(x + dx, y + dy);
            }
            if (near) blend(pixel, kBlack, 1);
        }
    }
}

int numberWidth(int number) {
    int count = 1;
    while (number >= 10) {
        number /= 10;
        ++count;
    }
    return count * kDigitAdvance - kDigitScale + 2;
}

// The number beside the ring, to its upper right, or where it stays inside the image.
void drawLabel(uint8_t* image, int stride, int width, int height, const ClickMark& mark) {
    const int reach = static_cast<int>(kRingRadius + (mark.doubled ? kDoubleRingGap : 0));
    const int w = numberWidth(mark.number);
    int left = mark.x + reach;
    int top = mark.y - reach - kLabelHeight + 4;
    if (left + w > width) left = mark.x - reach - w;
    if (top < 0) top = mark.y + reach - 3;
    left = std::max(0, std::min(left, width - w));
    top = std::max(0, std::min(top, height - kLabelHeight));
    drawNumber(image, stride, width, height, mark.number, left, top);
}

bool isPress(PointerKind kind) { return kind != PointerKind::Move; }

}  // namespace

std::vector<ClickMark> clickMarksOf(const std::vector<PointerEvent>& events, const MarkArea& area, long long from,
                                    long long to, const DoubleClickRule& rule) {
    std::vector<ClickMark> marks;
    const PointerEvent* single = nullptr;  // the last press that may still become a double click
    bool singleInside = false;
    for (const PointerEvent& event : events) {
        if (!isPress(event.kind) || event.ticks < from || event.ticks >= to) continue;
        const bool doubles = single && single->kind == event.kind && event.ticks - single->ticks <= rule.ticks &&
                             std::abs(event.x - single->x) * 2 <= rule.width &&
                             std::abs(event.y - single->y) * 2 <= rule.height;
        if (doubles) {
            if (singleInside) marks.back().doubled = true;
            single = nullptr;  // a third press starts anew
            continue;
        }
        single = &event;
        singleInside = event.x >= area.left && event.y >= area.top && event.x - area.left < area.width &&
                       event.y - area.top < area.height;
        if (!singleInside) continue;
        ClickMark mark = {event.x - area.left, event.y - area.top, event.ticks, event.kind, false, 0};
        mark.number = static_cast<int>(marks.size()) + 1;
        marks.push_back(mark);
    }
    return marks;
}

void drawClickMarks(uint8_t* image, int stride, int width, int height, const std::vector<ClickMark>& marks) {
    // Rings first, numbers over them, so a ring never hides a number.
    for (const ClickMark& mark : marks) drawRings(image, stride, width, height, mark);
    for (const ClickMark& mark : marks) drawLabel(image, stride, width, height, mark);
}

void drawFrameClicks(uint8_t* image, int stride, int width, int height, const std::vector<ClickMark>& marks,
                     long long start, long long end) {
    for (const ClickMark& mark : marks) {
        if (mark.ticks < end && mark.ticks + kClickShownTicks > start) drawRings(image, stride, width, height, mark);
    }
}

namespace {

// The strength of the sample whose time `ticks` falls in.
double strengthAt(const PathSamples& samples, long long ticks) {
    const long long* after = std::upper_bound(samples.ticks, samples.ticks + samples.count, ticks);
    const int k = after == samples.ticks ? 0 : static_cast<int>(after - samples.ticks) - 1;
    return samples.strengths[k];
}

// Keeps in `coverage` the most of the segment's coverage times `strength` at each pixel.
void coverSegment(uint8_t* coverage, int width, int height, double ax, double ay, double bx, double by,
                  double strength) {
    const double reach = kPathHalfWidth + 1;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(ax, bx) - reach)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(std::max(ax, bx) + reach)));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - reach)));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max(ay, by) + reach)));
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double px = x + 0.5 - ax;
            const double py = y + 0.5 - ay;
            const double t = length2 > 0 ? clamp01((px * dx + py * dy) / length2) : 0;
            const double d = std::hypot(px - t * dx, py - t * dy);
            const double cover = clamp01(kPathHalfWidth + 0.5 - d) * strength;
            const uint8_t value = static_cast<uint8_t>(std::lround(cover * 255));
            uint8_t& held = coverage[static_cast<long long>(y) * width + x];
            if (value > held) held = value;
        }
    }
}

}  // namespace

void drawPointerPath(uint8_t* image, int stride, int width, int height, const std::vector<PointerEvent>& events,
                     const MarkArea& area, const PathSamples& samples, long long end, PathBlend blendMode) {
    if (samples.count <= 0 || width <= 0 || height <= 0) return;
    const long long from = samples.ticks[0];
    // Where the pointer was at the first sample: the last record before it.
    size_t first = 0;
    while (first + 1 < events.size() && events[first + 1].ticks <= from) ++first;
    if (first >= events.size() || events[first].ticks >= end) return;
    std::vector<uint8_t> coverage(static_cast<size_t>(width) * height, 0);
    double ax = events[first].x - area.left + 0.5;
    double ay = events[first].y - area.top + 0.5;
    bool drawn = false;
    for (size_t i = first + 1; i < events.size() && events[i].ticks < end; ++i) {
        const double bx = events[i].x - area.left + 0.5;
        const double by = events[i].y - area.top + 0.5;
        if (bx == ax && by == ay) continue;
        coverSegment(coverage.data(), width, height, ax, ay, bx, by, strengthAt(samples, events[i].ticks));
        drawn = true;
        ax = bx;
        ay = by;
    }
    if (!drawn) return;
    const uint8_t colour[3] = {kPathColour.blue, kPathColour.green, kPathColour.red};
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image + static_cast<long long>(y) * stride;
        const uint8_t* cover = coverage.data() + static_cast<long long>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (!cover[x]) continue;
            const double alpha = cover[x] / 255.0;
            for (int c = 0; c < 3; ++c) {
                uint8_t& element = row[3 * x + c];
                const int over = static_cast<int>(std::lround(element + (colour[c] - element) * alpha));
                if (blendMode == PathBlend::Lighten) {
                    element = static_cast<uint8_t>(std::max<int>(element, over));
                } else if (blendMode == PathBlend::Darken) {
                    element = static_cast<uint8_t>(std::min<int>(element, over));
                } else {
                    element = static_cast<uint8_t>(over);
                }
            }
        }
    }
}
