#pragma once
// The sample store: the raw samples of the current capture in a file mapping of
// "tmp.map" (hidden, deleted when closed), or of the paging file when that file cannot
// be made or the disk under it is full. Sample k (from 1) starts at (k - 1) * w * h * 3;
// rows are 3 * w bytes of blue, green, red with no padding. The store may be far larger
// than the address space: it is reached through a window, a view of the part in use
// that moves as other parts are asked for, so a recording is bounded by the disk alone.
#include <windows.h>

struct SampleStore {
    HANDLE storeFile = INVALID_HANDLE_VALUE;  // "tmp.map", or invalid: backed by the paging file
    HANDLE storeMapping = nullptr;
    long long capacity = 0;                   // bytes the mapping holds
    BYTE* window = nullptr;                   // the view now mapped
    long long windowOffset = 0;               // where in the store it starts
    long long windowBytes = 0;                // and how much of it it covers
    long long preparedBytes = 0;              // the store's pages below this have been written to
    long long reservedBytes = 0;              // the file has disk space below this
};
extern SampleStore store;

// The size a window of the store is made (larger only when one request needs more): a
// few tens of megabytes, which even a 32-bit process can always map. Tests make it small.
extern long long storeWindowBytes;
// Views of the store mapped so far, for the benchmark and the tests to count.
extern long long storeViewsMapped;

// The bytes [offset, offset + length) of the store, through a window that covers them
// (the one in view, or a new one in its place). The pointer stays valid until the next
// call. Null when the range lies outside the store or no view can be mapped.
BYTE* storeBytes(long long offset, long long length);

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
// n + 1 samples (n with `spareSample` false: a recording counts every byte it takes). A size the store's disk (or, for a store in the paging file, the paging
// file) has no room for is refused: false, and the store stays as it was. A file that
// cannot be mapped at a size its disk has room for is left for the paging file. A store
// that had to leave its file goes back into a new one once its disk has room again.
// False whenever the store cannot hold them: then nothing may be written.
bool ensureStoreCapacity(int width, int height, int sampleTotal, bool spareSample = true);

// A store in its file can grow in place while a capture goes on, keeping its samples;
// one in the paging file cannot.
bool storeCanGrow();
// Grows a store in its file to `size` bytes, keeping every byte. False, the store as it
// was, when it is in the paging file, its disk has no room or the larger mapping cannot
// be made.
bool growStore(long long size);
// The store goes back to its start-up size and its file gives the disk the room back
// (when it grew beyond that size).
void shrinkStoreToStartupSize();
// Bytes the store could hold in all: its disk's free space and what its file already
// has, or what the paging file has left.
long long storeRoom();
// The full path of the folder of the store's file (with its backslash), or null for a
// store in the paging file.
const char* storeFolderPath();

// The part of the store that sample k (w x h) will be copied into and that is not yet
// prepared: [from, to) in bytes from the store's start, where everything below
// `prepared` already is. False when there is nothing to prepare: k below 2 (the
// rectangle is not fixed yet), an empty rectangle, or a sample that would not fit.
bool nextSampleSpan(int k, int width, int height, long long capacity, long long prepared, long long* from,
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
