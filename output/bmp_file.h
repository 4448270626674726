#pragma once
// The BMP file of a result: BITMAPFILEHEADER + BITMAPINFOHEADER (54 bytes, little-endian),
// then 32-bit BI_RGB pixels (blue, green, red, 0), rows bottom-up, no row padding.
// Built whole in memory, then handed to a write function in chunks.
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

// Takes up to `size` bytes, returns how many it took; 0 means no progress.
typedef int (*ChunkWriter)(void* sink, const BYTE* data, int size);

// Hands `size` bytes to `write` in chunks of at most kBmpChunkSize, yielding with
// Sleep(0) after every chunk. Ends at the first chunk that makes no progress.
// Returns the number of bytes taken (equal to `size` on success).
int writeInChunks(const BYTE* data, int size, ChunkWriter write, void* sink);
