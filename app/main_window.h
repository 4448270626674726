#pragma once
// The one top-level window: shows the last result, carries the menu, remembers its
// place, and turns the close box into a request that the main loop carries out.
#include <windows.h>

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the class and creates the window (which loads the settings in WM_CREATE).
// Returns the window, or null when it could not be created.
HWND createMainWindow();
