// The mouse's marks: presses kept, numbered and doubled as the user made them, drawn on
// their pixel at the image's edges and corners with negative screen coordinates, a hundred
// of them at once, the rings of the frames, and the path without gaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "composite/click_marks.h"

namespace {

struct Image {
    int width, height, stride;
    std::vector<uint8_t> bytes;
    Image(int w, int h, uint8_t grey) : width(w), height(h), stride(3 * w + 3), bytes(stride * h, grey) {}
    const uint8_t* at(int x, int y) const { return &bytes[y * stride + 3 * x]; }
    uint8_t* data() { return bytes.data(); }
};

PointerEvent press(long long ticks, int x, int y, PointerKind kind = PointerKind::Left) { return {ticks, x, y, kind}; }

const DoubleClickRule kRule = {5000, 4, 4};

bool reddish(const uint8_t* p) { return p[2] > 200 && p[1] < 80 && p[0] < 80; }

}  // namespace

// A monitor left of and above the primary one: the image's corners are screen (-1280, -200)
// and (-1241, -171); a press one pixel outside is neither drawn nor counted.
TEST(ClickMarks, CornersOfANegativeAreaLandOnTheirPixels) {
    const MarkArea area = {-1280, -200, 40, 30};
    const std::vector<PointerEvent> events = {press(10, -1280, -200), press(20, -1281, -200),
                                              press(30, -1241, -171, PointerKind::Right), press(40, -1240, -171)};
    const std::vector<ClickMark> marks = clickMarksOf(events, area, 0, 100, kRule);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].x, 0);
    EXPECT_EQ(marks[0].y, 0);
    EXPECT_EQ(marks[0].number, 1);
    EXPECT_EQ(marks[1].x, 39);
    EXPECT_EQ(marks[1].y, 29);
    EXPECT_EQ(marks[1].number, 2);
    EXPECT_EQ(marks[1].button, PointerKind::Right);

    Image image(40, 30, 128);
    drawClickMarks(image.data(), image.stride, image.width, image.height, marks);
    // The ring passes 9 px from the hot spot, in its button's colour.
    EXPECT_TRUE(reddish(image.at(9, 0)));
    const uint8_t* right = image.at(39 - 9, 29);
    EXPECT_TRUE(right[0] > 200 && right[2] < 80) << int(right[0]) << " " << int(right[1]) << " " << int(right[2]);
    // The numbers stay inside the image: white pixels are there for both.
    int white = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) white += image.at(x, y)[0] == 255 && image.at(x, y)[1] == 255 && image.at(x, y)[2] == 255;
    EXPECT_GE(white, 2 * 10);  // "1" and "2" take at least 10 px each
}

// Two quick presses of one button are one double mark; another button, a slow press or a
// third press start a new one; numbers count the marks in order; only [from, to) counts.
TEST(ClickMarks, DoubleClicksAndOrder) {
    const MarkArea area = {0, 0, 200, 200};
    const std::vector<PointerEvent> events = {
        press(-5, 50, 50),                             // before the exposure
        press(0, 10, 10),    press(1000, 11, 11),      // a double click
        press(1500, 11, 11),                           // a third press: a new mark
        press(2000, 60, 60, PointerKind::Right),       // another button
        press(9000, 60, 60, PointerKind::Right),       // too late for a double
        press(9500, 80, 80, PointerKind::Middle), {9600, 90, 90, PointerKind::Move},
        press(10000, 99, 99),                          // at the end: left out
    };
    const std::vector<ClickMark> marks = clickMarksOf(events, area, 0, 10000, kRule);
    ASSERT_EQ(marks.size(), 5u);
    const bool doubled[] = {true, false, false, false, false};
    for (size_t i = 0; i < marks.size(); ++i) {
        EXPECT_EQ(marks[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(marks[i].doubled, doubled[i]) << i;
    }
    EXPECT_EQ(marks[4].button, PointerKind::Middle);

    // A double click has a second ring 14 px out; the frame rings show for a third of a second.
    Image composite(200, 200, 128);
    drawClickMarks(composite.data(), composite.stride, 200, 200, {marks[0]});
    EXPECT_TRUE(reddish(composite.at(10 + 14, 10)));
    Image frame(200, 200, 128);
    drawFrameClicks(frame.data(), frame.stride, 200, 200, marks, 3000, 5000);  // 3333 after 0 and 1500, 2000: shown
    EXPECT_TRUE(reddish(frame.at(11 + 9, 11)));
    Image later(200, 200, 128);
    drawFrameClicks(later.data(), later.stride, 200, 200, marks, 5400, 7400);  // nothing in (2067, 7400)
    EXPECT_EQ(later.bytes, std::vector<uint8_t>(later.bytes.size(), 128));
}

// A hundred marks all drawn, the last numbered 100.
TEST(ClickMarks, AHundredMarks) {
    std::vector<PointerEvent> events;
    for (int i = 0; i < 100; ++i) events.push_back(press(i * 10000, 20 + (i % 10) * 36, 20 + (i / 10) * 36));
    const std::vector<ClickMark> marks = clickMarksOf(events, {0, 0, 380, 380}, 0, 1000000, kRule);
    ASSERT_EQ(marks.size(), 100u);
    EXPECT_EQ(marks.back().number, 100);
    Image image(380, 380, 0);
    drawClickMarks(image.data(), image.stride, 380, 380, marks);
    for (const ClickMark& mark : marks) EXPECT_TRUE(reddish(image.at(mark.x - 9, mark.y))) << mark.number;
}

// A circle sampled 5 times a second with 60 movements between: the line has no gap, and it
// fades with the samples' strengths (the oldest sample's stretch is fainter).
TEST(ClickMarks, PathIsContinuousAndFades) {
    std::vector<PointerEvent> events;
    const double pi = 3.14159265358979;
    for (int i = 0; i <= 60; ++i) {
        const double a = 2 * pi * i / 60;
        events.push_back({i * 9999 / 60, -500 + static_cast<int>(std::lround(100 + 60 * std::cos(a))),
                          static_cast<int>(std::lround(100 + 60 * std::sin(a))), PointerKind::Move});
    }
    const long long ticks[] = {0, 2000, 4000, 6000, 8000};
    const double strengths[] = {0.2, 0.4, 0.6, 0.8, 1.0};
    Image image(200, 200, 0);
    drawPointerPath(image.data(), image.stride, 200, 200, events, {-500, 0, 200, 200}, {ticks, strengths, 5}, 10000,
                    PathBlend::Over);
    auto strongest = [&](double degrees) {
        const double a = degrees * pi / 180;
        const int x = static_cast<int>(100 + 60 * std::cos(a));
        const int y = static_cast<int>(100 + 60 * std::sin(a));
        int best = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) best = std::max<int>(best, image.at(x + dx, y + dy)[2]);
        return best;
    };
    for (int step = 0; step < 720; ++step) ASSERT_GT(strongest(step / 2.0), 30) << "gap at " << step / 2.0 << " degrees";
    EXPECT_LT(strongest(30), strongest(330) / 2);  // the oldest sample's stretch against the newest's
}
