#pragma once
// The animated GIF of a capture's samples (GIF89a), built in memory; the caller decides
// where its bytes go. Samples are 24-bit blue, green, red, rows top-down, `stride` bytes
// apart. The file loops for ever; each frame lasts as long as its sample did, counted in
// hundredths with the remainder carried, so the frames sum to the exposure; samples
// shorter than two hundredths are merged (the newest shown), since viewers slow such
// frames down. A frame stores only the rectangle where its sample differs from the one
// before, unchanged pixels inside it transparent where that is smaller; a sample that
// changes nothing only lengthens the frame before it. A frame of at most 256 colours is kept
// exactly; one with more gets a quantised table (gif_palette.h), its error diffused where
// the image is smooth and the colour not in the table.
// Frames are encoded on threads of their own, as many as the machine has cores unless
// told otherwise, each frame from its sample and the one before (never from another
// frame's output), and put together in the samples' order: the bytes do not depend on
// the thread count or on when the samples arrive.
// The container is written here: the system's GIF encoder (the Imaging Component) under
// Wine takes no frame delay, loop, position or transparency (its metadata writers answer
// E_NOTIMPL), and the frames need them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "encode/gif_palette.h"

// Where a whole frame ends in the file's bytes, and how many of the samples added the file
// shows once cut there (its last frame lasting as long as they did).
struct GifFrameEnd {
    size_t bytes;
    int samples;
};

struct GifWorkers;  // the encoding threads, their queue of frames and their scratch

struct GifEncoder {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;  // the file so far: the frames put together in order
    // The sample not yet handed to the threads, and its start and end on the clip's clock
    // (0.1 ms); the sample handed over before it, which the next frame is compared with.
    std::shared_ptr<std::vector<uint8_t>> pending, previous;
    bool hasPending = false;
    long long pendingStart = 0, pendingEnd = 0;
    size_t lastDelayAt = 0;              // where the last frame's delay is, 0 before the first
    std::vector<GifFrameEnd> frameEnds;  // one for each frame written
    int samplesPending = 0;              // samples in `pending`
    int samplesQueued = 0;               // samples the frames handed over show
    int samplesWritten = 0;              // samples the frames written show
    bool failed = false;                 // memory ran out for a frame: the file ends before it
    bool finished = false;               // the trailer is written: gifFinish returns the file as it is
    std::shared_ptr<GifWorkers> workers;  // running from gifBegin to gifFinish
};

// What a file gives up to be smaller. `lossy`: the LZW packing may take, instead of a
// pixel's entry, another whose channels differ from the sample's pixel by at most this much
// where that lengthens the string a code stands for (0: exact). `colours`: a table's
// entries at most (4 to 256; a frame with more is quantised). `diffuse`: a quantised
// frame's error is carried on where the image is smooth; off, each pixel takes its nearest
// entry (bands where the colour is smooth, but far fewer bytes than a mix of few entries).
struct GifQuality {
    int lossy = 0;
    int colours = 256;
    bool diffuse = true;
};

// Starts a file of width x height (1 to 65535 each) encoded by `threads` threads (0: one
// per core); forgets any earlier file.
void gifBegin(GifEncoder& gif, int width, int height, int threads = 0, GifQuality quality = GifQuality());

// Adds a sample lasting `durationTicks` (0.1 ms, not negative), waiting while the threads
// have as many frames queued as they may. Throws std::bad_alloc once memory ran out for a
// frame (the frames before it stay whole).
void gifAddFrame(GifEncoder& gif, const uint8_t* bgr, int stride, int durationTicks);

// The same, but never waits: false, the sample not taken, while the queue is full.
bool gifTryAddFrame(GifEncoder& gif, const uint8_t* bgr, int stride, int durationTicks);

// Writes what is pending, waits for the threads and ends them, and adds the trailer;
// returns the whole file (empty when no sample was added). A last sample too short to
// stand alone lengthens the frame before it. Throws std::bad_alloc as gifAddFrame does.
// Once finished (or cut), the file is returned as it is.
const std::vector<uint8_t>& gifFinish(GifEncoder& gif);

// Cuts the file, finished or not, after the last whole frame that leaves it, with its
// trailer, at most `maxBytes` long: a file that reads whole, of fewer samples. Frames still
// being encoded are waited for. Returns the samples it shows; 0 (and no bytes) when not
// even the first frame fits. May throw std::bad_alloc only for a file that ends right
// after a frame, without its trailer.
int gifCutToFit(GifEncoder& gif, size_t maxBytes);

// The threads gifBegin starts when told 0: the machine's cores (at most 8, and at most 4
// in a 32-bit process, whose address space holds a sample per queued frame).
int gifDefaultThreads();

// At most the bytes a file of width x height with one frame can take: the header, two
// full colour tables and the frame's codes (never more than 12 bits a pixel).
long long gifOneFrameBytesBound(int width, int height);
