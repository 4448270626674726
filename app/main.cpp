// Start-up, the main loop with its sampling clock, and shutdown.
#include <windows.h>
#include <mmsystem.h>

#include "app/compositing_phase.h"
#include "app/interval_timer.h"
#include "app/main_window.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "core/texts.h"
#include "engine/cadence_log.h"
#include "engine/capture.h"
#include "engine/hot_keys.h"
#include "engine/sample_store.h"
#include "engine/slot_pool.h"
#include "hook/hook_api.h"

// Exported for the keyboard-hook library's sake; the program never touches it.
extern "C" {
__declspec(dllexport) int DLL_g_bkc = 0;
}

namespace {

// Pages of the store prepared for the next sample per check of the wait during a
// capture: about a tenth of a millisecond of work, so the step is never held up.
const int kPagesPerCheck = 16;

void createDisplaySurface() {
    windowDC = GetDC(mainWindow);
    workDC = CreateCompatibleDC(windowDC);
    displayDC = CreateCompatibleDC(windowDC);
    displayBitmap = CreateCompatibleBitmap(windowDC, DesktopRect.right, DesktopRect.bottom);
    displayPreviousBitmap = SelectObject(displayDC, displayBitmap);
    ResultRect = {0, 0, 1, 1};
    FillRect(displayDC, &DesktopRect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void armHookLibrary() {
    hookInstall();
    hookSetOwnerWindow(mainWindow);
    armHotKeys();
}

// While idle nothing needs the processor between steps: sleep until a message (a
// hot-key event arrives as one) or until the last millisecond before the step is due,
// which is then waited out finely, so idle steps keep the interval the loop computes.
// During a capture the wait stays fine: it never blocks.
const int kFineWaitTicks = 10;

void waitIdle(int remainingTicks) {
    if (app.captureBusy || remainingTicks <= kFineWaitTicks) return;
    const DWORD milliseconds = static_cast<DWORD>((remainingTicks - kFineWaitTicks) / 10);
    if (milliseconds == 0) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void waitForNextStep() {
    // While idle at least one message is handled per step: a rate above 10000 per second
    // makes the interval 0, and a window that never pumped could not even be closed.
    bool pumped = app.captureBusy != 0;
    for (;;) {
        intervalTimer.now();
        const int interval = stepInterval(app.aviOnlyMode, settings.S_FPS, settings.AVI_FPS);
        const int elapsed = intervalTimer.elapsed();
        if ((elapsed >= interval && pumped) || !app.appRunning) return;
        pumpMessages();
        pumped = true;
        waitIdle(interval - elapsed);
        if (app.captureBusy) prepareNextSample(kPagesPerCheck);
        Sleep(0);
    }
}

void runMainLoop() {
    while (app.appRunning || app.captureBusy || app.optionsOpen) {
        waitForNextStep();
        intervalTimer.mark();
        if (!app.saveInProgress && !app.optionsOpen) {
            const StepOutcome step = captureStep();
            if (step.samplingOver) finishSampling(step.samplesTaken);
        }
    }
}

int shutDown() {
    app.captureBusy = 1;
    if (mainWindow) {
        setCaption(kCaptionShuttingDown);
        pumpMessages();
    }
    hookRemove();
    SelectObject(displayDC, displayPreviousBitmap);
    releaseSlots();
    releaseSampleStore();
    ReleaseDC(mainWindow, windowDC);
    DeleteDC(workDC);
    DeleteDC(displayDC);
    DeleteObject(displayBitmap);
    windowDC = workDC = displayDC = nullptr;
    displayBitmap = nullptr;
    saveSettings();
    if (mainWindow) {
        DestroyWindow(mainWindow);
        app.appRunning = 1;
        app.captureBusy = 1;
    } else if (!app.appRunning) {
        return app.exitCode;
    }
    while (app.appRunning) {
        pumpMessages();
        Sleep(0);
    }
    return app.exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    computeExeDirectory();
    GetWindowRect(GetDesktopWindow(), &DesktopRect);
    appInstance = instance;
    if (!createMainWindow()) return 0;
    loadSettings(true);
    setCaption(kCaptionInitialising);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    UpdateWindow(mainWindow);

    // Timeouts of the idle wait to the millisecond.
    timeBeginPeriod(1);
    intervalTimer.init();
    intervalTimer.mark();
    createDisplaySurface();
    cadenceLogStart();
    createSampleStore(settings.TEMPPATH, settings.MAP_SIZE);
    allocateSlots();

    app.optionsOpen = 1;
    armHookLibrary();
    app.appRunning = 1;
    setCaption(kCaptionReady);
    app.optionsOpen = 0;

    runMainLoop();
    const int exitCode = shutDown();
    timeEndPeriod(1);
    return exitCode;
}
