// The capture engine against real GDI, a real file mapping and the real hook library:
// slot rules, sample counts, the store's layout and growth, the state machine, and
// samples that equal, byte for byte, what a window of the test shows on screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/settings.h"
#include "app/text.h"
#include "engine/capture.h"
#include "engine/slot_pool.h"
#include "hook/hook_api.h"
#include "support/dialog_watcher.h"

namespace {

// --- Slot rules ---------------------------------------------------------------

class SlotPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        windowDC = GetDC(nullptr);
        releaseSlots();
    }
    void TearDown() override {
        releaseSlots();
        ReleaseDC(nullptr, windowDC);
        windowDC = nullptr;
    }
};

TEST_F(SlotPoolTest, StridesArePaddedToFourBytes) {
    const int widths[] = {1, 2, 4, 1366, 1920};
    const int strides[] = {4, 8, 12, 4100, 5760};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(stride24(widths[i]), strides[i]) << "width " << widths[i];
    const int index = allocSlot24(1366, 2);
    ASSERT_GT(index, 0);
    EXPECT_EQ(SlotPool[index].stride, 4100);
    EXPECT_EQ(SlotPool[index].info->bmiHeader.biHeight, -2) << "slots are top-down";
    EXPECT_EQ(SlotPool[index].info->bmiHeader.biBitCount, 24);
}

TEST_F(SlotPoolTest, HandsOutOneToThreeAndNeverZero) {
    EXPECT_EQ(allocSlot24(0, 5), -1);
    EXPECT_EQ(allocSlot32(5, -1), -1);
    EXPECT_EQ(allocSlot24(8, 8), 1);
    EXPECT_EQ(allocSlot24(8, 8), 2);
    EXPECT_EQ(allocSlot32(8, 8), 3);
    EXPECT_EQ(allocSlot24(8, 8), -1) << "a fourth allocation fails";
    EXPECT_EQ(SlotPool[3].stride, 0);
    EXPECT_EQ(SlotPool[0].bits, nullptr);
    EXPECT_EQ(usableSlot(0), nullptr);
    releaseSlots();
    for (const BitmapSlot& slot : SlotPool) {
        EXPECT_EQ(slot.bits, nullptr);
        EXPECT_EQ(slot.bitmap, nullptr);
        EXPECT_EQ(slot.block, nullptr);
    }
    EXPECT_EQ(allocSlot24(8, 8), 1) << "after release the pool starts again at 1";
}

TEST_F(SlotPoolTest, FailedCreationLeavesItsIndexFree) {
    ASSERT_EQ(allocSlot24(8, 8), 1);
    const int failed = allocSlot24(200000, 200000);  // far more than any DIB section can hold
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(usableSlot(failed), nullptr) << "no capture may touch a failed slot";
    EXPECT_EQ(allocSlot24(8, 8), 2) << "the next allocation gets the same index";
}

// --- Sample counts and the store ----------------------------------------------

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

TEST(SampleStorePath, MustFitThePathBuffer) {
    char path[MAX_PATH];
    EXPECT_TRUE(buildStorePath(path, "C:\\temp"));
    EXPECT_STREQ(path, "C:\\temp\\tmp.map");
    const std::string longest(MAX_PATH - 1 - 8, 'a');  // plus "\tmp.map" fills 259 bytes
    EXPECT_TRUE(buildStorePath(path, longest.c_str()));
    EXPECT_FALSE(buildStorePath(path, (longest + "a").c_str()));
}

TEST(ClipToDesktop, KeepsEveryCopyInsideTheDesktop) {
    const RECT desktop = {0, 0, 1024, 768};
    RECT r = clipToDesktop({-50, -20, 300, 200}, desktop);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 200);
    r = clipToDesktop({-8, -8, 1032, 776}, desktop);  // a maximised window's frame
    EXPECT_EQ(r.right - r.left, 1024);
    EXPECT_EQ(r.bottom - r.top, 768);
    r = clipToDesktop({-32000, -32000, -31840, -31972}, desktop);  // a minimised window
    EXPECT_EQ(r.right - r.left, 0);
    EXPECT_EQ(r.bottom - r.top, 0);
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { createSampleStore("Z:\\tmp", 100); }
    void TearDown() override { releaseSampleStore(); }
};

