#pragma once
// Animated GIF files of a capture's samples: the next free sgif0000.gif … sgif9999.gif in
// AVISAVEPATH beside a screenshot or for an AVI-only recording, and the samples of the
// result shown under a name the user chooses (saveGifToFile). The encoder (gif_encoder.h)
// builds the whole file in memory; only finished bytes go to the disk, so no cut-off GIF
// is ever left.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "encode/gif_encoder.h"
#include "encode/gif_fit.h"

struct GifOutput {
    GifEncoder encoder;
    bool lost = false;            // memory ran out while encoding: nothing is written
    std::vector<uint8_t> result;  // the composite added last (addGifResult), width x height
};

// Where a GIF's samples are read again when it must be made smaller (fitGifToLimit):
// sample `index` (its pixels holding until the next call; null when it cannot be had), in
// order from 0, and the ticks it lasts.
struct GifSource {
    GifSampleAt sampleAt;
    GifTicksAt ticksAt;
    int count = 0, stride = 0, width = 0, height = 0;
};

// Draws on a copy of sample `index` (top-down 24-bit rows `stride` bytes apart) before it
// is encoded: the pointer's marks.
using GifMarker = std::function<void(int index, uint8_t* bgr, int stride)>;

// The store's first `count` samples, each `storeWidth` wide of which the first `width`
// columns are shown, `rate` a second, each passed through `mark` (when not null).
GifSource storeGifSource(int count, int storeWidth, int width, int height, int rate, const GifMarker& mark);

// Finishes the GIF and, where GIF_MAX_MB is set and the file passes it, encodes `source`
// (and the result added last) again, giving up what gif_fit.h says until it fits; the user
// is told what was given up. Does nothing for a null or lost output.
void fitGifToLimit(GifOutput* gif, const GifSource& source);

// A GIF of width x height to add samples to; null, with the user told, when there is no
// memory for it.
GifOutput* beginGifOutput(int width, int height);

// Adds a top-down 24-bit sample (rows `stride` bytes apart) lasting `durationTicks` (0.1 ms).
// Does nothing for a null or lost output.
void addGifSample(GifOutput* gif, const BYTE* bgr, int stride, int durationTicks);

// With GIF_WITH_RESULT, adds the composite in the result slot (width x height of it) as a
// last frame held for a second. Does nothing for a null or lost output.
void addGifResult(GifOutput* gif, int width, int height);

// The ticks sample `index` (from 0) of a clip at `rate` per second lasts: the differences of
// the samples' start times, so however the rate divides a second the clip's frames sum to
// its length.
int gifSampleTicks(int index, int rate);

// A recording written as GIF is encoded while it records: each sample as it is stored
// (capture.h's sampleStored), never making the capture wait. Where the encoder's queue is
// full the sample is left in the store, and taken from there later, first at the next
// samples and else after the recording (takeRecordingGif). Sample 1 starts a fresh GIF.
void feedRecordingGif(int k, const BYTE* sample, int width, int height);

// The GIF fed while the recording recorded, and in `fed` the samples it took: the first
// `fed` of the store. Null (and 0) when none was fed, or when it does not fit the file the
// recording's samples make (width x height at `rate` a second); forgets it either way.
GifOutput* takeRecordingGif(int width, int height, int rate, int* fed);

// Asks the user what becomes of samples a file cannot take whole (ui/keep_dialog.h):
// IDRETRY, IDC_KEEP_ELSEWHERE or IDABORT. Null answers IDABORT.
using KeepAsker = int (*)(const char* reasonFormat, int total, int kept, bool elsewhere);

// Finishes the GIF and writes it as the next free sgif####.gif in AVISAVEPATH, making the
// folder first. Where its disk (in whole clusters) cannot take it whole, or the write fails,
// `ask` says whether to try again, to save it under a name the user chooses, or to keep
// the whole frames that fit; a retry that still fits nothing gives it up. Frees `gif`.
// Does nothing for a null output.
// With `path` the file is written there instead (a name the command line gave).
void finishNumberedGif(GifOutput* gif, KeepAsker ask, const char* path = nullptr);

// The end of an AVI-only recording written as GIF: the next free sgif####.gif in
// AVISAVEPATH, written as finishNumberedGif writes. The file is cut after the last whole
// frame that memory could take (the frames encoded before it ran out), or that keeps it
// below 2 GB, or after what fits when the user keeps only that; where memory or the size
// cut it, the user is told, as for an AVI, how many of the recording's frames it keeps.
// Frees `gif`; does nothing for a null output.
void finishRecordingGif(GifOutput* gif, KeepAsker ask, const char* path = nullptr);

// The GIF of the kept samples (keptSamples) read back from the store, finished, in `out`;
// false, the user told, when the store no longer gives them or memory runs out.
bool keptSamplesGif(std::vector<uint8_t>& out);

// The main window's "save as GIF" command: the kept samples (keptSamples) read back from the
// store, written under a name chosen in the save dialog; a file already there is replaced
// only once the new one is whole.
void saveGifToFile();
