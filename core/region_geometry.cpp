#include "core/region_geometry.h"

namespace {

LONG lesser(LONG a, LONG b) { return a < b ? a : b; }
LONG greater(LONG a, LONG b) { return a > b ? a : b; }
long long distance(LONG a, LONG b) { return a > b ? static_cast<long long>(a) - b : static_cast<long long>(b) - a; }

bool overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// `low` moved so that [low, low + length) ends inside [areaLow, areaHigh), its start kept
// inside where the span is longer than the area.
LONG keepWithin(long long low, LONG length, LONG areaLow, LONG areaHigh) {
    if (low + length > areaHigh) low = static_cast<long long>(areaHigh) - length;
    if (low < areaLow) low = areaLow;
    return static_cast<LONG>(low);
}

}  // namespace

RECT dragRect(POINT anchor, POINT pointer) {
    return {lesser(anchor.x, pointer.x), lesser(anchor.y, pointer.y), greater(anchor.x, pointer.x) + 1,
            greater(anchor.y, pointer.y) + 1};
}

bool isClick(POINT anchor, POINT pointer, SIZE threshold) {
    return distance(anchor.x, pointer.x) < threshold.cx && distance(anchor.y, pointer.y) < threshold.cy;
}

RECT usableRegion(const RECT& stored, const RECT* monitors, int monitorCount, const RECT& virtualScreen,
                  const RECT& primary, bool* moved) {
    bool onMonitor = stored.left < stored.right && stored.top < stored.bottom;
    if (onMonitor) {
        onMonitor = false;
        for (int i = 0; i < monitorCount; ++i) onMonitor = onMonitor || overlaps(stored, monitors[i]);
    }
    RECT usable = primary;
    if (onMonitor) {
        usable = {greater(stored.left, virtualScreen.left), greater(stored.top, virtualScreen.top),
                  lesser(stored.right, virtualScreen.right), lesser(stored.bottom, virtualScreen.bottom)};
    }
    *moved = !EqualRect(&usable, &stored);
    return usable;
}

POINT boxBesidePointer(SIZE size, POINT pointer, int gap, const RECT& area) {
    long long x = static_cast<long long>(pointer.x) + gap;
    long long y = static_cast<long long>(pointer.y) + gap;
    if (x + size.cx > area.right) x = static_cast<long long>(pointer.x) - gap - size.cx;
    if (y + size.cy > area.bottom) y = static_cast<long long>(pointer.y) - gap - size.cy;
    return {keepWithin(x, size.cx, area.left, area.right), keepWithin(y, size.cy, area.top, area.bottom)};
}

POINT labelBesideSelection(SIZE size, const RECT& selection, int gap, const RECT& area) {
    long long y = static_cast<long long>(selection.bottom) + gap;
    if (y + size.cy > area.bottom) y = static_cast<long long>(selection.top) - gap - size.cy;
    if (y < area.top) y = static_cast<long long>(selection.top) + gap;
    return {keepWithin(selection.left, size.cx, area.left, area.right), keepWithin(y, size.cy, area.top, area.bottom)};
}
