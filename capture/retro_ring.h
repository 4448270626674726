#pragma once
// The ring of the last seconds: the samples grabbed while idle, held as changes.
// A sample is w x h pixels of blue, green, red, rows top-down. The ring holds the newest
// sample whole (rows of 3 x w bytes, no padding) and, for every older sample, its reverse
// change: the tiles of kRingTile x kRingTile pixels (narrower in the last column, shorter
// in the last row) in which it differs from the sample after it, with its own pixels, each
// tile's rows packed at the tile's width. A change is one malloc'd block (a header, its
// tiles' numbers in row-major order with where their pixels start, then the pixels); a
// change with no tile is no block. Sample k is rebuilt from the newest by laying the
// changes of the newest-but-one down to k over it; dropping the oldest sample is freeing
// its change. Every sample keeps the time it was pushed with (the caller's clock, never
// going back), one number beside its change. A reader may assume every rebuilt sample is
// byte for byte what was pushed, that the times never fall from the oldest to the newest, and
// that nothing it is handed survives the next push, trim, drop or stop.
#include <cstdint>

const int kRingTile = 32;

// Empties the ring and sets its size. False when the newest image's memory cannot be had
// (or the size is empty or too large to address): the ring is then stopped.
bool ringStart(int width, int height);
// Frees everything; the ring holds nothing until the next start.
void ringStop();

// Adds the newest sample (rows `stride` bytes apart, the padding ignored), taken at
// `ticks` (no earlier than the sample before). When a change's memory is refused it drops
// the oldest samples until it has it; false when even then it cannot be had (the ring then
// holds only the sample pushed before) or the ring is not started: the caller starts it again.
bool ringPush(const uint8_t* image, int stride, long long ticks);

// Samples held, the newest included.
int ringSampleCount();
// The time sample k (0 the oldest) was pushed with; 0 for a sample the ring does not hold.
long long ringSampleTicks(int k);
// All the memory the ring holds: the newest image, the changes with their headers and the
// ring's own bookkeeping (the samples' times among it).
long long ringBytes();
// Drops the oldest samples until at most maxSamples are held and ringBytes() is at most
// maxBytes; the newest is always kept.
void ringTrim(int maxSamples, long long maxBytes);
// Drops every sample pushed before `ticks`, the newest too when it is that old: the ring
// then holds nothing until the next push, which it keeps whole.
void ringDropBefore(long long ticks);

int ringWidth();
int ringHeight();

// Rebuilds rows [top, top + rows) and columns [left, left + cols) of every sample, oldest
// first, into out: sample k (0 the oldest) at out + k * rows * cols * 3, rows of cols * 3
// bytes with no padding. Costs about the bytes it writes plus the changed tiles in the
// rectangle. False, nothing written, for a rectangle not inside the ring or an empty ring.
bool ringRebuild(int left, int top, int cols, int rows, uint8_t* out);

// Walks the samples oldest first through one frame of the rectangle (rows of cols * 3
// bytes): begin puts the oldest there, each next turns it into the next newer sample,
// false after the newest. A step costs the tiles that changed. Begin is false for a
// rectangle not inside the ring, an empty ring, or when the walk's list of tiles (a few
// bytes per changed tile in the rectangle) cannot be had; a push, trim, drop or stop ends a walk.
bool ringWalkBegin(int left, int top, int cols, int rows, uint8_t* frame);
bool ringWalkNext(uint8_t* frame);
