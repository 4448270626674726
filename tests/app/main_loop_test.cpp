// The program's life in-process: start-up, the main loop and shutdown with the real
// window, store, slots and hook library, and messages that arrive at awkward moments.
#include "app/main_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/compositing_phase.h"
#include "app/interval_timer.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "capture/capture.h"
#include "capture/retro_capture.h"
#include "capture/retro_ring.h"
#include "capture/slot_pool.h"
#include "hook/hook_api.h"
#include "resources/resource.h"
#include "support/ini_fixture.h"
#include "support/message_pump.h"

namespace {

// Messages posted to the main window the moment it is made, so that start-up's own
// message pumping meets them before start-up is done.
std::vector<std::pair<UINT, WPARAM>> postAtCreation;
HHOOK creationHook = nullptr;

LRESULT CALLBACK onCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t name[32] = L"";
        GetClassNameW(window, name, 32);
        if (lstrcmpW(name, L"DEFAULT") == 0) {
            for (const auto& message : postAtCreation) PostMessageW(window, message.first, message.second, 0);
            postAtCreation.clear();
        }
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

// Ends a main loop that does not end by itself, so a fault fails the test instead of
// hanging it.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : thread_([this, seconds] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
              while (!done_ && std::chrono::steady_clock::now() < deadline) Sleep(20);
              if (done_) return;
              fired_ = true;
              app.optionsOpen = 0;
              app.captureBusy = 0;
              app.appRunning = 0;
          }) {}
    ~Watchdog() { stop(); }
    bool stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        return fired_;
    }

private:
    std::atomic<bool> done_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

