#include "app/main_loop.h"

#include <mmsystem.h>
#include <objbase.h>

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
// which is then waited out finely. Idle, the system timer keeps its own rate, so the
// sleep may end a timer tick late: that only delays noticing a hot key by as much.
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

}  // namespace

bool startUp(HINSTANCE instance) {
    computeExeDirectory();
    GetWindowRect(GetDesktopWindow(), &DesktopRect);
    appInstance = instance;
    if (!createMainWindow()) return false;
    comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Start-up counts as an open dialog: slot allocation below pumps messages, and
    // neither the options dialog nor a capture may begin before everything exists. A
    // close that arrives meanwhile clears appRunning, and stays cleared.
    app.optionsOpen = 1;
    // Read once more now that the window exists, so it is moved to its stored place.
    loadSettings(true);
    setCaption(kCaptionInitialising);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    UpdateWindow(mainWindow);

    intervalTimer.init();
    intervalTimer.mark();
    createDisplaySurface();
    cadenceLogStart();
    createSampleStore(settings.TEMPPATH, settings.MAP_SIZE);
    allocateSlots();
    armHookLibrary();
    setCaption(kCaptionReady);
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
        if (!app.saveInProgress && !app.optionsOpen) {
            const StepOutcome step = captureStep();
            if (step.samplingOver) finishSampling(step.samplesTaken);
        }
    }
    holdFineTimer(false);
}

int shutDown() {
    // A WM_QUIT that ended the run carries the exit code; the one WM_DESTROY posts does not replace it.
    const bool quitEndedTheRun = app.quitReceived != 0;
    const int quitCode = app.exitCode;
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
        releaseCom();
        return quitEndedTheRun ? quitCode : app.exitCode;
    }
    while (app.appRunning) {
        pumpMessages();
        Sleep(0);
    }
    releaseCom();
    return quitEndedTheRun ? quitCode : app.exitCode;
}


