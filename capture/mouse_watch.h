#pragma once
// The mouse watch (HOOKDLL's mouse hook) as the options want it: on while a capture or
// the ring runs with CLICK_MARKS or POINTER_PATH, off otherwise, so the hook costs nothing
// while nothing would draw what it keeps.

// Watches afresh with room for `seconds` of movements at 1000 a second (a gaming mouse's
// rate) when either option is on, else stops; nothing changes when it already watches for
// as long.
void watchMouseFor(double seconds);
// Stops watching and frees the records.
void stopMouseWatch();
// True while the watch is as the options want it for `seconds`.
bool mouseWatchInStep(double seconds);
