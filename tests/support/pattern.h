#pragma once
// The test pattern: every pixel's colour differs from each of its neighbours', so a
// picture shifted, flipped or cut by one pixel shows. Windows of the tests and the
// scene program draw it, the BMP tests put it on the display, and outside readers of
// the files written from it expect it: red 255 - x, green 3y, blue 7x + y (mod 256).
#include <windows.h>

inline COLORREF patternColour(int x, int y) { return RGB((255 - x) & 255, (y * 3) & 255, (x * 7 + y) & 255); }
