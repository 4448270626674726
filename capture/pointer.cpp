#include "capture/pointer.h"

namespace {

// What is known of pointer shapes, by handle. Windows gives a destroyed shape's handle
// to a new one in time, so both are forgotten at the start of every capture: within one,
// a handle names one shape.
HCURSOR hotSpotShape = nullptr;     // the shape whose hot spot is held
POINT hotSpot = {0, 0};
HCURSOR undrawableShape = nullptr;  // a shape that would not draw is not tried again

}  // namespace

void forgetPointerShapes() {
    hotSpotShape = nullptr;
    undrawableShape = nullptr;
}

namespace {

// The hot spot of a pointer shape: asked once per shape, since the question makes and
// then deletes two bitmaps.
POINT hotSpotOf(HCURSOR cursor) {
    if (cursor != hotSpotShape) {
        ICONINFO icon = {};
        hotSpot = {0, 0};
        if (GetIconInfo(cursor, &icon)) {
            hotSpot = {static_cast<LONG>(icon.xHotspot), static_cast<LONG>(icon.yHotspot)};
            if (icon.hbmMask) DeleteObject(icon.hbmMask);
            if (icon.hbmColor) DeleteObject(icon.hbmColor);
        }
        hotSpotShape = cursor;
    }
    return hotSpot;
}

bool drawShape(HDC sample, const RECT& rect, POINT at, HCURSOR shape) {
    if (!shape) return false;
    const POINT spot = hotSpotOf(shape);
    return DrawIconEx(sample, at.x - rect.left - spot.x, at.y - rect.top - spot.y, shape, 0, 0, 0, nullptr,
                      DI_NORMAL) != 0;
}

}  // namespace

// A pointer shown with no shape is hidden; an undrawable shape gets the arrow.
void drawPointer(HDC sample, const RECT& rect) {
    CURSORINFO pointer = {};
    pointer.cbSize = sizeof pointer;
    if (!GetCursorInfo(&pointer) || !(pointer.flags & CURSOR_SHOWING) || !pointer.hCursor) return;
    if (pointer.hCursor != undrawableShape && drawShape(sample, rect, pointer.ptScreenPos, pointer.hCursor)) return;
    undrawableShape = pointer.hCursor;
    drawShape(sample, rect, pointer.ptScreenPos, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}
