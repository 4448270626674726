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

// Fills `out` with the `count` bytes of the file that start at byte `offset` (cut to
// the file's end), for the top-left width x height region of a 32-bit top-down image
// whose rows are `stride` bytes apart. The fourth byte of each pixel is written as 0,
// whatever the source holds there.
void buildBmpRange(BYTE* out, int offset, int count, const BYTE* topDownRows, int stride, int width, int height);

// Takes up to `size` bytes, returns how many it took; 0 means no progress.
typedef int (*ChunkWriter)(void* sink, const BYTE* data, int size);

// Hands the whole file to `write` in chunks of at most kBmpChunkSize, each assembled
// into `chunkBuffer` (kBmpChunkSize bytes) just before it is written, so the file never
// needs a buffer of its own size: the conversion stays in the cache and no fresh pages
// are touched. Yields with Sleep(0) after every chunk and ends at the first chunk that
// makes no progress (a full disk takes nothing; retrying would spin for ever).
// Returns the number of bytes taken (the file's size on success).
int writeBmpInChunks(BYTE* chunkBuffer, const BYTE* topDownRows, int stride, int width, int height, ChunkWriter write,
                     void* sink);

// The header of a 24-bit BI_RGB image, rows bottom-up (an AVI frame, the clipboard's
// CF_DIB); biSizeImage 0, as BI_RGB allows.
BITMAPINFOHEADER dibHeader24(int width, int height);