bool storeFileExists() {
    return GetFileAttributesA((std::string(exeDirectory) + "tmp.map").c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Lifecycle : public IniFile {
protected:
    void SetUp() override {
        IniFile::SetUp();
        app = AppState();
        // An earlier run here ended on WM_QUIT: a pump of start-up that met an empty queue
        // took that quit for its own (seen once in a fresh run).
        freshPumpRecord();
        creationHook = SetWindowsHookExW(WH_CBT, onCreation, nullptr, GetCurrentThreadId());
        ASSERT_NE(creationHook, nullptr);
    }
    void TearDown() override {
        UnhookWindowsHookEx(creationHook);
        postAtCreation.clear();
        app = AppState();
        IniFile::TearDown();
    }
};

// Start-up pumps messages while it allocates the slots: the options command must find
// the program not yet ready, and a close must not be undone when start-up ends.
TEST_F(Lifecycle, StartUpOpensNoDialogAndKeepsAClose) {
    postAtCreation = {{WM_COMMAND, IDM_OPTIONS}};
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    EXPECT_EQ(optionsDialog, nullptr) << "no options dialog before start-up is done";
    EXPECT_EQ(app.optionsOpen, 0);
    EXPECT_EQ(app.appRunning, 1);
    SendMessageW(mainWindow, WM_CLOSE, 0, 0);
    runMainLoop();
    EXPECT_EQ(shutDown(), 0);

    app = AppState();
    postAtCreation = {{WM_CLOSE, 0}};
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    EXPECT_EQ(app.appRunning, 0) << "the close that came during start-up still counts";
    Watchdog watchdog(20);
    runMainLoop();
    EXPECT_FALSE(watchdog.stop()) << "the main loop did not end by itself";
    EXPECT_EQ(shutDown(), 0);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_FALSE(storeFileExists());
}

TEST_F(Lifecycle, AQuitUnderTheOptionsDialogEndsTheRunWithItsCode) {
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    ASSERT_EQ(app.appRunning, 1);
    SendMessageW(mainWindow, WM_COMMAND, IDM_OPTIONS, 0);
    ASSERT_NE(optionsDialog, nullptr);
    PostQuitMessage(7);
    Watchdog watchdog(20);
    runMainLoop();
    EXPECT_FALSE(watchdog.stop()) << "the main loop did not end by itself";
    EXPECT_EQ(optionsDialog, nullptr) << "the dialog closes as on Cancel";
    EXPECT_EQ(shutDown(), 7) << "the exit code is the one WM_QUIT carried";
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_FALSE(storeFileExists());
}

// One screenshot of the whole virtual screen, step by step as the main loop runs it; the
// ring of the last seconds gives its memory back from the first sample and starts again
// after the capture.
void captureWholeScreen() {
    hookSetShotPressed(1);
    for (int i = 0; i < 10; ++i) {
        const StepOutcome outcome = captureStep();
        EXPECT_EQ(ringBytes(), 0) << "the ring is held during the capture";
        if (outcome.samplingOver) finishSampling(outcome.samplesTaken);
        if (!app.captureBusy && app.sampleCounter == 0) break;
    }
    EXPECT_TRUE(retroRunning());
}

// A monitor plugged in left of the primary one: the program takes the new virtual screen
// between captures, its slots and display surface grow to hold it, the result on display
// stays as it was, and the next capture covers every monitor. Unplugged again, captures
// follow the smaller screen while nothing shrinks under the result. The ring of the last
// seconds follows every layout, a new rate, and keeps nothing older than RETRO_TIME.
TEST_F(Lifecycle, AMonitorAddedAndRemovedBetweenCaptures) {
    writeFile("[OPTION]\r\nSS_ACTIVE=0\r\nS_FPS=10\r\nS_TIME=0.1\r\nAUTO_SAVE=0\r\nRETRO=1\r\n");
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    const RECT primary = VirtualScreenRect;
    const int width = primary.right - primary.left, height = primary.bottom - primary.top;
    captureWholeScreen();
    ASSERT_EQ(ResultRect.right, width);
    SetPixelV(displayDC, width - 1, height - 1, RGB(1, 2, 3));  // a mark in the shown result

    SendMessageW(mainWindow, WM_DISPLAYCHANGE, 24, MAKELPARAM(width, height));
    EXPECT_EQ(app.screenChanged, 1) << "the main loop is told to take the new layout";
    const RECT both = {primary.left - 1024, primary.top, primary.right, primary.bottom};
    followScreenLayout(both);
    EXPECT_EQ(app.screenChanged, 0);
    EXPECT_EQ(app.captureBusy, 0);
    for (int slot : {resultSlot, captureSlot, exportSlot}) {
        ASSERT_NE(usableSlot(slot), nullptr);
        EXPECT_EQ(usableSlot(slot)->width, width + 1024);
        EXPECT_EQ(usableSlot(slot)->height, height);
    }
    BITMAP display = {};
    GetObjectW(displayBitmap, sizeof display, &display);
    EXPECT_EQ(display.bmWidth, width + 1024);
    EXPECT_EQ(GetPixel(displayDC, width - 1, height - 1), RGB(1, 2, 3)) << "the result on display is kept";
    EXPECT_EQ(ResultRect.right, width);

    captureWholeScreen();
    EXPECT_EQ(CaptureRect.left, both.left);
    EXPECT_EQ(CaptureRect.right, both.right);
    EXPECT_EQ(ResultRect.right, width + 1024) << "the result covers both monitors";

    followScreenLayout(primary);
    EXPECT_EQ(usableSlot(captureSlot)->width, width + 1024) << "slots never shrink under a result";
    EXPECT_EQ(ringWidth(), width) << "the ring follows a layout the surface need not grow for";
    captureWholeScreen();
    EXPECT_EQ(CaptureRect.left, primary.left);
    EXPECT_EQ(ResultRect.right, width);

    // The main loop's one step before the close: a rate applied in the options restarts
    // the ring; after sampling was held (a dialog), older samples are dropped.
    intervalTimer.now();
    for (const long long ticks : {intervalTimer.nowTicks, intervalTimer.nowTicks - 10000LL * settings.RETRO_TIME - 1}) {
        retroTakeSample(ticks);
        ASSERT_EQ(ringSampleCount(), 1);
        settings.RETRO_FPS = 20;
        app.appRunning = 1;
        PostMessageW(mainWindow, WM_CLOSE, 0, 0);
        runMainLoop();
        EXPECT_EQ(ringSampleCount(), 0) << "sample at " << ticks;
    }
    EXPECT_EQ(shutDown(), 0);
}

}  // namespace
