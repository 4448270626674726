#include "capture/capture.h"

#include <climits>
#include <cstdio>
#include <vector>

#include "core/app_state.h"
#include "core/gdi_guards.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/cadence_log.h"
#include "capture/hot_keys.h"
#include "capture/mouse_watch.h"
#include "capture/pointer.h"
#include "capture/region_capture.h"
#include "capture/retro_capture.h"
#include "capture/retro_ring.h"
#include "core/pixel_rows.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "hook/hook_api.h"

int (*recordingPlanner)(int sampleTotal, int width, int height) = nullptr;
void (*sampleStored)(int k, const BYTE* sample, int width, int height) = nullptr;

namespace {

std::vector<long long> sampleTicks;  // when each sample of the current or last capture was taken

int currentSampleTotal() {
    const int total = app.aviOnlyMode ? aviSampleCount(settings.AVI_TIME, settings.AVI_FPS)
                                      : screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    return app.sampleLimit > 0 && app.sampleLimit < total ? app.sampleLimit : total;
}


// A store in its file grows by this much at a time while a recording goes on, so that a
// long recording, which may be stopped at any time, holds the disk only for what it has
// taken. A screenshot composites all its samples: its store holds them from the start.
const long long kStoreGrowthBytes = 256LL * 1024 * 1024;

// Samples of w x h one growth of the store adds: at least one.
int samplesPerGrowth(int w, int h) {
    const long long perStep = kStoreGrowthBytes / sampleBytes(w, h);
    return perStep < 1 ? 1 : perStep > INT_MAX ? INT_MAX : static_cast<int>(perStep);
}

// The store for a capture of n samples: for a recording the first of them now and the
// rest as they come when the store can grow in its file, else all of them now.
bool sizeStoreForCapture(int w, int h, int n) {
    if (!app.aviOnlyMode) return ensureStoreCapacity(w, h, n);
    // A recording's store takes exactly its samples: the disk check counted no more.
    const int step = samplesPerGrowth(w, h);
    const int first = n < step ? n : step;
    if (!ensureStoreCapacity(w, h, first, false)) return false;
    return first == n || storeCanGrow() || ensureStoreCapacity(w, h, n, false);
}

// Makes sure sample k of n (w x h) fits the store, growing it in its file by a step
// during a recording.
bool storeHoldsSample(int k, int n, int w, int h) {
    const long long bytes = sampleBytes(w, h);
    if (static_cast<long long>(k) * bytes <= store.capacity) return true;
    if (!app.aviOnlyMode) return false;
    const long long wanted = static_cast<long long>(k - 1 + samplesPerGrowth(w, h));
    const long long most = n;
    return growStore((wanted < most ? wanted : most) * bytes);
}

// Sample 1 fixes the rectangle and sizes the store. False when the capture cannot be
// taken: the user is told why and the capture ends without a result.
bool beginSampling(int sampleTotal) {
    RECT region;
    CaptureRect = takePendingRegion(&region) ? clipToScreen(region, VirtualScreenRect) : chooseCaptureRect();
    forgetPointerShapes();
    const int w = CaptureRect.right - CaptureRect.left;
    const int h = CaptureRect.bottom - CaptureRect.top;
    const char* problem = nullptr;
    app.recordingGif = app.aviOnlyMode && settings.REC_GIF;  // the options may change while it records
    if (!usableSlot(captureSlot)) {
        problem = uiText(Text::NoSlotMessage);
    } else if (w <= 0 || h <= 0) {
        problem = uiText(Text::EmptyRectMessage);
    } else if (app.aviOnlyMode && recordingPlanner) {
        const int kept = recordingPlanner(sampleTotal, w, h);
        if (kept <= 0) return false;  // the user has been told why
        if (kept < sampleTotal) app.sampleLimit = kept;
    }
    if (!problem && !sizeStoreForCapture(w, h, app.sampleLimit > 0 ? app.sampleLimit : sampleTotal)) {
        problem = uiText(Text::StoreFailedMessage);
    }
    if (!problem) return true;
    showMessage(mainWindow, problem, uiText(Text::ErrorTitle));
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
        if (settings.CURSOR_CAPTURE) drawPointer(workDC, CaptureRect);
    }
    GdiFlush();
    cadenceGrabDone();
    const long long bytes = sampleBytes(w, h);
    const long long end = static_cast<long long>(k) * bytes;
    if (!store.storeMapping || !storeHoldsSample(k, currentSampleTotal(), w, h)) return false;
    if (!reserveStoreBytes(end, end) && !moveStoreToPagingFile()) return false;
    BYTE* sample = storeBytes(end - bytes, bytes);
    if (!sample) return false;
    copyRows(slot->bits, slot->stride, sample, 3 * w, 3 * w, h);
    cadenceStoreDone();
    if (sampleStored) sampleStored(k, sample, w, h);
    return true;
}


