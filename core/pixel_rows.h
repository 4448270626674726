#pragma once
// Rows of 24-bit pixels as the slots, the store and the files lay them out: a DIB row's
// padded length, copies between rows of different strides, and 32-bit pixels packed
// into 24-bit ones.
#include <cstdint>

// Bytes per row of a 24-bit DIB: 3 x width rounded up to a multiple of 4.
int stride24(int width);

// Copies `rows` rows of `rowBytes` bytes from rows `fromStride` bytes apart to rows
// `toStride` bytes apart; the bytes between rows are left as they are. Slots (padded
// rows) and the store (packed rows) trade samples through this.
void copyRows(const uint8_t* from, int fromStride, uint8_t* to, int toStride, int rowBytes, int rows);

// Packs `pixels` 32-bit pixels (blue, green, red, unused) into 24-bit ones.
void bgrFromBgrx(uint8_t* __restrict out, const uint8_t* __restrict in, int pixels);
