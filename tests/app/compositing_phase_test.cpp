// The compositing phase in-process: real DIB-section slots, a real mapped store and a
// real display bitmap, with samples written into the store by hand.
#include "app/compositing_phase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/capture.h"

#include "composite/portable_pow.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "hook/hook_api.h"
#include "support/dialog_watcher.h"
#include "support/display.h"

namespace {

const int kDesktopWidth = 40;
const int kDesktopHeight = 30;
const COLORREF kOldDisplay = RGB(9, 99, 199);

std::wstring captionText() {
    wchar_t text[256] = L"";
    GetWindowTextW(mainWindow, text, 256);
    return text;
}

std::wstring readyCaption() {
    char caption[256];
    snprintf(caption, sizeof caption, uiText(Text::CaptionReady), kProductName, kProductVersion);
    return wideFromShiftJis(caption);
}

// Blue, green and red of pixel (x, y) of sample k: different in every sample and channel.
void samplePixel(int k, int x, int y, uint8_t* bgr) {
    bgr[0] = static_cast<uint8_t>(k * 37 + x * 5 + y * 11);
    bgr[1] = static_cast<uint8_t>(k * 91 + x * 3 + y * 7 + 40);
    bgr[2] = static_cast<uint8_t>(255 - k * 53 - x - y * 2);
}

class CompositePhase : public ::testing::Test {
protected:
    void SetUp() override {
        settings = Settings();
        settings.AUTO_SAVE = 0;  // the phase's own effects here; saving has tests of its own
        app = AppState();
        VirtualScreenRect = {0, 0, kDesktopWidth, kDesktopHeight};
        ResultRect = {0, 0, 1, 1};
        mainWindow = CreateWindowExW(0, L"STATIC", L"test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, mainWindow);
        ASSERT_TRUE(setUpDisplay(mainWindow));
        paintDisplay([](int, int) { return kOldDisplay; });

        resultSlot = allocSlot24(kDesktopWidth, kDesktopHeight);
        captureSlot = allocSlot24(kDesktopWidth, kDesktopHeight);
        ASSERT_NE(nullptr, usableSlot(resultSlot));
        ASSERT_NE(nullptr, usableSlot(captureSlot));
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        folder[strlen(folder) - 1] = '\0';  // the folder is held without its trailing backslash
        createSampleStore(folder, 1 << 20);
        ASSERT_NE(nullptr, store.storeMapping);

        hookSetShotPressed(1);
        hookSetStartPressed(1);
        hookSetStopPressed(1);
        app.captureBusy = 1;
    }

    void TearDown() override {
        releaseSampleStore();
        releaseSlots();
        resultSlot = captureSlot = 0;
        releaseDisplay();
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
    }

    // Writes n samples of the capture rectangle's size into the store.
    void storeSamples(int n) {
        const int w = CaptureRect.right - CaptureRect.left, h = CaptureRect.bottom - CaptureRect.top;
        for (int k = 1; k <= n; ++k) {
            BYTE* sample = storeBytes(static_cast<long long>(k - 1) * w * h * 3, static_cast<long long>(w) * h * 3);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) samplePixel(k, x, y, sample + (static_cast<size_t>(y) * w + x) * 3);
            }
        }
    }

    // A sample's weight as the options define it: (i / n) to the decay exponent, or 1
    // without decay; with emphasis divided by (n - i) x level / 100 + 1.
    template <typename Real>
    static Real definedWeight(int i, int n) {
        if (settings.REDUCE_FIXED) return 1;
        Real weight = static_cast<Real>(portablePow(static_cast<double>(i) / n, static_cast<double>(settings.REDUCE_PER)));
        if (settings.EMPHASIS_ON) {
            weight = weight / (static_cast<Real>(n - i) * (static_cast<Real>(settings.EMPHASIS_LEVEL) * Real(0.01)) + 1);
        }
        return weight;
    }

    // The composite computed independently of the phase, pixel by pixel.
    template <typename Real>
    void expectedPixel(int n, int x, int y, uint8_t* bgr) {
        Real sums[3] = {0, 0, 0};
        Real weightSum = 0;
        for (int i = 1; i <= n; ++i) {
            const Real weight = definedWeight<Real>(i, n);
            uint8_t sample[3];
            samplePixel(i, x, y, sample);
            weightSum += weight;
            for (int c = 0; c < 3; ++c) sums[c] = sums[c] + weight * Real(sample[2 - c]);
        }
        const Real divisor = weightSum >= Real(1e-6f) ? weightSum : Real(1);
        for (int c = 0; c < 3; ++c) {
            const Real q = sums[c] / divisor;
            bgr[2 - c] = static_cast<uint8_t>(q >= Real(255) ? 255 : static_cast<int>(q));
        }
    }