StepOutcome samplingOver(int samplesTaken) {
    StepOutcome outcome;
    outcome.samplingOver = true;
    outcome.samplesTaken = samplesTaken;
    return outcome;
}

}  // namespace

RECT chooseCaptureRect() {
    RECT rect = CaptureRect;
    if (settings.SS_REGION) {
        rect = storedRegion();
    } else if (!settings.SS_ACTIVE) {
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
    const int n = currentSampleTotal();
    if (!app.captureBusy || app.sampleCounter > n) return false;  // the next step composites
    const int w = CaptureRect.right - CaptureRect.left;
    const int h = CaptureRect.bottom - CaptureRect.top;
    // The store grows here, between samples, rather than in the step that needs it.
    if (app.sampleCounter > 1 && !storeHoldsSample(app.sampleCounter, n, w, h)) return false;
    return prepareSampleSpan(app.sampleCounter, w, h, pageBudget);
}

void endCapture(bool restartRing) {
    cadenceFlush();
    // The disk gets back what a recording took, and what a screenshot took past one of the
    // whole screen (its settings since made smaller); a store a screenshot of today's
    // settings fills again is kept, so repeated screenshots do not remap it each time.
    const long long screenshotSamples = static_cast<long long>(screenshotSampleCount(settings.S_FPS, settings.S_TIME)) + 1;
    const long long screenBytes = sampleBytes(virtualScreenWidth(), virtualScreenHeight());
    const long long screenshotStore = screenBytes > LLONG_MAX / screenshotSamples ? LLONG_MAX : screenBytes * screenshotSamples;
    if (app.aviOnlyMode || store.capacity > screenshotStore) {
        shrinkStoreToStartupSize();
        keptSamples = KeptSamples();  // a store made smaller may not keep what it held
    }
    app.sampleLimit = 0;
    app.captureBusy = 0;
    // The ring's own watch goes on through its composite; a capture's ends with it.
    if (restartRing) stopMouseWatch();
    if (mainWindow) SendMessageW(mainWindow, WM_PAINT, 0, 0);
    // The ring starts afresh: its samples would otherwise span the capture's time as if
    // no time had passed.
    retroFollowSettings(restartRing);
    setReadyCaption();
    clearHotKeyLatches();
    app.aviOnlyMode = 0;
    app.recordingGif = 0;
}

const std::vector<long long>& captureSampleTicks() { return sampleTicks; }

StepOutcome captureStep(long long nowTicks) {
    if (app.sampleCounter == 0 && hookRetroPressed()) {
        // A press with no ring to composite starts nothing; a screenshot key pressed with
        // it is still latched for the next step.
        hookSetRetroPressed(0);
        StepOutcome outcome;
        outcome.retroAsked = retroRunning() && ringSampleCount() > 0;
        if (outcome.retroAsked) return outcome;
    }
    if (app.sampleCounter == 0 && hookRegionPressed()) {
        hookSetRegionPressed(0);
        StepOutcome outcome;
        outcome.regionAsked = true;
        return outcome;
    }
    if (app.sampleCounter == 0) {
        // A selected region starts its screenshot now; the rectangle stays for sample 1.
        app.sampleCounter = regionWaiting() ? 1 : hookShotPressed();
        if (app.sampleCounter != 0) {
            app.aviOnlyMode = 0;
        } else {
            app.sampleCounter = hookStartPressed();
            hookSetStopPressed(0);
            app.aviOnlyMode = 1;
        }
    }
    if (app.sampleCounter == 0) return StepOutcome();
    int sampleTotal = currentSampleTotal();

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
    if (k == 1) keptSamples = KeptSamples();  // the store is about to be written over
    // The ring is no use until the capture ends, when it starts afresh: its memory goes
    // back before the store is sized.
    if (k == 1) retroStop();
    if (k == 1 && !beginSampling(sampleTotal)) {
        app.sampleCounter = 0;
        endCapture();
        return StepOutcome();
    }
    if (k == 1) sampleTotal = currentSampleTotal();  // a recording the disks cannot hold is shorter
    if (k == 1) {
        sampleTicks.clear();
        watchMouseFor(app.aviOnlyMode ? settings.AVI_TIME : settings.S_TIME);
    }
    if (!grabSample(k)) {
        // What was taken is still composited; the user learns why the capture is short.
        showMessage(mainWindow, uiText(Text::StoreFailedMessage), uiText(Text::ErrorTitle));
        app.sampleCounter = 0;
        if (k > 1) return samplingOver(k - 1);
        endCapture();
        return StepOutcome();
    }
    sampleTicks.push_back(nowTicks);
    app.sampleCounter = k + 1;
    setCaption(uiText(Text::CaptionSampling), k, sampleTotal);
    return StepOutcome();
}
