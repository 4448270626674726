#pragma once
// The compositing phase that finishes every capture: the samples replayed oldest
// first from the store (into the AVI file when one is written), weighted by age, summed
// and divided into the result, which is shown and auto-saved.

// Runs the phase for the sampleTotal samples in the store, then ends the capture.
void finishSampling(int sampleTotal);

// The same for the ring of the last seconds, at once: the rectangle a screenshot would
// take now, cut out of every sample the ring holds (a window that moved meanwhile is
// taken where it is now), composited with every option a screenshot uses, shown, saved,
// copied, and written as an AVI beside it as a screenshot's samples are.
void compositeRetro();

class AviWriter;

// Opens the next savi####.avi for the capture (or `path`, a name the user chose): an
// AVI-only recording of frameCount frames at AVI_FPS, or the AVI beside a screenshot at
// S_FPS. Does nothing without a capture slot (there is no frame to write).
void openCaptureAvi(AviWriter* writer, int frameCount, const char* path = nullptr);

// Writes the sample now in captureSlot (CaptureRect's size, top-left) as the frame at
// `position`; a capture rectangle larger than the slot ends the recording.
void recordFrame(AviWriter* writer, int position);
