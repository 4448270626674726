#pragma once
// The PNG file of a result, encoded by the Windows Imaging Component's PNG encoder: one
// 24-bit BGR frame, rows top-down, no interlacing, every row filtered by "up". The whole
// file is built in memory, so the caller decides where its bytes go (and sees a disk
// that stops taking them). COM must already be initialised on the calling thread; this
// never does it.
#include <windows.h>

// Memory holding an encoded file; released by its destructor.
struct EncodedPng {
    HGLOBAL memory = nullptr;
    const BYTE* bytes = nullptr;  // locked view of `memory`
    int size = 0;

    EncodedPng() = default;
    EncodedPng(const EncodedPng&) = delete;
    EncodedPng& operator=(const EncodedPng&) = delete;
    ~EncodedPng();
};

// Encodes the top-left width x height region of a 32-bit top-down image whose rows are
// `stride` bytes apart (blue, green, red; the fourth byte is ignored). False when the
// encoder is not there (no COM, no imaging component) or fails, or the file would not
// fit a 32-bit signed size; `out` then holds nothing.
// `betweenStrips`, when given, is called after each strip of rows handed to the encoder,
// so a caller whose window must keep answering can.
bool encodePng(const BYTE* topDownRows, int stride, int width, int height, EncodedPng& out,
               void (*betweenStrips)() = nullptr);
