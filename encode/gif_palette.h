#pragma once
// The colours of an animated GIF: at most 256 entries per table. A region with that few
// colours keeps them exactly; a region with more gets a quantised table: median cut over
// its exact colours (up to 8192 of them) or else a histogram at 6 bits per channel, each
// box the mean of the colours it holds, refined by k-means passes. Pixels are 24-bit blue, green, red, rows `stride` bytes apart; tables
// hold red, green, blue, as the file does. Pure computation: no window types.
#include <cstdint>
#include <vector>

struct GifPalette {
    int count = 0;
    uint8_t rgb[256 * 3] = {};
};

// The distinct colours of the region, in the order met, when there are at most `limit`
// (at most 256); false, with `out` unspecified, when there are more.
bool exactPalette(const uint8_t* bgr, int stride, int width, int height, int limit, GifPalette& out);

// The histogram the quantiser works on, kept between calls so that its 8 MB are
// allocated once and cleared only where they were touched.
struct ColourHistogram {
    // Count and the three channel sums per 6-bit colour: 64 bits, since 32 would wrap past
    // 16.8 million pixels of one colour (a white page on an 8K desktop).
    std::vector<uint64_t> bins;
    std::vector<uint32_t> touched;  // bins with a count, in the order met
};

// A table of at most `colours` (2 to 256) entries that keeps the region's squared error
// low; the region must not be empty.
void quantisePalette(ColourHistogram& histogram, const uint8_t* bgr, int stride, int width, int height,
                     int colours, GifPalette& out);

// The nearest entry of one table, fast: a cache of exact colours met, and for each
// 5-bit cell of colour space the few entries that can be nearest to any colour in it
// (built when the cell is first met). Always the same answer as nearestIndexPlain.
struct NearestColour {
    const GifPalette* palette = nullptr;
    std::vector<int32_t> cellStart;  // per cell: offset in `candidates`, -1 before it is built
    std::vector<uint16_t> candidates;  // per built cell: its count, then its entries
    std::vector<uint32_t> cacheKey;  // colour | 1 << 24 when the slot holds an answer
    std::vector<uint8_t> cacheIndex;
};

// Points `nearest` at `palette` (which must outlive it) and forgets earlier answers.
void prepareNearest(NearestColour& nearest, const GifPalette& palette);

// The entry closest to the colour in squared distance, the lowest index among equals.
int nearestIndex(NearestColour& nearest, int red, int green, int blue);

// The same by trying every entry: the reference for the fast lookup.
int nearestIndexPlain(const GifPalette& palette, int red, int green, int blue);
