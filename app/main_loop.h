#pragma once
// The program's life on its one thread: start-up (window, settings, display surface,
// sample store, slots, hook library), the main loop that paces the engine step, and
// the shutdown that releases everything and saves the settings.
#include <windows.h>

// Creates and shows the main window and everything the engine needs. Until it
// returns no options dialog can open and no capture can start, while a close (or a
// WM_QUIT) that arrives meanwhile is kept: the main loop then ends at once. False when
// the main window could not be created (nothing else was made).
// Unshown (for a command from the command line) the window stays hidden and the ring of
// the last seconds is not kept.
bool startUp(HINSTANCE instance, bool shown = true);

// Paces the engine step until the window was closed or WM_QUIT arrived and no capture
// is under way; a compositing phase runs whenever the step says sampling is over.
void runMainLoop();

// Takes `screen` as the new virtual screen (monitors were added, removed or moved).
// Called between captures only. The display surface and the slots grow to hold it and
// never shrink, so the result on display stays whole and can still be saved; when the
// larger surface cannot be made, captures stay within the old size.
void followScreenLayout(const RECT& screen);

// Releases everything start-up made, saves the settings, destroys the window and waits
// for its WM_QUIT. Returns the exit code WM_QUIT carried.
// Without saveIni the INI file is left as it was (a command changes nothing in it).
int shutDown(bool saveIni = true);
