// Selecting a region: drags in every direction, a stored region on today's monitors, and
// the overlay's boxes kept on the screen at its edges and corners.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/region_geometry.h"

namespace {

bool same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

// Two monitors side by side, the second left of the primary and lower: a virtual screen
// with negative coordinates and a gap under the primary.
const RECT kMonitors[2] = {{0, 0, 1024, 768}, {-1280, 100, 0, 1124}};
const RECT kVirtual = {-1280, 0, 1024, 1124};

RECT usable(const RECT& stored, bool* moved) { return usableRegion(stored, kMonitors, 2, kVirtual, kMonitors[0], moved); }

}  // namespace

TEST(RegionGeometry, DragInAnyDirectionSelectsTheSameRectangle) {
    const RECT expected = {-10, 20, 91, 71};
    EXPECT_TRUE(same(dragRect({-10, 20}, {90, 70}), expected));
    EXPECT_TRUE(same(dragRect({90, 70}, {-10, 20}), expected));
    EXPECT_TRUE(same(dragRect({-10, 70}, {90, 20}), expected));
    const SIZE threshold = {4, 4};
    EXPECT_TRUE(isClick({5, 5}, {8, 2}, threshold));
    EXPECT_FALSE(isClick({5, 5}, {9, 5}, threshold));
    EXPECT_FALSE(isClick({5, 5}, {5, 1}, threshold));
}

TEST(RegionGeometry, StoredRegionKeptCutOrReplaced) {
    bool moved = true;
    // Across both monitors, negative coordinates: kept as it is.
    EXPECT_TRUE(same(usable({-200, 300, 200, 500}, &moved), {-200, 300, 200, 500}));
    EXPECT_FALSE(moved);
    // Partly past the right edge: cut to the virtual screen.
    EXPECT_TRUE(same(usable({900, 10, 1500, 100}, &moved), {900, 10, 1024, 100}));
    EXPECT_TRUE(moved);
    // Off every monitor, in the gap under the primary, empty and inverted: the primary.
    for (const RECT& lost : {RECT{5000, 0, 5300, 200}, RECT{100, 900, 300, 1000}, RECT{10, 10, 10, 50},
                             RECT{300, 10, 100, 50}}) {
        moved = false;
        EXPECT_TRUE(same(usable(lost, &moved), kMonitors[0]));
        EXPECT_TRUE(moved);
    }
}

TEST(RegionGeometry, BoxesStayOnTheMonitorAtEdgesAndCorners) {
    const RECT area = {-1280, 100, 0, 1124};
    const SIZE lens = {122, 122};
    // In the middle: below and right of the pointer.
    POINT at = boxBesidePointer(lens, {-600, 500}, 20, area);
    EXPECT_EQ(at.x, -580);
    EXPECT_EQ(at.y, 520);
    // At the bottom-right corner: flipped both ways, wholly inside.
    at = boxBesidePointer(lens, {-1, 1123}, 20, area);
    EXPECT_EQ(at.x, -1 - 20 - 122);
    EXPECT_EQ(at.y, 1123 - 20 - 122);
    // At the top-left corner: where it is, inside.
    at = boxBesidePointer(lens, {-1280, 100}, 20, area);
    EXPECT_EQ(at.x, -1260);
    EXPECT_EQ(at.y, 120);
    // An area smaller than the box keeps its top-left corner.
    at = boxBesidePointer(lens, {50, 50}, 20, {0, 0, 100, 100});
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 0);

    const SIZE label = {80, 20};
    // Under the selection; above it at the bottom; inside it when it fills the height.
    at = labelBesideSelection(label, {-500, 300, -300, 400}, 4, area);
    EXPECT_EQ(at.x, -500);
    EXPECT_EQ(at.y, 404);
    at = labelBesideSelection(label, {-60, 900, -2, 1120}, 4, area);
    EXPECT_EQ(at.x, -80);
    EXPECT_EQ(at.y, 900 - 4 - 20);
    at = labelBesideSelection(label, area, 4, area);
    EXPECT_EQ(at.x, -1280);
    EXPECT_EQ(at.y, 104);
}
