#pragma once
// A region of the screen as the capture's rectangle: the one the user has just selected,
// handed to the next capture step, which starts a screenshot and fixes CaptureRect from
// it at sample 1; and the last one selected, kept in the settings for SS_REGION.
#include <windows.h>

// Stores `region` (screen coordinates) as the last selected one and starts a screenshot
// of it at the next capture step.
void startRegionCapture(const RECT& region);

// True while a selected region waits for the capture step.
bool regionWaiting();
// True, once, when a selected region waits for the capture step; *region is it.
bool takePendingRegion(RECT* region);

// The stored region as today's monitors allow: cut to the virtual screen, or the primary
// monitor where it lies on none of them (or is empty); the user is told when it was
// moved, and the settings keep the moved one, so it is said once.
RECT storedRegion();
