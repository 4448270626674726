#pragma once
// The animated GIF of a capture's samples (GIF89a), built in memory; the caller decides
// where its bytes go. Samples are 24-bit blue, green, red, rows top-down, `stride` bytes
// apart. The file loops for ever; each frame lasts as long as its sample did, counted in
// hundredths with the remainder carried, so the frames sum to the exposure; samples
// shorter than two hundredths are merged (the newest shown), since viewers slow such
// frames down. A frame stores only the rectangle that changes what a viewer shows,
// unchanged pixels inside it transparent where that is smaller; a sample that changes
// nothing only lengthens the frame before it. A frame of at most 256 colours is kept
// exactly; one with more gets a quantised table (gif_palette.h), its error diffused where
// the image is smooth and the colour not in the table.
// The container is written here: the system's GIF encoder (the Imaging Component) under
// Wine takes no frame delay, loop, position or transparency (its metadata writers answer
// E_NOTIMPL), and the frames need them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encode/gif_palette.h"

// Where a whole frame ends in the file's bytes, and how many of the samples added the file
// shows once cut there (its last frame lasting as long as they did).
struct GifFrameEnd {
    size_t bytes;
    int samples;
};

struct GifEncoder {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;  // the file so far
    // The sample not yet written, and its start and end on the clip's clock (0.1 ms).
    std::vector<uint8_t> pending;
    bool hasPending = false;
    long long pendingStart = 0, pendingEnd = 0;
    std::vector<uint8_t> source;  // the last sample written
    std::vector<uint8_t> shown;   // what a viewer shows after the frames written
    size_t lastDelayAt = 0;       // where the last frame's delay is, 0 before the first
    std::vector<GifFrameEnd> frameEnds;  // one for each frame written
    int samplesPending = 0;              // samples in `pending`
    int samplesWritten = 0;              // samples the frames written show
    GifPalette global;
    NearestColour globalNearest;
    ColourHistogram histogram;
    // Scratch kept between frames.
    GifPalette local;
    NearestColour localNearest;
    std::vector<uint8_t> target, indices, opaque, transparent;
    std::vector<int32_t> carried;  // the error diffused into two rows
    std::vector<int32_t> lzwKeys;
    std::vector<uint16_t> lzwCodes;
};

// Starts a file of width x height (1 to 65535 each); forgets any earlier file.
void gifBegin(GifEncoder& gif, int width, int height);

// Adds a sample lasting `durationTicks` (0.1 ms, not negative).
void gifAddFrame(GifEncoder& gif, const uint8_t* bgr, int stride, int durationTicks);

// Writes what is pending and the trailer; returns the whole file (empty when no sample
// was added). A last sample too short to stand alone lengthens the frame before it.
const std::vector<uint8_t>& gifFinish(GifEncoder& gif);

// Cuts the file, finished or not, after the last whole frame that leaves it, with its
// trailer, at most `maxBytes` long: a file that reads whole, of fewer samples. Returns the
// samples it shows; 0 (and no bytes) when not even the first frame fits. May throw
// std::bad_alloc only for a file that ends right after a frame, without its trailer.
int gifCutToFit(GifEncoder& gif, size_t maxBytes);

// At most the bytes a file of width x height with one frame can take: the header, two
// full colour tables and the frame's codes (never more than 12 bits a pixel).
long long gifOneFrameBytesBound(int width, int height);
