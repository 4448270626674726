#pragma once
// Three DIB sections the size of the virtual screen, made at start-up and reused by
// every capture (remade larger, between captures, when monitors are added). Everything
// refers to a bitmap by its index in the pool; index 0 never names a bitmap, and -1
// means the allocation failed.
#include <windows.h>

struct BitmapSlot {
    void* block;        // owned heap block holding the BITMAPINFO
    BYTE* bits;         // the DIB section's pixels; non-null means in use
    int stride;         // bytes per row of a 24-bit slot (0 for 32-bit)
    char name[76];
    int width;
    int height;
    BITMAPINFO* info;   // the same block as `block`
    HBITMAP bitmap;
};

const int kSlotCount = 4;
extern BitmapSlot SlotPool[kSlotCount];
extern int resultSlot;   // 24-bit: the composited image
extern int captureSlot;  // 24-bit: each screen grab, and each sample replayed
extern int exportSlot;   // 32-bit: conversion of the result for BMP files

int allocSlot24(int width, int height);
int allocSlot32(int width, int height);

// The slot's record when the index names a slot whose pixels exist, else null.
// Every user of a slot's pixels goes through this, so a failed slot is never touched.
BitmapSlot* usableSlot(int index);

// Allocation of the three role slots at width x height, with progress captions.
void allocateSlots(int width, int height);
// Shutdown release of every record, with progress captions. Always returns 0.
int releaseSlots();

