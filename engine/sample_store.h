#pragma once
// The sample store: the raw samples of the current capture in a file mapping of
// "tmp.map" (hidden, deleted when closed), or of the paging file when that file cannot
// be made or the disk under it is full. Sample k (from 1) starts at (k - 1) * w * h * 3;
// rows are 3 * w bytes of blue, green, red with no padding.
#include <windows.h>

struct SampleStore {
    HANDLE storeFile = INVALID_HANDLE_VALUE;  // "tmp.map", or invalid: backed by the paging file
    HANDLE storeMapping = nullptr;
    BYTE* storeView = nullptr;
    int mappedSize = 0;                       // size of the mapping and of the view
    long long preparedBytes = 0;              // the view's pages below this have been written to
    long long reservedBytes = 0;              // the file has disk space below this
};
extern SampleStore store;

// Bytes of one w x h sample in the store (no row padding); LLONG_MAX when they would
// not fit a long long.
long long sampleBytes(int width, int height);

// "%s\\tmp.map" in the temporary folder; false when it does not fit MAX_PATH.
bool buildStorePath(char* out, const char* tempFolder);

// Start-up: creates "tmp.map" (hidden, temporary, delete-on-close) in tempFolder and
// maps mapSize bytes of it. A file that cannot be created (or a folder too long for
// the path), or one that cannot be mapped at that size, leaves the store in the paging
// file; when even that cannot be mapped the store is empty, and the first capture
// tries again.
void createSampleStore(const char* tempFolder, int mapSize);
// Shutdown: unmaps, closes, and so deletes the file.
void releaseSampleStore();

// Makes sure the store holds n samples of w x h. Grows it, when it is smaller, to
// n + 1 samples, leaving a file that cannot be mapped at that size for the paging
// file. False when that size does not fit a signed 32-bit count or no mapping or view
// can be made: then nothing may be written.
bool ensureStoreCapacity(int width, int height, int sampleTotal);

// The part of the store that sample k (w x h) will be copied into and that is not yet
// prepared: [from, to) in bytes from the view's start, where everything below
// `prepared` already is. False when there is nothing to prepare: k below 2 (the
// rectangle is not fixed yet), an empty rectangle, or a sample that would not fit.
bool nextSampleSpan(int k, int width, int height, int mappedSize, long long prepared, long long* from,
                    long long* to);

// Reserves and faults in up to `pageBudget` pages of the part of the store that sample
// k (w x h) will be copied into, so that the copy itself only copies (the first write
// to a page of the mapped file costs far more than the copy). The bytes are left as
// they are. True while more of that sample remains to be prepared.
bool prepareSampleSpan(int k, int width, int height, int pageBudget);

// The file keeps disk space for its first `through` bytes before any of them is written
// through the view, taking at most `budget` more bytes of it per call (zeros are written
// where the file system leaves a mapped file sparse). False when the disk has no room.
bool reserveStoreBytes(long long through, long long budget);
// Moves the store out of a file that has no room into the paging file, keeping what was
// written below the reserved mark. False when that cannot be mapped either.
bool moveStoreToPagingFile();
