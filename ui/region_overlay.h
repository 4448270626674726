#pragma once
// The region selection: the screen frozen as it was when asked for, shown over every
// monitor in physical pixels with the outside of the selection dimmed. A drag with the
// left button selects a rectangle (its size beside it, a magnifier by the pointer, the
// arrow keys move the pointer a pixel); a click takes the window under the pointer,
// highlighted while hovered. Releasing the button closes the overlay, lets the screen
// repaint and hands the rectangle to the next capture step. Esc, the right button, a
// lost focus or a monitor change leave it with nothing taken.
//
// The overlay is a window of the program's one thread, pumped by the main loop; while it
// is up app.regionSelecting keeps the capture step and the ring away.

// Freezes the screen and shows the overlay; returns at once. False (and nothing shown)
// when it cannot be made or is already up.
bool openRegionOverlay();

// Leaves the overlay, if it is up, with nothing taken (the program is closing).
void closeRegionOverlay();