TEST_F(StoreTest, GrowsOnlyWhenTooSmallAndThenWithOneSampleSpare) {
    ASSERT_NE(store.storeView, nullptr);
    EXPECT_EQ(store.mappedSize, 100);
    // 2 x 2 samples are 12 bytes, rows of 6 bytes with no padding.
    EXPECT_EQ(sampleBytes(2, 2), 12);
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 2 * 2 * 3 * 5);
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 5));
    EXPECT_EQ(store.mappedSize, 60) << "exactly w*h*N*3 is enough";
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 2 * 2 * 3 * 5 - 1);
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 5));
    EXPECT_EQ(store.mappedSize, 72) << "one byte short grows to w*h*(N+1)*3";
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 3));
    EXPECT_EQ(store.mappedSize, 72) << "never shrinks";
}

TEST_F(StoreTest, RefusesSizesPastTwoGigabytesAndKeepsTheOldStore) {
    BYTE* view = store.storeView;
    EXPECT_FALSE(ensureStoreCapacity(1024, 768, 910));  // 1024*768*3*911 >= 2^31
    EXPECT_EQ(store.storeView, view);
    EXPECT_EQ(store.mappedSize, 100);
    EXPECT_TRUE(ensureStoreCapacity(1024, 768, 909 - 1));  // just below the limit
}

// --- Preparing the next sample's pages while the loop waits -------------------------

TEST(NextSampleSpan, CoversOnlyTheNextSampleAndWhatIsNotPreparedYet) {
    long long from = -1, to = -1;
    EXPECT_FALSE(nextSampleSpan(1, 10, 10, 100000, 0, &from, &to)) << "sample 1 fixes the rectangle first";
    EXPECT_FALSE(nextSampleSpan(3, 0, 10, 100000, 0, &from, &to));
    ASSERT_TRUE(nextSampleSpan(3, 10, 10, 100000, 0, &from, &to));
    EXPECT_EQ(from, 600);
    EXPECT_EQ(to, 900);
    ASSERT_TRUE(nextSampleSpan(3, 10, 10, 100000, 700, &from, &to));
    EXPECT_EQ(from, 700);
    EXPECT_FALSE(nextSampleSpan(3, 10, 10, 100000, 900, &from, &to));
    EXPECT_TRUE(nextSampleSpan(3, 10, 10, 900, 0, &from, &to)) << "a sample that just fits";
    EXPECT_FALSE(nextSampleSpan(3, 10, 10, 899, 0, &from, &to)) << "never past the mapping";
    EXPECT_FALSE(nextSampleSpan(30000, 1000, 1000, 2147483647, 0, &from, &to)) << "no overflow into range";
}

