#include "engine/capture.h"

#include <climits>

#include "core/app_state.h"
#include "core/gdi_guards.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "engine/cadence_log.h"
#include "engine/hot_keys.h"
#include "engine/kernels.h"
#include "engine/sample_store.h"
#include "engine/slot_pool.h"
#include "hook/hook_api.h"

namespace {

RECT chooseCaptureRect() {
    RECT rect = CaptureRect;
    if (!settings.SS_ACTIVE) {
        rect = VirtualScreenRect;
    } else if (!settings.SS_CLIENT) {
        GetWindowRect(GetForegroundWindow(), &rect);
    } else {
        HWND foreground = GetForegroundWindow();
        if (GetClientRect(foreground, &rect)) {
            POINT topLeft = {rect.left, rect.top};
            POINT bottomRight = {rect.right, rect.bottom};
            ClientToScreen(foreground, &topLeft);
            ClientToScreen(foreground, &bottomRight);
            rect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
        }
    }
    return clipToScreen(rect, VirtualScreenRect);
}

// Sample 1 fixes the rectangle and sizes the store. False when the capture cannot be
// taken: the user is told why and the capture ends without a result.
bool beginSampling(int sampleTotal) {
    CaptureRect = chooseCaptureRect();
    const int w = CaptureRect.right - CaptureRect.left;
    const int h = CaptureRect.bottom - CaptureRect.top;
    const char* problem = nullptr;
    if (!usableSlot(captureSlot)) {
        problem = kNoSlotMessage;
    } else if (w <= 0 || h <= 0) {
        problem = kEmptyRectMessage;
    } else if (!ensureStoreCapacity(w, h, sampleTotal)) {
        problem = kStoreFailedMessage;
    }
    if (!problem) return true;
    showMessage(mainWindow, problem, kErrorTitle);
    return false;
}

// Sample k into the store. False when it has nowhere to go: past the end of the store
// (the sample total grew after the store was sized), or the store file has no room and
// the samples cannot be moved into the paging file either.
bool grabSample(int k) {
    const int w = CaptureRect.right - CaptureRect.left;
    const int h = CaptureRect.bottom - CaptureRect.top;
    BitmapSlot* slot = usableSlot(captureSlot);
    cadenceSampleBegin();
    {
        WindowDc screen(GetDesktopWindow());
        Selected into(workDC, slot->bitmap);
        BitBlt(workDC, 0, 0, w, h, screen, CaptureRect.left, CaptureRect.top, SRCCOPY);
    }
    GdiFlush();
    cadenceGrabDone();
    const long long bytes = sampleBytes(w, h);
    const long long end = static_cast<long long>(k) * bytes;
    if (!store.storeMapping || end > store.capacity) return false;
    if (!reserveStoreBytes(end, end) && !moveStoreToPagingFile()) return false;
    BYTE* sample = storeBytes(end - bytes, bytes);
    if (!sample) return false;
    copyRows(slot->bits, slot->stride, sample, 3 * w, 3 * w, h);
    cadenceStoreDone();
    return true;
}

int currentSampleTotal() {
    return app.aviOnlyMode ? aviSampleCount(settings.AVI_TIME, settings.AVI_FPS)
                           : screenshotSampleCount(settings.S_FPS, settings.S_TIME);
}

StepOutcome samplingOver(int samplesTaken) {
    StepOutcome outcome;
    outcome.samplingOver = true;
    outcome.samplesTaken = samplesTaken;
    return outcome;
}

}  // namespace

int screenshotSampleCount(int fps, float seconds) {
    // The single-precision shutter time is widened, not the product rounded to float:
    // 10 x 0.7f is 6.99999988..., which must give 6.
    const double product = static_cast<double>(fps) * static_cast<double>(seconds);
    if (!(product > 0.0)) return 0;
    if (product >= 2147483647.0) return INT_MAX;
    return static_cast<int>(product);
}

int aviSampleCount(int seconds, int fps) {
    const long long product = static_cast<long long>(seconds) * fps;
    if (product <= 0) return 0;
    return product > INT_MAX ? INT_MAX : static_cast<int>(product);
}

RECT clipToScreen(const RECT& wanted, const RECT& screen) {
    RECT clipped;
    clipped.left = wanted.left > screen.left ? wanted.left : screen.left;
    clipped.top = wanted.top > screen.top ? wanted.top : screen.top;
    clipped.right = wanted.right < screen.right ? wanted.right : screen.right;
    clipped.bottom = wanted.bottom < screen.bottom ? wanted.bottom : screen.bottom;
    if (clipped.right < clipped.left) clipped.right = clipped.left;
    if (clipped.bottom < clipped.top) clipped.bottom = clipped.top;
    return clipped;
}

bool prepareNextSample(int pageBudget) {
    if (!app.captureBusy || app.sampleCounter > currentSampleTotal()) return false;  // the next step composites
    return prepareSampleSpan(app.sampleCounter, CaptureRect.right - CaptureRect.left,
                             CaptureRect.bottom - CaptureRect.top, pageBudget);
}

void endCapture() {
    cadenceFlush();
    app.captureBusy = 0;
    if (mainWindow) SendMessageW(mainWindow, WM_PAINT, 0, 0);
    setCaption(kCaptionReady);
    clearHotKeyLatches();
    app.aviOnlyMode = 0;
}

StepOutcome captureStep() {
    if (app.sampleCounter == 0) {
        app.sampleCounter = hookShotPressed();
        if (app.sampleCounter != 0) {
            app.aviOnlyMode = 0;
        } else {
            app.sampleCounter = hookStartPressed();
            hookSetStopPressed(0);
            app.aviOnlyMode = 1;
        }
    }
    if (app.sampleCounter == 0) return StepOutcome();
    const int sampleTotal = currentSampleTotal();

    app.captureBusy = 1;
    if (app.sampleCounter > sampleTotal) {
        app.sampleCounter = 0;
        return samplingOver(sampleTotal);
    }
    if (app.aviOnlyMode && hookStopPressed()) {
        const int taken = app.sampleCounter - 1;
        app.sampleCounter = 0;
        return samplingOver(taken);
    }

    const int k = app.sampleCounter;
    if (k == 1 && !beginSampling(sampleTotal)) {
        app.sampleCounter = 0;
        endCapture();
        return StepOutcome();
    }
    if (!grabSample(k)) {
        // What was taken is still composited; the user learns why the capture is short.
        showMessage(mainWindow, kStoreFailedMessage, kErrorTitle);
        app.sampleCounter = 0;
        if (k > 1) return samplingOver(k - 1);
        endCapture();
        return StepOutcome();
    }
    app.sampleCounter = k + 1;
    setCaption(kCaptionSampling, k, sampleTotal);
    return StepOutcome();
}
