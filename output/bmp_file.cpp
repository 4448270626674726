#include "output/bmp_file.h"

#include <climits>
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

void buildBmpFile(BYTE* file, const BYTE* topDownRows, int stride, int width, int height) {
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

    // The file's first row is the image's bottom row.
    BYTE* out = file + kBmpHeaderSize;
    for (int j = 0; j < height; ++j) {
        const BYTE* in = topDownRows + static_cast<size_t>(height - 1 - j) * static_cast<size_t>(stride);
        for (int x = 0; x < width; ++x) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0;
            out += 4;
            in += 4;
        }
    }
}

int writeInChunks(const BYTE* data, int size, ChunkWriter write, void* sink) {
    int count = 0;
    while (count < size) {
        const int chunk = size - count < kBmpChunkSize ? size - count : kBmpChunkSize;
        const int taken = write(sink, data + count, chunk);
        Sleep(0);
        // A full disk takes nothing; retrying would spin for ever.
        if (taken <= 0 || taken > chunk) break;
        count += taken;
    }
    return count;
}
