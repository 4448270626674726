#include "app/main_loop.h"

#include <mmsystem.h>
#include <objbase.h>

#include "app/command_run.h"
#include "app/compositing_phase.h"
#include "app/interval_timer.h"
#include "app/main_window.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "core/texts.h"
#include "capture/cadence_log.h"
#include "capture/capture.h"
#include "capture/hot_keys.h"
#include "capture/retro_capture.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "hook/hook_api.h"
#include "output/gif_copy.h"
#include "output/gif_file.h"
#include "output/recording_plan.h"
#include "ui/region_overlay.h"

namespace {

// Pages of the store prepared for the next sample per check of the wait during a
// capture: about a tenth of a millisecond of work, so the step is never held up.
const int kPagesPerCheck = 16;

// The size the slots and the display surface were made for: the virtual screen's at
// start-up, grown with it when monitors are added.
SIZE surfaceSize = {0, 0};

void createDisplaySurface() {
    surfaceSize = {virtualScreenWidth(), virtualScreenHeight()};
    windowDC = GetDC(mainWindow);
    workDC = CreateCompatibleDC(windowDC);
    displayDC = CreateCompatibleDC(windowDC);
    displayBitmap = CreateCompatibleBitmap(windowDC, surfaceSize.cx, surfaceSize.cy);
    displayPreviousBitmap = SelectObject(displayDC, displayBitmap);
    ResultRect = {0, 0, 1, 1};
    const RECT whole = {0, 0, surfaceSize.cx, surfaceSize.cy};
    FillRect(displayDC, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

// A display bitmap of the new size holding what the old one showed. When it cannot
// be made, the old one stays and false is returned.
bool growDisplaySurface(SIZE size) {
    HBITMAP grown = CreateCompatibleBitmap(windowDC, size.cx, size.cy);
    if (!grown) return false;
    HDC grownDC = CreateCompatibleDC(windowDC);
    if (!grownDC) {
        DeleteObject(grown);
        return false;
    }
    HGDIOBJ previous = SelectObject(grownDC, grown);
    const RECT whole = {0, 0, size.cx, size.cy};
    FillRect(grownDC, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    BitBlt(grownDC, 0, 0, surfaceSize.cx, surfaceSize.cy, displayDC, 0, 0, SRCCOPY);
    SelectObject(grownDC, previous);
    DeleteDC(grownDC);
    SelectObject(displayDC, grown);
    DeleteObject(displayBitmap);
    displayBitmap = grown;
    return true;
}

void armHookLibrary() {
    hookInstall();
    hookSetOwnerWindow(mainWindow);
    armHotKeys();
}

// Nothing needs the processor between steps: the wait sleeps until a message (a hot-key
// event arrives as one) or until shortly before the step or the ring's sample is due,
// which is then waited out finely. During a capture the system timer runs at 1 ms, so
// the sleep ends within a millisecond of when it should, and the last two are waited
// out finely; idle, the timer keeps its own rate, and a late wake only delays noticing a
// hot key by as much.
const int kFineWaitTicks = 20;

void sleepUntilNear(int remainingTicks) {
    // Idle, nothing is timed finely: the whole wait is slept, rounded up, never spun.
    const int fine = app.captureBusy ? kFineWaitTicks : 0;
    if (remainingTicks <= fine) return;
    const DWORD milliseconds = static_cast<DWORD>((remainingTicks - fine + (fine ? 0 : 9)) / 10);
    if (milliseconds == 0) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// The ring of the last seconds samples while the program is idle and nothing else holds
// the screen or the settings.
bool ringMaySample() { return mayStart(Start::Capture); }

void waitForNextStep() {
    // While idle at least one message is handled per step: a rate above 10000 per second
    // makes the interval 0, and a window that never pumped could not even be closed.
    bool pumped = app.captureBusy != 0;
    for (;;) {
        intervalTimer.now();
        const long long now = intervalTimer.nowTicks;
        const int interval = stepInterval(app.aviOnlyMode, settings.S_FPS, settings.AVI_FPS);
        const int elapsed = intervalTimer.elapsed();
        if ((elapsed >= interval && pumped) || !app.appRunning) return;
        pumpMessages();
        pumped = true;
        // The region key is answered at once, not at the next interval: the overlay must
        // show the screen as it was at the press.
        if (ringMaySample() && hookRegionPressed()) return;
        int remaining = interval - elapsed;
        if (ringMaySample()) {
            const int ringRemaining = retroTicksUntilSample(now);
            if (ringRemaining == 0) {
                retroTakeSample(now);
                continue;
            }
            if (ringRemaining < remaining) remaining = ringRemaining;
        }
        // The store's pages for the next sample are prepared in the wait; then it sleeps.
        if (app.captureBusy && prepareNextSample(kPagesPerCheck)) {
            Sleep(0);
            continue;
        }
        sleepUntilNear(remaining);
        Sleep(0);
    }
}

// COM for the PNG encoder, once for the program's one thread; balanced at shutdown
// only when it was taken here.
bool comInitialised = false;

// The system's timer runs at 1 ms only while samples are taken: an idle Kestrin leaves
// the timer rate of the whole system alone (before Windows 10 2004 the rate is global).
void holdFineTimer(bool wanted) {
    static bool held = false;
    if (wanted == held) return;
    if (wanted) {
        timeBeginPeriod(1);
    } else {
        timeEndPeriod(1);
    }
    held = wanted;
}

void releaseCom() {
    if (comInitialised) CoUninitialize();
    comInitialised = false;
}

// The display surface and the slots grown to hold the virtual screen `screen`, where
// they are smaller; where they cannot grow, VirtualScreenRect is cut to what they hold.
void growSurfaceFor(const RECT& screen) {
    const SIZE needed = {virtualScreenWidth() > surfaceSize.cx ? virtualScreenWidth() : surfaceSize.cx,
                         virtualScreenHeight() > surfaceSize.cy ? virtualScreenHeight() : surfaceSize.cy};
    if (needed.cx == surfaceSize.cx && needed.cy == surfaceSize.cy) return;
    if (!growDisplaySurface(needed)) {
        // The old surface and slots stay, and captures keep within them.
        VirtualScreenRect.right = VirtualScreenRect.left + surfaceSize.cx;
        VirtualScreenRect.bottom = VirtualScreenRect.top + surfaceSize.cy;
        VirtualScreenRect = clipToScreen(VirtualScreenRect, screen);
        return;
    }
    const SIZE kept = surfaceSize;
    surfaceSize = needed;
    releaseSlots();
    // Held busy like a capture: the allocation pumps messages, and no save, options
    // dialog or paint may reach the slots before they exist again.
    app.captureBusy = 1;
    allocateSlots(surfaceSize.cx, surfaceSize.cy);
    if (!usableSlot(resultSlot) || !usableSlot(captureSlot) || !usableSlot(exportSlot)) {
        // The larger slots cannot be had (three monitors in a 32-bit address space): the
        // old ones again, and captures keep within them, so a result can still be taken
        // and saved, and the next layout change tries again.
        releaseSlots();
        allocateSlots(kept.cx, kept.cy);
        surfaceSize = kept;
        VirtualScreenRect.right = VirtualScreenRect.left + kept.cx;
        VirtualScreenRect.bottom = VirtualScreenRect.top + kept.cy;
        VirtualScreenRect = clipToScreen(VirtualScreenRect, screen);
    }
    app.captureBusy = 0;
    if (mainWindow) InvalidateRect(mainWindow, nullptr, FALSE);
}

}  // namespace

void followScreenLayout(const RECT& screen) {
    app.screenChanged = 0;
    VirtualScreenRect = screen;
    growSurfaceFor(screen);
    // Whatever moved (the origin, the size, the monitors within it), the ring's samples
    // were taken in the old layout: it starts afresh in the new one.
    retroFollowSettings(true);
    setReadyCaption();
}

bool startUp(HINSTANCE instance, bool shown) {
    computeExeDirectory();
    VirtualScreenRect = currentVirtualScreen();
    appInstance = instance;
    if (!createMainWindow()) return false;
    comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Start-up counts as an open dialog: slot allocation below pumps messages, and
    // neither the options dialog nor a capture may begin before everything exists. A
    // close that arrives meanwhile clears appRunning, and stays cleared.
    app.optionsOpen = 1;
    // Read once more now that the window exists, so it is moved to its stored place.
    loadSettings(true);
    setCaption(uiText(Text::CaptionInitialising));
    if (shown) {
        ShowWindow(mainWindow, SW_SHOWNORMAL);
        UpdateWindow(mainWindow);
    } else {
        settings.RETRO = 0;  // in memory only: a process for one command keeps no past
    }

    recordingPlanner = planRecording;
    sampleStored = feedRecordingGif;
    intervalTimer.init();
    intervalTimer.mark();
    createDisplaySurface();
    cadenceLogStart();
    createSampleStore(settings.TEMPPATH, settings.MAP_SIZE);
    allocateSlots(surfaceSize.cx, surfaceSize.cy);
    armHookLibrary();
    retroFollowSettings(true);
    setReadyCaption();
    app.optionsOpen = 0;
    return true;
}

void runMainLoop() {
    while (app.appRunning || app.captureBusy || app.optionsOpen) {
        // A WM_QUIT ends the run under the options dialog too, which closes as on Cancel.
        if (!app.appRunning && app.optionsOpen && optionsDialog) SendMessageW(optionsDialog, WM_CLOSE, 0, 0);
        holdFineTimer(app.captureBusy != 0);
        waitForNextStep();
        intervalTimer.mark();
        if (!app.saveInProgress && !app.optionsOpen && !app.regionSelecting) {
            // A new monitor layout is taken between captures only: a capture keeps the
            // rectangle and the slots it began with.
            if (app.screenChanged && !app.captureBusy) followScreenLayout(currentVirtualScreen());
            // The ring follows RETRO, RETRO_FPS and RETRO_TIME as Apply leaves them, and
            // keeps for its key only what the last RETRO_TIME seconds took.
            if (!app.captureBusy && !retroInStep()) {
                retroFollowSettings(false);
                setReadyCaption();
            }
            if (!app.captureBusy) retroDropStale(intervalTimer.markTicks);
            const StepOutcome step = captureStep(intervalTimer.markTicks);
            if (step.samplingOver) finishSampling(step.samplesTaken);
            if (step.retroAsked) compositeRetro();
            if (step.regionAsked) openRegionOverlay();
            followCommand();
        }
    }
    holdFineTimer(false);
}

int shutDown(bool saveIni) {
    // A WM_QUIT that ended the run carries the exit code; the one WM_DESTROY posts does not replace it.
    const bool quitEndedTheRun = app.quitReceived != 0;
    const int quitCode = app.exitCode;
    app.captureBusy = 1;
    if (mainWindow) {
        setCaption(uiText(Text::CaptionShuttingDown));
        pumpMessages();
    }
    hookRemove();
    retroStop();
    SelectObject(displayDC, displayPreviousBitmap);
    releaseSlots();
    releaseSampleStore();
    removeCopiedGif();
    ReleaseDC(mainWindow, windowDC);
    DeleteDC(workDC);
    DeleteDC(displayDC);
    DeleteObject(displayBitmap);
    windowDC = workDC = displayDC = nullptr;
    displayBitmap = nullptr;
    if (saveIni) saveSettings();
    if (mainWindow) {
        DestroyWindow(mainWindow);
        app.appRunning = 1;
        app.captureBusy = 1;
    } else if (!app.appRunning) {
        releaseCom();
        return quitEndedTheRun ? quitCode : app.exitCode;
    }
    while (app.appRunning) {
        keepAnswering();
    }
    releaseCom();
    return quitEndedTheRun ? quitCode : app.exitCode;
}


