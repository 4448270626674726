#pragma once
// Labels, check boxes and buttons were laid out for a Japanese face narrower than
// the ones some systems substitute for it. A text that would be cut is drawn in the
// same face, same height, set narrower until it fits, so it stays whole and readable.
#include <windows.h>

// Width factor (in 1/100) a text of `needed` pixels needs to fit `available`:
// 100 when it fits, never below `floorPercent`.
int condenseFactor(int needed, int available, int floorPercent);

// Applies the narrower face to each child of `dialog` whose text does not fit. The
// fonts it makes belong to the dialog and are deleted when the dialog is destroyed.
void fitTextsToControls(HWND dialog);

// Widens a drop-down list box, its left edge kept, until its widest item shows whole in
// the box's own font; a box that holds every item is left as it is.
void widenComboToItems(HWND combo);
