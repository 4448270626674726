#pragma once
// An animated GIF made to fit a size: encoded as it is, and where that passes the size,
// encoded again giving up first what the viewer misses most rarely: exactness of the LZW
// packing (pixels within a bound of the sample's), then colours, then frames a second,
// then pixels. Each step is the one before plus one thing more; the first that fits is
// kept. Samples are 24-bit blue, green, red, rows top-down `stride` bytes apart.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "encode/gif_encoder.h"

struct GifFitStep {
    GifQuality quality;
    int samplesAFrame = 1;  // samples merged into one frame (the last shown, for their time)
    int percent = 100;      // the frames' width and height, of the samples'
};

struct GifFitted {
    GifEncoder encoder;  // finished: the file in encoder.bytes, its frames' ends for a cut
    GifFitStep step;     // what was given up
    int width = 0, height = 0;
    int frames = 0;
    bool fits = false;  // false: even the last step passes the size (its file is kept)
};

// Sample `index` of the clip (its pixels hold until the next call) and its duration.
using GifSampleAt = std::function<const uint8_t*(int index)>;
using GifTicksAt = std::function<int(int index)>;
using GifProgress = std::function<void(int done, int count)>;

// Encodes `count` samples of width x height into `out`, within `maxBytes` when that is not
// 0. `between` runs between frames, told the samples of this step done and their count
// (the window keeps answering and shows how far it is). With `exactPasses` the
// caller has the exact file already and knows it passes: the steps start at once.
// Samples are asked for in order, each step from the first. False when a sample could
// not be had (`out` then holds no whole file). Throws std::bad_alloc.
bool gifEncodeFitting(const GifSampleAt& sampleAt, const GifTicksAt& ticksAt, int count, int stride, int width,
                      int height, size_t maxBytes, GifFitted& out, const GifProgress& between = nullptr,
                      bool exactPasses = false);

// The samples encoded at one step of the fitting, into `out` (fits left false); false as
// gifEncodeFitting.
bool gifEncodeStep(const GifSampleAt& sampleAt, const GifTicksAt& ticksAt, int count, int stride, int width,
                   int height, const GifFitStep& step, GifFitted& out, const GifProgress& between = nullptr);

// The steps tried after the exact file, in order.
const std::vector<GifFitStep>& gifFitSteps();

// The sample scaled to `toWidth` x `toHeight`, each pixel the mean of the area it covers.
void gifScaleDown(const uint8_t* bgr, int stride, int width, int height, uint8_t* out, int toWidth, int toHeight);
