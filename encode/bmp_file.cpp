#include "encode/bmp_file.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

void put16(BYTE* at, unsigned int value) {
    at[0] = static_cast<BYTE>(value & 0xFF);
    at[1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

void put32(BYTE* at, unsigned int value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<BYTE>((value >> (8 * i)) & 0xFF);
}

}  // namespace

int bmpFileSize(int width, int height) {
    if (width < 1 || height < 1) return -1;
    const long long size = kBmpHeaderSize + 4LL * width * height;
    return size > INT_MAX ? -1 : static_cast<int>(size);
}

namespace {

void buildBmpHeader(BYTE* file, int width, int height) {
    const int size = bmpFileSize(width, height);
    memset(file, 0, kBmpHeaderSize);

    // BITMAPFILEHEADER
    file[0] = 'B';
    file[1] = 'M';
    put32(file + 2, static_cast<unsigned int>(size));  // bfSize: the whole file
    put16(file + 6, 0);                                 // bfReserved1
    put16(file + 8, 0);                                 // bfReserved2
    put32(file + 10, kBmpHeaderSize);                   // bfOffBits
    // BITMAPINFOHEADER
    put32(file + 14, 40);                                   // biSize
    put32(file + 18, static_cast<unsigned int>(width));    // biWidth
    put32(file + 22, static_cast<unsigned int>(height));   // biHeight > 0: bottom-up
    put16(file + 26, 1);                                    // biPlanes
    put16(file + 28, 32);                                   // biBitCount
    put32(file + 30, BI_RGB);                               // biCompression
    put32(file + 34, 0);                                    // biSizeImage (0 is allowed for BI_RGB)
    put32(file + 38, 0);                                    // biXPelsPerMeter
    put32(file + 42, 0);                                    // biYPelsPerMeter
    put32(file + 46, 0);                                    // biClrUsed
    put32(file + 50, 0);                                    // biClrImportant
}

// Whole 32-bit pixels with their fourth byte cleared, one word at a time so that the
// compiler copies many pixels per instruction.
void copyPixelsClearingFourthByte(BYTE* __restrict out, const BYTE* __restrict in, int pixels) {
    for (int i = 0; i < pixels; ++i) {
        uint32_t word;
        memcpy(&word, in + 4 * i, 4);
        word &= 0x00FFFFFFu;  // blue, green, red stay; the fourth byte is 0
        memcpy(out + 4 * i, &word, 4);
    }
}

}  // namespace

void buildBmpRange(BYTE* out, int offset, int count, const BYTE* topDownRows, int stride, int width, int height) {
    const int size = bmpFileSize(width, height);
    if (size < 0 || offset < 0 || count <= 0 || offset >= size) return;
    if (count > size - offset) count = size - offset;
    int at = offset;
    const int end = offset + count;
    if (at < kBmpHeaderSize) {
        BYTE header[kBmpHeaderSize];
        buildBmpHeader(header, width, height);
        const int n = (end < kBmpHeaderSize ? end : kBmpHeaderSize) - at;
        memcpy(out, header + at, static_cast<size_t>(n));
        out += n;
        at += n;
    }
    // The file's first row is the image's bottom row.
    while (at < end) {
        const int pixel = (at - kBmpHeaderSize) / 4;
        const int skip = (at - kBmpHeaderSize) % 4;
        const int x = pixel % width;
        const BYTE* in = topDownRows + static_cast<size_t>(height - 1 - pixel / width) * static_cast<size_t>(stride) +
                         static_cast<size_t>(x) * 4;
        if (skip != 0 || end - at < 4) {
            // A pixel cut by the range's edge.
            const BYTE whole[4] = {in[0], in[1], in[2], 0};
            const int n = (4 - skip < end - at) ? 4 - skip : end - at;
            memcpy(out, whole + skip, static_cast<size_t>(n));
            out += n;
            at += n;
            continue;
        }
        int pixels = width - x;
        if (pixels > (end - at) / 4) pixels = (end - at) / 4;
        copyPixelsClearingFourthByte(out, in, pixels);
        out += 4 * pixels;
        at += 4 * pixels;
    }
}

int writeBmpInChunks(BYTE* chunkBuffer, const BYTE* topDownRows, int stride, int width, int height, ChunkWriter write,
                     void* sink) {
    const int size = bmpFileSize(width, height);
    int count = 0;
    while (count < size) {
        const int chunk = size - count < kBmpChunkSize ? size - count : kBmpChunkSize;
        buildBmpRange(chunkBuffer, count, chunk, topDownRows, stride, width, height);
        const int taken = write(sink, chunkBuffer, chunk);
        Sleep(0);
        if (taken <= 0 || taken > chunk) break;
        count += taken;
    }
    return count;
}

BITMAPINFOHEADER dibHeader24(int width, int height) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    return header;
}