    COLORREF displayed(int x, int y) { return GetPixel(displayDC, x, y); }

    void expectDisplayUntouched() {
        for (int y = 0; y < kDesktopHeight; y += 3) {
            for (int x = 0; x < kDesktopWidth; x += 3) ASSERT_EQ(kOldDisplay, displayed(x, y)) << x << "," << y;
        }
    }

    void expectCaptureEnded() {
        EXPECT_EQ(0, app.captureBusy);
        EXPECT_EQ(0, app.aviOnlyMode);
        EXPECT_EQ(0, hookShotPressed());
        EXPECT_EQ(0, hookStartPressed());
        EXPECT_EQ(0, hookStopPressed());
        EXPECT_EQ(readyCaption(), captionText());
    }

    template <typename Real>
    void checkScreenshot(int n) {
        CaptureRect = {5, 6, 5 + 17, 6 + 9};  // odd width: padded slot rows
        storeSamples(n);
        finishSampling(n);
        expectCaptureEnded();
        EXPECT_EQ(0, ResultRect.left);
        EXPECT_EQ(0, ResultRect.top);
        EXPECT_EQ(17, ResultRect.right);
        EXPECT_EQ(9, ResultRect.bottom);
        for (int y = 0; y < kDesktopHeight; ++y) {
            for (int x = 0; x < kDesktopWidth; ++x) {
                if (x >= 17 || y >= 9) {
                    ASSERT_EQ(kOldDisplay, displayed(x, y)) << "outside the result " << x << "," << y;
                    continue;
                }
                uint8_t bgr[3];
                expectedPixel<Real>(n, x, y, bgr);
                ASSERT_EQ(RGB(bgr[2], bgr[1], bgr[0]), displayed(x, y)) << x << "," << y;
            }
        }
        // The replay leaves the newest sample in captureSlot, where frames are written from.
        const BitmapSlot* slot = usableSlot(captureSlot);
        uint8_t bgr[3];
        samplePixel(n, 16, 8, bgr);
        EXPECT_EQ(0, memcmp(bgr, slot->bits + 8 * slot->stride + 16 * 3, 3));
    }
};

TEST_F(CompositePhase, ScreenshotInSinglePrecision) {
    settings.EMPHASIS_ON = 1;
    settings.EMPHASIS_LEVEL = 60;
    settings.REDUCE_PER = 1.7f;
    checkScreenshot<float>(19);  // more samples than one accumulator pass takes
}

TEST_F(CompositePhase, ScreenshotInDoublePrecision) {
    settings.COLOR_DOUBLE = 1;
    settings.REDUCE_PER = 0.4f;
    checkScreenshot<double>(3);
}

int messagesHandled = 0;
LRESULT CALLBACK countMessages(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++messagesHandled;
    return DefWindowProcW(window, message, wParam, lParam);
}

// A store read through windows smaller than the samples together (here: two samples a
// window, bands of five rows) gives the same bytes as one read through one window, and
// messages are handled between the windows as between the samples of the replay.
TEST_F(CompositePhase, ManySmallWindowsGiveTheSameBytes) {
    const long long usual = storeWindowBytes;
    storeWindowBytes = 1024;
    settings.EMPHASIS_ON = 1;
    settings.EMPHASIS_LEVEL = 60;
    settings.REDUCE_PER = 1.7f;
    WNDCLASSW counting = {};
    counting.lpfnWndProc = countMessages;
    counting.hInstance = GetModuleHandleW(nullptr);
    counting.lpszClassName = L"KestrinCountMessages";
    RegisterClassW(&counting);
    HWND counter = CreateWindowW(L"KestrinCountMessages", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int i = 0; i < 500; ++i) PostMessageW(counter, WM_APP, 0, 0);
    messagesHandled = 0;
    checkScreenshot<float>(19);
    // 19 samples replayed, then 2 bands of 5 rows x 10 windows of 2 samples read.
    EXPECT_GE(messagesHandled, 19 + 2 * 10);
    DestroyWindow(counter);
    app.captureBusy = 1;
    settings.COLOR_DOUBLE = 1;
    settings.REDUCE_PER = 0.4f;
    checkScreenshot<double>(7);
    storeWindowBytes = usual;
}