TEST_F(StoreTest, PreparingChangesNoByteAndStopsAtTheNextSamplesEnd) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 200000);
    ASSERT_NE(store.storeView, nullptr);
    ASSERT_TRUE(reserveStoreBytes(store.mappedSize, store.mappedSize));  // samples only go where room is kept
    for (int i = 0; i < store.mappedSize; ++i) store.storeView[i] = static_cast<BYTE>(i * 7 + (i >> 9));
    const std::vector<BYTE> before(store.storeView, store.storeView + store.mappedSize);
    app = AppState();
    settings = Settings();
    settings.S_FPS = 5;  // N = 5
    CaptureRect = {0, 0, 100, 100};  // samples of 30,000 bytes

    EXPECT_FALSE(prepareNextSample(1)) << "idle: nothing to prepare";
    app.captureBusy = 1;
    app.sampleCounter = 3;  // bytes 60,000 to 90,000: a write into 8 pages, one per call
    int calls = 1;
    while (prepareNextSample(1)) ASSERT_LT(++calls, 100);
    EXPECT_EQ(calls, 8);
    EXPECT_EQ(store.preparedBytes, 90000);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), store.storeView)) << "the bytes stay as they were";

    app.sampleCounter = 6;  // all five samples are in: the next step composites
    EXPECT_FALSE(prepareNextSample(64));
    EXPECT_EQ(store.preparedBytes, 90000);

    app.aviOnlyMode = 1;  // AVI_TIME x AVI_FPS samples: the stored rate applies
    EXPECT_TRUE(prepareNextSample(1));
    EXPECT_GT(store.preparedBytes, 150000);

    EXPECT_TRUE(ensureStoreCapacity(100, 100, 10));
    EXPECT_EQ(store.preparedBytes, 0) << "a new mapping starts unprepared";
    app = AppState();
    settings = Settings();
}

long long allocatedBytes(HANDLE file) {
    FILE_STANDARD_INFO info;
    return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) ? info.AllocationSize.QuadPart
                                                                                     : -1;
}

TEST_F(StoreTest, TheFileHasItsRoomBeforeAnySampleIsWrittenAndKeepsWhatLiesBelow) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 400000);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_NE(store.storeView, nullptr);
    EXPECT_EQ(store.reservedBytes, 0);

    ASSERT_TRUE(reserveStoreBytes(100000, 1 << 20));
    EXPECT_EQ(store.reservedBytes, 100000);
    EXPECT_GE(allocatedBytes(store.storeFile), 100000) << "the disk holds the room, not just the file size";
    store.storeView[99999] = 42;  // a sample's last byte

    ASSERT_TRUE(reserveStoreBytes(300000, 65536)) << "a budget takes part of it per call";
    EXPECT_EQ(store.reservedBytes, 165536);
    ASSERT_TRUE(reserveStoreBytes(300000, 1 << 20));
    EXPECT_EQ(store.reservedBytes, 300000);
    EXPECT_EQ(store.storeView[99999], 42) << "reserving further never covers a sample";
    ASSERT_TRUE(reserveStoreBytes(5, 0)) << "room already kept needs nothing";
    EXPECT_EQ(store.reservedBytes, 300000);
}

TEST_F(StoreTest, AStoreMovedOutOfItsFileKeepsEverySampleAndTheFileIsGone) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 300000);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(reserveStoreBytes(200000, 200000));
    for (int i = 0; i < 200000; ++i) store.storeView[i] = static_cast<BYTE>(i * 13 + (i >> 8));

    ASSERT_TRUE(moveStoreToPagingFile());
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileAttributesA("Z:\\tmp\\tmp.map"), INVALID_FILE_ATTRIBUTES) << "the file deletes itself";
    EXPECT_EQ(store.mappedSize, 300000);
    for (int i = 0; i < 200000; ++i) ASSERT_EQ(store.storeView[i], static_cast<BYTE>(i * 13 + (i >> 8))) << i;
    store.storeView[299999] = 1;  // the whole view is writable

    EXPECT_TRUE(reserveStoreBytes(300000, 0)) << "the paging file needs no room kept";
    EXPECT_FALSE(moveStoreToPagingFile()) << "already there";
    EXPECT_TRUE(ensureStoreCapacity(100, 100, 20)) << "and it still grows";
}

TEST(SampleStore, WorksInThePagingFileWhenTheFolderIsUnusable) {
    const std::string tooLong(300, 'x');
    createSampleStore(tooLong.c_str(), 4096);
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_NE(store.storeView, nullptr);
    store.storeView[4095] = 7;  // the whole view is writable
    releaseSampleStore();
    createSampleStore("Z:\\no\\such\\folder", 4096);
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_NE(store.storeView, nullptr);
    releaseSampleStore();
}

