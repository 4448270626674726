#include "capture/region_capture.h"

#include "core/app_state.h"
#include "core/region_geometry.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"

namespace {

bool regionPending = false;
RECT pendingRegion = {0, 0, 0, 0};

// More monitors than this are not looked at: a region on none of the first ones goes to
// the primary monitor.
const int kMostMonitors = 16;

struct MonitorList {
    RECT rects[kMostMonitors];
    int count = 0;
};

BOOL CALLBACK addMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
    MonitorList* monitors = reinterpret_cast<MonitorList*>(list);
    if (monitors->count < kMostMonitors) monitors->rects[monitors->count++] = *rect;
    return TRUE;
}

RECT primaryMonitor() {
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace

void startRegionCapture(const RECT& region) {
    settings.REGION_LEFT = region.left;
    settings.REGION_TOP = region.top;
    settings.REGION_RIGHT = region.right;
    settings.REGION_BOTTOM = region.bottom;
    pendingRegion = region;
    regionPending = true;
}

bool regionWaiting() { return regionPending; }

bool takePendingRegion(RECT* region) {
    if (!regionPending) return false;
    regionPending = false;
    *region = pendingRegion;
    return true;
}

RECT storedRegion() {
    MonitorList monitors;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&monitors));
    const RECT stored = {settings.REGION_LEFT, settings.REGION_TOP, settings.REGION_RIGHT, settings.REGION_BOTTOM};
    bool moved = false;
    const RECT usable = usableRegion(stored, monitors.rects, monitors.count, VirtualScreenRect, primaryMonitor(), &moved);
    if (!moved) return usable;
    settings.REGION_LEFT = usable.left;
    settings.REGION_TOP = usable.top;
    settings.REGION_RIGHT = usable.right;
    settings.REGION_BOTTOM = usable.bottom;
    showMessage(mainWindow, uiText(Text::RegionMovedMessage), uiText(Text::RegionTitle));
    return usable;
}
