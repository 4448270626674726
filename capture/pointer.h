#pragma once
// The mouse pointer drawn into a sample, since a grab from the screen never holds it.
#include <windows.h>

// Draws the pointer into `sample`, whose top-left is `rect`'s, where it is at this moment
// with its own shape and hot spot, only while it is shown. A window that sets no shape
// (a video player, a game, hiding it while typing) hides it: nothing is drawn. Where a
// shape exists but cannot be drawn (another program's under Wine), the standard arrow.
void drawPointer(HDC sample, const RECT& rect);

// What is known of shapes is kept by handle for a second at most; Windows gives a
// destroyed shape's handle to a new one in time, so a capture and the ring also forget it
// all at their start.
void forgetPointerShapes();