TEST(RowCopies, DropAndRestoreTheSlotPadding) {
    const int w = 3, h = 2, stride = 12;  // 9 bytes of pixels, 3 of padding
    std::vector<BYTE> slot(stride * h), sample(w * h * 3), back(stride * h, 0xEE);
    for (size_t i = 0; i < slot.size(); ++i) slot[i] = static_cast<BYTE>(i);
    copyRowsToStore(slot.data(), stride, sample.data(), w, h);
    EXPECT_EQ(sample[8], 8);
    EXPECT_EQ(sample[9], 12) << "row 1 follows row 0 without padding";
    copyRowsFromStore(sample.data(), back.data(), stride, w, h);
    EXPECT_EQ(back[12], 12);
    EXPECT_EQ(back[9], 0xEE) << "padding is left alone";
    EXPECT_EQ(back[23], 0xEE);
}

// --- The state machine and real samples ----------------------------------------

COLORREF patternColour(int x, int y) { return RGB((x * 7 + y) & 255, (y * 5) & 255, ((x + y) * 3) & 255); }

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

void pumpAll() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
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

        GetWindowRect(GetDesktopWindow(), &DesktopRect);
        mainWindow = CreateWindowExW(0, L"KestrinTestMain", L"main", WS_OVERLAPPEDWINDOW, 700, 500, 200, 150,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        windowDC = GetDC(mainWindow);
        workDC = CreateCompatibleDC(windowDC);
        displayDC = CreateCompatibleDC(windowDC);
        displayBitmap = CreateCompatibleBitmap(windowDC, DesktopRect.right, DesktopRect.bottom);
        displayPreviousBitmap = SelectObject(displayDC, displayBitmap);
        createSampleStore("Z:\\tmp", 4096);
        allocateSlots();
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
        SelectObject(displayDC, displayPreviousBitmap);
        DeleteObject(displayBitmap);
        DeleteDC(displayDC);
        DeleteDC(workDC);
        ReleaseDC(mainWindow, windowDC);
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        windowDC = workDC = displayDC = nullptr;
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
        for (int i = 0; i < 50 && GetForegroundWindow() != patternWindow; ++i) {
            pumpAll();
            Sleep(20);
        }
        pumpAll();
        Sleep(200);  // let X show what was drawn
        pumpAll();
    }

    // The sample's pixel at (x, y) as blue, green, red.
    const BYTE* samplePixel(int k, int x, int y) {
        const int w = CaptureRect.right - CaptureRect.left;
        const int h = CaptureRect.bottom - CaptureRect.top;
        return store.storeView + (k - 1) * sampleBytes(w, h) + (static_cast<size_t>(y) * w + x) * 3;
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
    captureStep();
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.aviOnlyMode, 1) << "an idle step without the screenshot key paces at AVI_FPS";
    EXPECT_EQ(hookStopPressed(), 0) << "a stop press made while idle is dropped";
}

TEST_F(CaptureEngineTest, ScreenshotKeyWinsOverRecordStart) {
    showPattern(100, 100, 64, 48);
    settings.S_FPS = 10;
    settings.S_TIME = 0.3f;
    hookSetShotPressed(1);
    hookSetStartPressed(1);
    captureStep();
    EXPECT_EQ(app.aviOnlyMode, 0);
    EXPECT_EQ(app.captureBusy, 1);
    EXPECT_EQ(app.sampleCounter, 2);
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改 ( 1 / 3 )"));
    hookSetShotPressed(1);  // presses during a capture are not polled
    captureStep();
    captureStep();
    EXPECT_EQ(app.sampleCounter, 4);
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改 ( 3 / 3 )"));
    captureStep();  // the step after the last sample ends the capture
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.aviOnlyMode, 0);
    EXPECT_EQ(hookShotPressed() + hookStartPressed() + hookStopPressed(), 0) << "every latch is reset at the end";
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改"));
}

