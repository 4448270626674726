// The capture step against real GDI, a real file mapping and the real hook library:
// sample counts, clipping, the state machine, and samples that equal, byte for byte,
// what a window of the test shows on screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "app/compositing_phase.h"
#include "core/text.h"
#include "capture/capture.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "hook/hook_api.h"
#include "output/recording_plan.h"
#include "support/dialog_watcher.h"
#include "support/files.h"
#include "support/display.h"
#include "support/message_pump.h"
#include "support/pattern.h"

namespace {

// --- Sample counts and clipping ------------------------------------------------

TEST(SampleCount, ShutterTimeIsSinglePrecisionAndTruncated) {
    EXPECT_EQ(screenshotSampleCount(10, 0.7f), 6);
    EXPECT_EQ(screenshotSampleCount(10, 0.9f), 8);
    EXPECT_EQ(screenshotSampleCount(10, 0.3f), 3);
    EXPECT_EQ(screenshotSampleCount(9, 0.1f), 0);
    EXPECT_EQ(screenshotSampleCount(15, 1.0f), 15);
    EXPECT_EQ(screenshotSampleCount(2000000000, 1e9f), INT_MAX) << "saturates instead of overflowing";
    EXPECT_EQ(aviSampleCount(60, 15), 900);
    EXPECT_EQ(aviSampleCount(2000000, 2000000), INT_MAX);
}

// A second monitor of 1024 x 768 left of the primary one: the virtual screen starts at -1024.
TEST(ClipToScreen, KeepsEveryCopyOnTheVirtualScreen) {
    const RECT screen = {-1024, 0, 1024, 768};
    RECT r = clipToScreen({-300, 100, -100, 200}, screen);  // wholly on the left monitor
    EXPECT_EQ(r.left, -300);
    EXPECT_EQ(r.right, -100);
    r = clipToScreen({-100, -20, 300, 200}, screen);  // across both, above the top
    EXPECT_EQ(r.left, -100);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 200);
    r = clipToScreen({-1032, -8, 1032, 776}, screen);  // larger than the virtual screen
    EXPECT_EQ(r.right - r.left, 2048);
    EXPECT_EQ(r.bottom - r.top, 768);
    r = clipToScreen({-32000, -32000, -31840, -31972}, screen);  // a minimised window
    EXPECT_EQ(r.right - r.left, 0);
    EXPECT_EQ(r.bottom - r.top, 0);
}

// --- The state machine and real samples ----------------------------------------

std::vector<std::wstring> captions;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && lParam) captions.push_back(reinterpret_cast<const wchar_t*>(lParam));
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK patternProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) SetPixelV(dc, x, y, patternColour(x, y));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// One turn of the main loop: the step, then the compositing phase when it says sampling is over.
void step() {
    const StepOutcome outcome = captureStep();
    if (outcome.samplingOver) finishSampling(outcome.samplesTaken);
}

class CaptureEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW recording = {};
        recording.lpfnWndProc = recordingProc;
        recording.hInstance = GetModuleHandleW(nullptr);
        recording.lpszClassName = L"KestrinTestMain";
        RegisterClassW(&recording);
        WNDCLASSW pattern = recording;
        pattern.lpfnWndProc = patternProc;
        pattern.lpszClassName = L"KestrinTestPattern";
        RegisterClassW(&pattern);

        VirtualScreenRect = currentVirtualScreen();
        mainWindow = CreateWindowExW(0, L"KestrinTestMain", L"main", WS_OVERLAPPEDWINDOW, 700, 500, 200, 150,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(setUpDisplay(mainWindow));
        createSampleStore("Z:\\tmp", 4096);
        allocateSlots(virtualScreenWidth(), virtualScreenHeight());
        settings = Settings();
        settings.AUTO_SAVE = 0;
        app = AppState();
        ResultRect = {0, 0, 1, 1};
        captions.clear();
        resetLatches();
    }

    void TearDown() override {
        if (patternWindow) DestroyWindow(patternWindow);
        releaseSlots();
        releaseSampleStore();
        releaseDisplay();
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        resetLatches();
    }

    static void resetLatches() {
        hookSetShotPressed(0);
        hookSetStartPressed(0);
        hookSetStopPressed(0);
    }

    void showPattern(int x, int y, int w, int h) {
        patternWindow = CreateWindowExW(WS_EX_TOPMOST, L"KestrinTestPattern", L"pattern", WS_POPUP | WS_BORDER, x, y,
                                        w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(patternWindow, SW_SHOWNORMAL);
        SetForegroundWindow(patternWindow);
        UpdateWindow(patternWindow);
        for (int i = 0; i < 50 && GetForegroundWindow() != patternWindow; ++i) pumpFor(20);
        pumpFor(200);  // let X show what was drawn
    }

    // The sample's pixel at (x, y) as blue, green, red.
    const BYTE* samplePixel(int k, int x, int y) {
        const int w = CaptureRect.right - CaptureRect.left;
        const int h = CaptureRect.bottom - CaptureRect.top;
        return storeBytes((k - 1) * sampleBytes(w, h) + (static_cast<long long>(y) * w + x) * 3, 3);
    }

    // Every pixel of the pattern window's client area, found at (dx, dy) inside sample k.
    void expectPatternInSample(int k, int dx, int dy) {
        RECT client;
        GetClientRect(patternWindow, &client);
        int mismatches = 0;
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const BYTE* p = samplePixel(k, x + dx, y + dy);
                const COLORREF c = patternColour(x, y);
                if (p[2] != GetRValue(c) || p[1] != GetGValue(c) || p[0] != GetBValue(c)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << "sample " << k;
    }

    HWND patternWindow = nullptr;
};

TEST_F(CaptureEngineTest, IdleStepsPollAtTheAviRateAndDropStopPresses) {
    hookSetStopPressed(1);
    step();
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.aviOnlyMode, 1) << "an idle step without the screenshot key paces at AVI_FPS";
    EXPECT_EQ(hookStopPressed(), 0) << "a stop press made while idle is dropped";
}

