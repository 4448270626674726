#include "capture/pointer.h"

namespace {

// What is known of pointer shapes, by handle. Windows gives a destroyed shape's handle
// to a new one in time, and a program may change the image behind a handle: what is
// known is forgotten at the start of every capture and of the ring, and is asked again
// once it is a second old, since the ring draws the pointer for hours.
const DWORD kShapeKnownMs = 1000;
HCURSOR hotSpotShape = nullptr;     // the shape whose hot spot is held
POINT hotSpot = {0, 0};
DWORD hotSpotAskedAt = 0;           // GetTickCount() when it was asked
HCURSOR undrawableShape = nullptr;  // a shape that would not draw is not tried again
DWORD undrawableSeenAt = 0;

// True while what was learned at `learnedAt` still holds (the tick count's wrap included).
bool stillKnown(DWORD learnedAt) { return GetTickCount() - learnedAt < kShapeKnownMs; }

}  // namespace

void forgetPointerShapes() {
    hotSpotShape = nullptr;
    undrawableShape = nullptr;
}

namespace {

// The hot spot of a pointer shape: asked once per shape a second, since the question
// makes and then deletes two bitmaps.
POINT hotSpotOf(HCURSOR cursor) {
    if (cursor != hotSpotShape || !stillKnown(hotSpotAskedAt)) {
        ICONINFO icon = {};
        hotSpot = {0, 0};
        if (GetIconInfo(cursor, &icon)) {
            hotSpot = {static_cast<LONG>(icon.xHotspot), static_cast<LONG>(icon.yHotspot)};
            if (icon.hbmMask) DeleteObject(icon.hbmMask);
            if (icon.hbmColor) DeleteObject(icon.hbmColor);
        }
        hotSpotShape = cursor;
        hotSpotAskedAt = GetTickCount();
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
    const bool knownUndrawable = pointer.hCursor == undrawableShape && stillKnown(undrawableSeenAt);
    if (!knownUndrawable && drawShape(sample, rect, pointer.ptScreenPos, pointer.hCursor)) return;
    if (!knownUndrawable) {
        undrawableShape = pointer.hCursor;
        undrawableSeenAt = GetTickCount();
    }
    drawShape(sample, rect, pointer.ptScreenPos, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}
