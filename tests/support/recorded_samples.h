#pragma once
// Samples with known pixels for the AVI recorder, handed to it as the compositing phase
// hands them: each in captureSlot's top-left region of CaptureRect's size. The
// recorder's tests and the program that writes recordings for outside readers both
// record these and check what comes out against sampleByte.
#include <windows.h>

#include <functional>

#include "app/compositing_phase.h"
#include "core/app_state.h"
#include "capture/slot_pool.h"
#include "output/avi_writer.h"

// Byte `channel` (blue, green, red) of pixel (x, y) of sample `sample`: it changes from
// pixel to pixel, row to row and sample to sample, so a flipped, shifted or repeated
// frame shows.
inline BYTE sampleByte(int x, int y, int sample, int channel) {
    return static_cast<BYTE>(x * 7 + y * 13 + sample * 31 + channel * 101);
}

// Puts sample `sample` into captureSlot.
inline void fillCaptureSample(int sample) {
    BitmapSlot* slot = usableSlot(captureSlot);
    if (!slot) return;
    const int w = CaptureRect.right - CaptureRect.left;
    const int h = CaptureRect.bottom - CaptureRect.top;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) slot->bits[y * slot->stride + 3 * x + c] = sampleByte(x, y, sample, c);
}

// One whole recording of `frames` samples through a writer of its own, as the
// compositing phase makes it (`frameCount` as it passes it); `eachSample(i)`, when
// given, runs once sample i is in captureSlot, before it is recorded. A positive
// `fileByteLimit` lowers the size at which the recording goes on in the next file.
inline void recordSamples(int frames, int frameCount, const std::function<void(int)>& eachSample = nullptr,
                          long long fileByteLimit = 0) {
    AviWriter* writer = new AviWriter;
    openCaptureAvi(writer, frameCount);
    if (fileByteLimit > 0) writer->fileByteLimit = fileByteLimit;
    for (int i = 0; i < frames; ++i) {
        fillCaptureSample(i);
        if (eachSample) eachSample(i);
        recordFrame(writer, i);
    }
    if (app.aviFileOpen) writer->close();
    delete writer;
}