// A recording whose samples and AVI the disk cannot hold at full length is shortened to
// what it holds, and the user is told before the first sample is taken.
TEST_F(CaptureEngineTest, ARecordingTheDiskCannotHoldIsShortenedBeforeItStarts) {
    DialogWatcher watcher;
    TempFolder videos;
    snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", videos.held().c_str());
    showPattern(100, 100, 32, 24);
    settings.AVI_FPS = kMaxSampleRate;
    settings.AVI_TIME = kMaxAviSeconds;  // 864 million samples of 2 KB and frames of 2 KB: terabytes
    recordingPlanner = planRecording;
    hookSetStartPressed(1);
    step();
    recordingPlanner = nullptr;
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].text.rfind(wideFromShiftJis("ディスクの空き容量が足りないため、\nこの録画は最長 "), 0), 0u);
    EXPECT_GT(app.sampleLimit, 0);
    EXPECT_LT(app.sampleLimit, kMaxSampleRate * kMaxAviSeconds);
    char caption[128];
    snprintf(caption, sizeof caption, "Kestrin Ver 0.03改 ( 1 / %d )", app.sampleLimit);
    EXPECT_EQ(captions.back(), wideFromShiftJis(caption));
    hookSetStopPressed(1);
    step();
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.sampleLimit, 0) << "the limit is the recording's own";
}

TEST_F(CaptureEngineTest, ScreenshotKeyWinsOverRecordStart) {
    showPattern(100, 100, 64, 48);
    settings.S_FPS = 10;
    settings.S_TIME = 0.3f;
    hookSetShotPressed(1);
    hookSetStartPressed(1);
    step();
    EXPECT_EQ(app.aviOnlyMode, 0);
    EXPECT_EQ(app.captureBusy, 1);
    EXPECT_EQ(app.sampleCounter, 2);
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改 ( 1 / 3 )"));
    hookSetShotPressed(1);  // presses during a capture are not polled
    step();
    step();
    EXPECT_EQ(app.sampleCounter, 4);
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改 ( 3 / 3 )"));
    step();  // the step after the last sample ends the capture
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.aviOnlyMode, 0);
    EXPECT_EQ(hookShotPressed() + hookStartPressed() + hookStopPressed(), 0) << "every latch is reset at the end";
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改"));
}

// The stop key is checked before every sample of a recording, its first included: the
// recording composites exactly the samples taken before the press.
TEST_F(CaptureEngineTest, RecordStopEndsWithTheSamplesTakenBeforeIt) {
    DialogWatcher watcher;  // no AVI folder is set: each recording is refused with a message
    showPattern(100, 100, 32, 24);
    settings.AVI_FPS = 10;
    settings.AVI_TIME = 60;
    const std::wstring compositingLast = wideFromShiftJis("Kestrin Ver 0.03改 ( 合成中： 3 / 3 )");

    hookSetStartPressed(1);
    hookSetStopPressed(1);  // made while idle: dropped by the step that starts the recording
    step();
    EXPECT_EQ(app.aviOnlyMode, 1);
    EXPECT_EQ(app.sampleCounter, 2);
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改 ( 1 / 600 )"));
    step();
    step();
    hookSetStopPressed(1);  // before sample 4
    step();
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.aviOnlyMode, 0);
    bool sawLast = false;
    for (const std::wstring& caption : captions) {
        if (caption == compositingLast) sawLast = true;
        EXPECT_EQ(caption.find(wideFromShiftJis("( 4 / 600 )")), std::wstring::npos) << "no sample after the stop";
    }
    EXPECT_TRUE(sawLast) << "the recording ends with the 3 samples taken";
    EXPECT_EQ(ResultRect.right, 1) << "a recording leaves the shown result alone";

    captions.clear();
    hookSetStartPressed(1);
    step();  // idle step: starts the recording and takes sample 1
    captions.clear();
    app.sampleCounter = 1;  // as if the stop came before the first sample
    hookSetStopPressed(1);
    step();
    EXPECT_EQ(app.captureBusy, 0);
    for (const std::wstring& caption : captions) {
        EXPECT_EQ(caption.find(wideFromShiftJis("合成中")), std::wstring::npos) << "no sample to composite";
    }
}

