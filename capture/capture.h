#pragma once
// The engine's heartbeat: one call per sample interval polls the hot keys, advances
// the capture state and takes at most one sample into the sample store. When sampling
// is over the step says so and leaves the compositing to its caller.
#include <windows.h>

#include <vector>

#include "capture/sample_counts.h"


// The rectangle a capture takes now, as the options say: the virtual screen, the
// foreground window, its client area, or the stored region (SS_REGION), clipped to the
// virtual screen.
RECT chooseCaptureRect();

// Intersects a capture rectangle with the virtual screen (every monitor): parts on no
// monitor cannot be grabbed, and the result always fits the screen-sized slots.
RECT clipToScreen(const RECT& wanted, const RECT& screen);

// Asked before the first sample of an AVI-only recording of `sampleTotal` samples of
// w x h: how many it may take. The user has been told when that is fewer: 0 and the
// recording is not started (its frames would exist nowhere else), fewer and it ends
// there. The program sets it to the AVI recorder's plan; unset, every recording starts.
extern int (*recordingPlanner)(int sampleTotal, int width, int height);

// Called as sample k (from 1) of a capture is stored, with its w x h pixels (24-bit,
// rows top-down, 3 * w bytes apart) as the store holds them until it is read again. It
// must not make the capture wait. The program sets it to feed a recording's GIF.
extern void (*sampleStored)(int k, const BYTE* sample, int width, int height);

// Called while the main loop waits between samples of a capture: grows the store when
// the next sample needs it, and prepares up to
// `pageBudget` pages of the store where the next sample will go. True while more
// remains to be prepared.
bool prepareNextSample(int pageBudget);

// What one step leaves to the main loop: when samplingOver is set, the capture's
// samplesTaken samples are in the store and must be composited, after which the
// capture ends with endCapture.
struct StepOutcome {
    bool samplingOver = false;
    int samplesTaken = 0;
    bool retroAsked = false;  // the key that composites the ring of the last seconds was pressed
    bool regionAsked = false;  // the key that opens the region selection was pressed
};

// One engine step. Called by the main loop once per interval; a sample it takes is timed
// `nowTicks` on the samples' clock.
StepOutcome captureStep(long long nowTicks = 0);

// The times the current or last capture's samples were taken, sample 1 first.
const std::vector<long long>& captureSampleTicks();

// The end of every capture, whatever path it took: flags cleared, window repainted,
// caption restored, every latch reset, and the ring of the last seconds started afresh
// (not after a composite of the ring itself, which took nothing from the screen).
void endCapture(bool restartRing = true);
