#pragma once
// The ring of the last seconds as the program runs it: while Kestrin is idle and RETRO
// is on, the whole virtual screen is grabbed RETRO_FPS times a second into the capture
// slot and pushed into the ring (capture/retro_ring) with the time it was taken; the ring
// keeps RETRO_TIME seconds of it, at most RETRO_MB megabytes, and what is older than
// RETRO_TIME seconds is dropped however long sampling was held (a dialog, the region
// overlay). From a capture's or recording's first sample to its end the ring holds
// nothing. Nothing of it leaves memory unless the user presses its key. The caption says
// that the screen is being kept.

// Starts or stops the ring as RETRO says, at the virtual screen's size and RETRO_FPS;
// `restart` drops what it holds (after a capture, a monitor change). A ring of another
// size or rate starts afresh.
void retroFollowSettings(bool restart);
// True while the ring runs as the settings say: on with RETRO, at RETRO_FPS, its caption
// naming RETRO_TIME; when false, retroFollowSettings and setReadyCaption bring it in step.
bool retroInStep();
// Frees the ring (a capture's first sample, shutdown).
void retroStop();
// True while the ring keeps the screen.
bool retroRunning();

// Ticks (0.1 ms) from `nowTicks` until the next sample of the ring is due: 0 when it is,
// a large number when the ring is not running.
int retroTicksUntilSample(long long nowTicks);
// Takes the ring's next sample now, timed `nowTicks`, which also times the one after.
void retroTakeSample(long long nowTicks);
// Drops the samples taken more than RETRO_TIME seconds before `nowTicks`.
void retroDropStale(long long nowTicks);

// The ready caption: the program's name and version, with what the ring keeps while it runs.
void setReadyCaption();
