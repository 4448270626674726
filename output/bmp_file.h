#pragma once
// The BMP file of a result: BITMAPFILEHEADER + BITMAPINFOHEADER (54 bytes, little-endian),
// then 32-bit BI_RGB pixels (blue, green, red, 0), rows bottom-up, no row padding.
// Built in memory (whole, or one chunk at a time), then handed to a write function in chunks.
#include <windows.h>

const int kBmpHeaderSize = 54;
const int kBmpChunkSize = 500000;

// Bytes of the file for a width x height image, or -1 when the size is not positive
// or does not fit a 32-bit signed count.
int bmpFileSize(int width, int height);

// Fills `file` (bmpFileSize bytes) from the top-left width x height region of a
// 32-bit top-down image whose rows are `stride` bytes apart. The fourth byte of each
// pixel is written as 0, whatever the source holds there.
void buildBmpFile(BYTE* file, const BYTE* topDownRows, int stride, int width, int height);

// Fills `out` with the `count` bytes of that file that start at byte `offset` (cut to
// the file's end), the same bytes buildBmpFile puts there.
void buildBmpRange(BYTE* out, int offset, int count, const BYTE* topDownRows, int stride, int width, int height);

// Takes up to `size` bytes, returns how many it took; 0 means no progress.
typedef int (*ChunkWriter)(void* sink, const BYTE* data, int size);

// Hands `size` bytes to `write` in chunks of at most kBmpChunkSize, yielding with
// Sleep(0) after every chunk. Ends at the first chunk that makes no progress.
// Returns the number of bytes taken (equal to `size` on success).
int writeInChunks(const BYTE* data, int size, ChunkWriter write, void* sink);

// The same chunks as writeInChunks over the whole file, each assembled just before it
// is written into `chunkBuffer` (kBmpChunkSize bytes), so the file never needs a buffer
// of its own size: the conversion stays in the cache and no fresh pages are touched.
int writeBmpInChunks(BYTE* chunkBuffer, const BYTE* topDownRows, int stride, int width, int height, ChunkWriter write,
                     void* sink);
