#pragma once
// The test pattern: every pixel's colour differs from each of its neighbours', so a
// picture shifted, flipped or cut by one pixel shows. Windows of the tests
// and the scene program draw it; what the program captured or wrote is checked against it.
#include <windows.h>

inline COLORREF patternColour(int x, int y) { return RGB((x * 7 + y) & 255, (y * 5) & 255, ((x + y) * 3) & 255); }
