#pragma once
// The geometry of selecting a region of the screen, in screen pixels and free of windows,
// so it can be checked without a display: a drag made a rectangle, a stored region
// brought back onto the monitors, and where the overlay's readout and magnifier go.
#include <windows.h>

// The rectangle between the pointer's press and its position now, both pixels under the
// pointer included: a drag into the screen's corner takes the corner pixel.
RECT dragRect(POINT anchor, POINT pointer);

// True when the pointer moved less than `threshold` both ways since its press: a click,
// which takes the window under the pointer, not a drag.
bool isClick(POINT anchor, POINT pointer, SIZE threshold);

// A stored region made usable on today's monitors: kept where it lies on one of them
// (cut to the virtual screen), else the primary monitor. Empty or inverted is the same
// as lying on none. *moved tells whether the result differs from what was stored.
RECT usableRegion(const RECT& stored, const RECT* monitors, int monitorCount, const RECT& virtualScreen,
                  const RECT& primary, bool* moved);

// Where a box of `size` goes beside the pointer: below and right of it `gap` away,
// flipped to the other side along an axis where it would leave `area`, and always within
// it (an area smaller than the box keeps its top-left corner).
POINT boxBesidePointer(SIZE size, POINT pointer, int gap, const RECT& area);

// Where the size readout goes: under the selection's bottom-left corner, above its top
// where there is no room below, inside it where there is none above either; within `area`.
POINT labelBesideSelection(SIZE size, const RECT& selection, int gap, const RECT& area);