// The stop key is checked before every sample of a recording, its first included: the
// recording composites exactly the samples taken before the press.
TEST_F(CaptureEngineTest, RecordStopEndsWithTheSamplesTakenBeforeIt) {
    showPattern(100, 100, 32, 24);
    settings.AVI_FPS = 10;
    settings.AVI_TIME = 60;
    const std::wstring compositingLast = wideFromShiftJis("Kestrin Ver 0.03改 ( 合成中： 3 / 3 )");

    hookSetStartPressed(1);
    hookSetStopPressed(1);  // made while idle: dropped by the step that starts the recording
    captureStep();
    EXPECT_EQ(app.aviOnlyMode, 1);
    EXPECT_EQ(app.sampleCounter, 2);
    EXPECT_EQ(captions.back(), wideFromShiftJis("Kestrin Ver 0.03改 ( 1 / 600 )"));
    captureStep();
    captureStep();
    hookSetStopPressed(1);  // before sample 4
    captureStep();
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
    captureStep();  // idle step: starts the recording and takes sample 1
    captions.clear();
    app.sampleCounter = 1;  // as if the stop came before the first sample
    hookSetStopPressed(1);
    captureStep();
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
    captureStep();
    captureStep();
    RECT client;
    GetClientRect(patternWindow, &client);
    EXPECT_EQ(CaptureRect.right - CaptureRect.left, client.right);
    EXPECT_EQ(CaptureRect.bottom - CaptureRect.top, client.bottom);
    expectPatternInSample(1, 0, 0);
    expectPatternInSample(2, 0, 0);
    captureStep();
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
    captureStep();
    EXPECT_EQ(CaptureRect.left, frame.left);
    EXPECT_EQ(CaptureRect.right, frame.right);
    expectPatternInSample(1, origin.x - frame.left, origin.y - frame.top);
    captureStep();

    settings.SS_ACTIVE = 0;
    hookSetShotPressed(1);
    captureStep();
    EXPECT_EQ(CaptureRect.right, DesktopRect.right);
    EXPECT_EQ(CaptureRect.bottom, DesktopRect.bottom);
    expectPatternInSample(1, origin.x, origin.y);
    captureStep();
    EXPECT_EQ(app.captureBusy, 0);
}

TEST_F(CaptureEngineTest, AWindowPartlyOffScreenIsClippedToTheDesktop) {
    showPattern(DesktopRect.right - 40, 200, 100, 60);
    settings.S_FPS = 10;
    settings.S_TIME = 0.1f;
    hookSetShotPressed(1);
    captureStep();
    EXPECT_EQ(CaptureRect.right, DesktopRect.right);
    EXPECT_LE(CaptureRect.right - CaptureRect.left, 40);
    captureStep();
    EXPECT_EQ(app.captureBusy, 0);
}

TEST_F(CaptureEngineTest, AStoreThatCannotHoldTheCaptureEndsItAndSaysSo) {
    DialogWatcher watcher;
    settings.SS_ACTIVE = 0;  // the whole desktop
    settings.S_FPS = 1000;
    settings.S_TIME = 1000.0f;  // a million desktop samples: far past 2^31 bytes
    hookSetShotPressed(1);
    captureStep();
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(hookShotPressed(), 0);
    ASSERT_EQ(watcher.count(), 1u);
    EXPECT_EQ(watcher.seen()[0].title, wideFromShiftJis("エラー"));
}

TEST_F(CaptureEngineTest, AFailedCaptureSlotIsNeverTouched) {
    DialogWatcher watcher;
    BitmapSlot saved = SlotPool[captureSlot];
    SlotPool[captureSlot].bits = nullptr;  // as if its allocation had failed
    settings.SS_ACTIVE = 0;
    hookSetShotPressed(1);
    captureStep();
    SlotPool[captureSlot] = saved;
    EXPECT_EQ(app.captureBusy, 0);
    EXPECT_EQ(app.sampleCounter, 0);
    EXPECT_EQ(watcher.count(), 1u);
}

}  // namespace
