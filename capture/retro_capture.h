#pragma once
// The ring of the last seconds as the program runs it: while Kestrin is idle and RETRO
// is on, the whole virtual screen is grabbed RETRO_FPS times a second into the capture
// slot and pushed into the ring (capture/retro_ring), which keeps RETRO_TIME seconds of
// it, at most RETRO_MB megabytes. Nothing of it leaves memory unless the user presses
// its key. The caption says that the screen is being kept.

// Starts or stops the ring as RETRO says, at the virtual screen's size; `restart` drops
// what it holds (after a capture, a monitor change, new settings).
void retroFollowSettings(bool restart);
// Frees the ring (shutdown).
void retroStop();
// True while the ring keeps the screen.
bool retroRunning();

// Ticks (0.1 ms) from `nowTicks` until the next sample of the ring is due: 0 when it is,
// a large number when the ring is not running.
int retroTicksUntilSample(long long nowTicks);
// Takes the ring's next sample now; `nowTicks` times the one after.
void retroTakeSample(long long nowTicks);

// The ready caption: the program's name and version, with what the ring keeps while it runs.
void setReadyCaption();
