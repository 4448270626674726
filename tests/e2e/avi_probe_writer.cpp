// Writes AVI recordings with known frames through the recorder, for an outside reader
// to check. Usage: avi_probe_writer <folder>. In that folder: savi0000.avi (641 x 480,
// 15 frames at 15 fps), savi0001.avi (64 x 48, a 0.5 s screenshot: 7 frames),
// savi0002.avi (32 x 24, AVI-only at 10 fps stopped after 100 samples), savi0003.avi
// (no samples), savi0004.avi to savi0006.avi (one AVI-only recording of 8 samples with
// the file limit lowered to three frames: 3, 3 and 2 frames), and frameN_K.bgr: sample
// K of recording N as packed top-down bgr24.
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/pixel_rows.h"
#include "capture/slot_pool.h"
#include "output/avi_writer.h"
#include "support/display.h"
#include "support/files.h"
#include "support/recorded_samples.h"

namespace {

// Records `frames` samples of width x height as file number `file`, writing each
// sample beside it as the frame a reader must find.
void record(const char* folder, int file, int width, int height, int frames, int frameCount,
            long long fileByteLimit = 0) {
    SetRect(&CaptureRect, 0, 0, width, height);
    recordSamples(
        frames, frameCount,
        [&](int sample) {
        std::string expected;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) expected += static_cast<char>(sampleByte(x, y, sample, c));
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%s\\frame%d_%d.bgr", folder, file, sample);
        writeFileBytes(name, expected);
        },
        fileByteLimit);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s", commandLine);
    if (!folder[0]) return 2;
    VirtualScreenRect = {0, 0, 700, 500};
    if (!setUpDisplay(nullptr)) return 3;
    captureSlot = allocSlot24(700, 500);
    if (!usableSlot(captureSlot)) return 3;
    snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", folder);

    settings.S_FPS = 15;
    settings.S_TIME = 1.0f;
    record(folder, 0, 641, 480, 15, 0);
    settings.S_TIME = 0.5f;
    record(folder, 1, 64, 48, 7, 0);
    app.aviOnlyMode = 1;
    settings.AVI_FPS = 10;
    record(folder, 2, 32, 24, 100, 100);
    record(folder, 3, 32, 24, 0, 0);
    record(folder, 4, 32, 24, 8, 8, kAviFixedBytes + 3 * aviFrameFileBytes(stride24(32) * 24));

    releaseSlots();
    releaseDisplay();
    return app.aviFileOpen ? 0 : 1;
}
