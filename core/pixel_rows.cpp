#include "core/pixel_rows.h"

#include <cstddef>
#include <cstring>

int stride24(int width) {
    int stride = 3 * width;
    if (stride % 4 != 0) stride += 4 - stride % 4;
    return stride;
}

void copyRows(const uint8_t* from, int fromStride, uint8_t* to, int toStride, int rowBytes, int rows) {
    for (int r = 0; r < rows; ++r) {
        memcpy(to + static_cast<ptrdiff_t>(r) * toStride, from + static_cast<ptrdiff_t>(r) * fromStride,
               static_cast<size_t>(rowBytes));
    }
}

void bgrFromBgrx(uint8_t* __restrict out, const uint8_t* __restrict in, int pixels) {
    for (int i = 0; i < pixels; ++i) {
        out[3 * i] = in[4 * i];
        out[3 * i + 1] = in[4 * i + 1];
        out[3 * i + 2] = in[4 * i + 2];
    }
}