TEST_F(CaptureEngineTest, ClientAreaSamplesEqualTheWindowOnScreen) {
    showPattern(150, 120, 97, 61);  // an odd width: slot rows are padded, store rows are not
    settings.S_FPS = 10;
    settings.S_TIME = 0.2f;
    hookSetShotPressed(1);
    step();
    step();
    RECT client;
    GetClientRect(patternWindow, &client);
    EXPECT_EQ(CaptureRect.right - CaptureRect.left, client.right);
    EXPECT_EQ(CaptureRect.bottom - CaptureRect.top, client.bottom);
    expectPatternInSample(1, 0, 0);
    expectPatternInSample(2, 0, 0);
    step();
    EXPECT_EQ(app.captureBusy, 0);
}

TEST_F(CaptureEngineTest, WholeWindowAndDesktopSamplesHoldTheClientAtItsOffset) {
    showPattern(210, 130, 80, 50);
    POINT origin = {0, 0};
    ClientToScreen(patternWindow, &origin);
    RECT frame;
    GetWindowRect(patternWindow, &frame);

    settings.S_FPS = 10;
    settings.S_TIME = 0.1f;
    settings.SS_CLIENT = 0;
    hookSetShotPressed(1);
    step();
    EXPECT_EQ(CaptureRect.left, frame.left);
    EXPECT_EQ(CaptureRect.right, frame.right);
    expectPatternInSample(1, origin.x - frame.left, origin.y - frame.top);
    step();

    settings.SS_ACTIVE = 0;
    hookSetShotPressed(1);
    step();
    EXPECT_EQ(CaptureRect.right, VirtualScreenRect.right);
    EXPECT_EQ(CaptureRect.bottom, VirtualScreenRect.bottom);
    expectPatternInSample(1, origin.x, origin.y);
    step();
    EXPECT_EQ(app.captureBusy, 0);
}

TEST_F(CaptureEngineTest, AWindowPartlyOffScreenIsClippedToTheDesktop) {
    showPattern(VirtualScreenRect.right - 40, 200, 100, 60);
    settings.S_FPS = 10;
    settings.S_TIME = 0.1f;
    hookSetShotPressed(1);
    step();
    EXPECT_EQ(CaptureRect.right, VirtualScreenRect.right);
    EXPECT_LE(CaptureRect.right - CaptureRect.left, 40);
    step();
    EXPECT_EQ(app.captureBusy, 0);
}

TEST_F(CaptureEngineTest, AStoreThatCannotHoldTheCaptureEndsItAndSaysSo) {
    DialogWatcher watcher;
    settings.SS_ACTIVE = 0;  // the whole desktop
    settings.S_FPS = 1000;
    settings.S_TIME = 1000.0f;  // a million desktop samples: far past 2^31 bytes
    hookSetShotPressed(1);
    step();
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(hookShotPressed(), 0);
    ASSERT_EQ(watcher.count(), 1u);
    EXPECT_EQ(watcher.seen()[0].title, wideFromShiftJis("エラー"));
}

// A sample total that grows after the store was sized (settings changed under a capture)
// must not write past the store: the capture ends with what it took, and says why.
TEST_F(CaptureEngineTest, NoSampleIsWrittenPastTheStore) {
    DialogWatcher watcher;
    showPattern(100, 100, 64, 48);
    settings.S_FPS = 10;
    settings.S_TIME = 0.2f;  // two samples: the store is sized for three
    hookSetShotPressed(1);
    step();
    ASSERT_EQ(store.capacity, 3 * sampleBytes(CaptureRect.right - CaptureRect.left, CaptureRect.bottom - CaptureRect.top))
        << "sized for n + 1 samples";
    settings.S_TIME = 100.0f;  // now a thousand
    for (int i = 0; i < 10 && app.captureBusy; ++i) step();
    EXPECT_EQ(app.captureBusy, 0) << "the capture ended at the store's end";
    ASSERT_EQ(watcher.count(), 1u);
    EXPECT_EQ(watcher.seen()[0].title, wideFromShiftJis("エラー"));
}

TEST_F(CaptureEngineTest, AFailedCaptureSlotIsNeverTouched) {
    DialogWatcher watcher;
    BitmapSlot saved = SlotPool[captureSlot];
    SlotPool[captureSlot].bits = nullptr;  // as if its allocation had failed
    settings.SS_ACTIVE = 0;
    hookSetShotPressed(1);
    step();
    SlotPool[captureSlot] = saved;
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(watcher.count(), 1u);
}

}  // namespace
