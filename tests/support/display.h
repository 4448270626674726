#pragma once
// The display surface as start-up makes it, for the tests and for the programs that
// stand in for start-up: windowDC of a window (or of the screen), a work DC and a
// display DC compatible with it, and a display bitmap of the virtual screen's size (VirtualScreenRect)
// selected into the display DC, white. The compositing phase draws into it; the BMP
// writer and the window read it; the AVI writer makes its frames with windowDC.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/app_state.h"

namespace display_detail {
inline HWND window = nullptr;  // whose DC windowDC is
}

// Makes the surface for `window` (null: the screen). False when GDI refuses a part;
// releaseDisplay still releases what was made.
inline bool setUpDisplay(HWND window) {
    display_detail::window = window;
    windowDC = GetDC(window);
    workDC = CreateCompatibleDC(windowDC);
    displayDC = CreateCompatibleDC(windowDC);
    displayBitmap = CreateCompatibleBitmap(windowDC, virtualScreenWidth(), virtualScreenHeight());
    if (!windowDC || !workDC || !displayDC || !displayBitmap) return false;
    displayPreviousBitmap = SelectObject(displayDC, displayBitmap);
    const RECT all = {0, 0, virtualScreenWidth(), virtualScreenHeight()};
    return FillRect(displayDC, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))) != 0;
}

// Sets every pixel (x, y) of the display bitmap to colour(x, y), exactly.
template <typename Colour>
void paintDisplay(Colour colour) {
    const int width = virtualScreenWidth(), height = virtualScreenHeight();
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            pixels[static_cast<size_t>(y) * width + x] = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
        }
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as `pixels` is laid out
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    StretchDIBits(displayDC, 0, 0, width, height, 0, 0, width, height, pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

// Releases the surface and clears its handles.
inline void releaseDisplay() {
    if (displayDC && displayPreviousBitmap) SelectObject(displayDC, displayPreviousBitmap);
    if (displayBitmap) DeleteObject(displayBitmap);
    if (displayDC) DeleteDC(displayDC);
    if (workDC) DeleteDC(workDC);
    if (windowDC) ReleaseDC(display_detail::window, windowDC);
    windowDC = workDC = displayDC = nullptr;
    displayBitmap = nullptr;
    displayPreviousBitmap = nullptr;
    display_detail::window = nullptr;
}