TEST_F(CompositePhase, ZeroSamplesGiveBlackOverTheCaptureSize) {
    CaptureRect = {100, 200, 100 + 11, 200 + 4};
    finishSampling(0);
    expectCaptureEnded();
    EXPECT_EQ(11, ResultRect.right);
    EXPECT_EQ(4, ResultRect.bottom);
    EXPECT_EQ(RGB(0, 0, 0), displayed(0, 0));
    EXPECT_EQ(RGB(0, 0, 0), displayed(10, 3));
    EXPECT_EQ(kOldDisplay, displayed(11, 3));
    EXPECT_EQ(kOldDisplay, displayed(10, 4));
}

// A rectangle larger than the desktop-sized slots is kept within them.
TEST_F(CompositePhase, ResultNeverOutgrowsTheSlots) {
    CaptureRect = {-50, -50, 500, 400};
    finishSampling(0);
    expectCaptureEnded();
    EXPECT_EQ(kDesktopWidth, ResultRect.right);
    EXPECT_EQ(kDesktopHeight, ResultRect.bottom);
    EXPECT_EQ(RGB(0, 0, 0), displayed(kDesktopWidth - 1, kDesktopHeight - 1));

    // The widest rectangle there is: its size does not even fit 32 bits.
    app.captureBusy = 1;
    ResultRect = {0, 0, 1, 1};
    CaptureRect = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    finishSampling(3);
    expectCaptureEnded();
    EXPECT_EQ(1, ResultRect.right) << "no store holds such samples";
    finishSampling(0);
    EXPECT_EQ(kDesktopWidth, ResultRect.right);
    EXPECT_EQ(kDesktopHeight, ResultRect.bottom);
}

TEST_F(CompositePhase, AviOnlyRecordingLeavesTheResultAlone) {
    DialogWatcher watcher;  // no AVI folder is set: the recording is refused, and the user told
    app.aviOnlyMode = 1;
    CaptureRect = {0, 0, 8, 5};
    storeSamples(5);
    ResultRect = {0, 0, 30, 20};
    finishSampling(5);
    expectCaptureEnded();
    EXPECT_EQ(30, ResultRect.right);
    EXPECT_EQ(20, ResultRect.bottom);
    expectDisplayUntouched();
    const BitmapSlot* slot = usableSlot(captureSlot);
    uint8_t bgr[3];
    samplePixel(5, 7, 4, bgr);
    EXPECT_EQ(0, memcmp(bgr, slot->bits + 4 * slot->stride + 7 * 3, 3)) << "the last frame is in captureSlot";
    EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviErrorTitle), uiText(Text::AviNoRootMessage)));
}

// Nothing is read beyond the mapped store and no rectangle is composited from
// nothing: the previous result stays and the capture still ends.
TEST_F(CompositePhase, StoreOrRectangleWithoutTheSamplesComposesNothing) {
    CaptureRect = {0, 0, 20, 20};
    storeSamples(3);
    store.capacity = 20 * 20 * 3 * 3 - 1;
    {
        DialogWatcher watcher;
        finishSampling(3);
    }
    expectCaptureEnded();
    EXPECT_EQ(1, ResultRect.right);
    expectDisplayUntouched();

    app.captureBusy = 1;
    CaptureRect = {7, 7, 7, 9};
    finishSampling(0);
    expectCaptureEnded();
    EXPECT_EQ(1, ResultRect.right);
    expectDisplayUntouched();
}

TEST_F(CompositePhase, FailedSlotsAreNeverTouched) {
    CaptureRect = {0, 0, 6, 4};
    storeSamples(2);
    const int result = resultSlot;
    resultSlot = -1;  // its allocation failed at start-up
    finishSampling(2);
    expectCaptureEnded();
    EXPECT_EQ(1, ResultRect.right) << "no pixels, no result";
    expectDisplayUntouched();
    resultSlot = result;

    // Without captureSlot the samples still come from the store.
    const int capture = captureSlot;
    captureSlot = -1;
    app.captureBusy = 1;
    finishSampling(2);
    captureSlot = capture;
    expectCaptureEnded();
    EXPECT_EQ(6, ResultRect.right);
    uint8_t bgr[3];
    expectedPixel<float>(2, 5, 3, bgr);
    EXPECT_EQ(RGB(bgr[2], bgr[1], bgr[0]), displayed(5, 3));
}

}  // namespace
