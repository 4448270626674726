#include "engine/capture.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/settings.h"
#include "app/text.h"
#include "engine/cadence_log.h"
#include "engine/composite.h"
#include "engine/slot_pool.h"
#include "hook/hook_api.h"

SampleStore store;

namespace {

const DWORD kStoreFileFlags = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN;

const char kStoreFailedMessage[] =
    "サンプルの保存領域を確保できませんでした。\n"
    "シャッター開放時間、秒間サンプル数またはキャプチャーする範囲を小さくして下さい。";
const char kEmptyRectMessage[] = "キャプチャーする範囲がありません。";
const char kNoSlotMessage[] = "スクリーンショットの保存用メモリがないため、キャプチャー出来ません。";
const char kErrorTitle[] = "エラー";

// A page of a mapped file gets its disk space only when it is first written, and on a
// full disk that write cannot be refused: it faults. So no page of "tmp.map" is written
// before the file has room behind it. Where the mapping itself took the room (Windows
// allocates a mapped file's clusters when the mapping sets its size) the file says so;
// where the file stays sparse the room is taken by writing zeros through the handle,
// which fails cleanly when the disk is full. Samples only ever go below the reserved
// mark, so the zeros never cover one.
const char kZeros[64 * 1024] = {};

bool storeFileOpen() { return store.storeFile && store.storeFile != INVALID_HANDLE_VALUE; }

}  // namespace

bool reserveStoreBytes(long long through, long long budget) {
    if (!storeFileOpen() || through <= store.reservedBytes) return true;
    FILE_STANDARD_INFO info;
    if (GetFileInformationByHandleEx(store.storeFile, FileStandardInfo, &info, sizeof info) &&
        info.AllocationSize.QuadPart >= through && info.EndOfFile.QuadPart >= through) {
        store.reservedBytes = through;
        return true;
    }
    LARGE_INTEGER at;
    at.QuadPart = store.reservedBytes;
    if (!SetFilePointerEx(store.storeFile, at, nullptr, FILE_BEGIN)) return false;
    while (store.reservedBytes < through && budget > 0) {
        const long long left = through - store.reservedBytes;
        const DWORD chunk = static_cast<DWORD>(left < static_cast<long long>(sizeof kZeros) ? left : sizeof kZeros);
        DWORD written = 0;
        if (!WriteFile(store.storeFile, kZeros, chunk, &written, nullptr) || written != chunk) return false;
        store.reservedBytes += chunk;
        budget -= chunk;
    }
    return true;
}

namespace {

void mapStore(int size) {
    store.storeMapping = CreateFileMappingA(store.storeFile, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                            nullptr);
    store.storeView = store.storeMapping ? static_cast<BYTE*>(MapViewOfFile(store.storeMapping, FILE_MAP_ALL_ACCESS,
                                                                            0, 0, static_cast<SIZE_T>(size)))
                                         : nullptr;
    if (!store.storeView) {
        // An unusable store holds nothing: no sample is ever written into it.
        if (store.storeMapping) CloseHandle(store.storeMapping);
        store.storeMapping = nullptr;
        store.mappedSize = 0;
        return;
    }
    store.mappedSize = size;
    store.preparedBytes = 0;
}

void unmapStore() {
    if (store.storeView) UnmapViewOfFile(store.storeView);
    if (store.storeMapping) CloseHandle(store.storeMapping);
    store.storeView = nullptr;
    store.storeMapping = nullptr;
    store.mappedSize = 0;
    store.preparedBytes = 0;
}

}  // namespace

// The store leaves a file that has no room and goes on in the paging file, keeping every
// sample written so far (all of them lie below the reserved mark).
bool moveStoreToPagingFile() {
    if (!storeFileOpen() || !store.storeView) return false;
    const int size = store.mappedSize;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                        nullptr);
    BYTE* view = mapping ? static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size)) : nullptr;
    if (!view) {
        if (mapping) CloseHandle(mapping);
        return false;
    }
    const long long kept = store.reservedBytes < size ? store.reservedBytes : size;
    memcpy(view, store.storeView, static_cast<size_t>(kept));
    unmapStore();
    CloseHandle(store.storeFile);  // it deletes itself
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    store.storeMapping = mapping;
    store.storeView = view;
    store.mappedSize = size;
    return true;
}

namespace {

RECT chooseCaptureRect() {
    RECT rect = CaptureRect;
    if (!settings.SS_ACTIVE) {
        rect = DesktopRect;
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
    return clipToDesktop(rect, DesktopRect);
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

// Sample k into the store. False when it has nowhere to go: the store file has no room
// and the samples cannot be moved into the paging file either.
bool grabSample(int k) {
    const int w = CaptureRect.right - CaptureRect.left;
    const int h = CaptureRect.bottom - CaptureRect.top;
    BitmapSlot* slot = usableSlot(captureSlot);
    cadenceSampleBegin();
    HWND desktop = GetDesktopWindow();
    HDC screen = GetDC(desktop);
    HGDIOBJ previous = SelectObject(workDC, slot->bitmap);
    BitBlt(workDC, 0, 0, w, h, screen, CaptureRect.left, CaptureRect.top, SRCCOPY);
    SelectObject(workDC, previous);
    ReleaseDC(desktop, screen);
    GdiFlush();
    cadenceGrabDone();
    const long long end = static_cast<long long>(k) * sampleBytes(w, h);
    if (!reserveStoreBytes(end, end) && !moveStoreToPagingFile()) return false;
    BYTE* sample = store.storeView + static_cast<size_t>(k - 1) * static_cast<size_t>(sampleBytes(w, h));
    copyRowsToStore(slot->bits, slot->stride, sample, w, h);
    cadenceStoreDone();
    return true;
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

long long sampleBytes(int width, int height) { return static_cast<long long>(width) * height * 3; }

bool buildStorePath(char* out, const char* tempFolder) {
    const int written = snprintf(out, MAX_PATH, "%s\\%s", tempFolder, "tmp.map");
    return written > 0 && written < MAX_PATH;
}

void createSampleStore(const char* tempFolder, int mapSize) {
    char path[MAX_PATH];
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    if (buildStorePath(path, tempFolder)) {
        store.storeFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      kStoreFileFlags, nullptr);
    }
    if (mapSize > 0) mapStore(mapSize);
}

void releaseSampleStore() {
    unmapStore();
    if (storeFileOpen()) CloseHandle(store.storeFile);
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
}

bool ensureStoreCapacity(int width, int height, int sampleTotal) {
    const long long needed = sampleBytes(width, height) * sampleTotal;
    if (store.storeView && needed <= store.mappedSize) return true;
    // One sample of room to spare, so the next capture of this size does not remap.
    const long long grown = sampleBytes(width, height) * (static_cast<long long>(sampleTotal) + 1);
    if (grown > INT_MAX) return false;  // the store that exists is left as it is
    unmapStore();
    mapStore(static_cast<int>(grown));
    return store.storeView != nullptr;
}

RECT clipToDesktop(const RECT& wanted, const RECT& desktop) {
    RECT clipped;
    clipped.left = wanted.left > desktop.left ? wanted.left : desktop.left;
    clipped.top = wanted.top > desktop.top ? wanted.top : desktop.top;
    clipped.right = wanted.right < desktop.right ? wanted.right : desktop.right;
    clipped.bottom = wanted.bottom < desktop.bottom ? wanted.bottom : desktop.bottom;
    if (clipped.right < clipped.left) clipped.right = clipped.left;
    if (clipped.bottom < clipped.top) clipped.bottom = clipped.top;
    return clipped;
}

void copyRowsToStore(const BYTE* slotBits, int slotStride, BYTE* sample, int width, int height) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int r = 0; r < height; ++r) {
        memcpy(sample + r * rowBytes, slotBits + static_cast<size_t>(r) * slotStride, rowBytes);
    }
}

void copyRowsFromStore(const BYTE* sample, BYTE* slotBits, int slotStride, int width, int height) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int r = 0; r < height; ++r) {
        memcpy(slotBits + static_cast<size_t>(r) * slotStride, sample + r * rowBytes, rowBytes);
    }
}

bool nextSampleSpan(int k, int width, int height, int mappedSize, long long prepared, long long* from,
                    long long* to) {
    if (k < 2 || width <= 0 || height <= 0) return false;
    const long long bytes = sampleBytes(width, height);
    const long long begin = bytes * (k - 1);
    const long long end = begin + bytes;
    if (end > mappedSize) return false;
    *from = prepared > begin ? prepared : begin;
    *to = end;
    return *from < *to;
}

bool prepareNextSample(int pageBudget) {
    static const long long pageSize = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<long long>(info.dwPageSize ? info.dwPageSize : 4096);
    }();
    if (!app.captureBusy || !store.storeView) return false;
    const int sampleTotal = app.aviOnlyMode ? aviSampleCount(settings.AVI_TIME, settings.AVI_FPS)
                                            : screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    if (app.sampleCounter > sampleTotal) return false;  // the next step composites
    long long from = 0;
    long long to = 0;
    if (!nextSampleSpan(app.sampleCounter, CaptureRect.right - CaptureRect.left, CaptureRect.bottom - CaptureRect.top,
                        store.mappedSize, store.preparedBytes, &from, &to)) {
        return false;
    }
    const long long spanEnd = to;
    if (!reserveStoreBytes(to, pageBudget * pageSize) && !moveStoreToPagingFile()) return false;
    if (storeFileOpen() && store.reservedBytes < to) to = store.reservedBytes;
    // A write fault per page: read each byte back into its place.
    volatile BYTE* view = store.storeView;
    long long at = from;
    for (int page = 0; page < pageBudget && at < to; ++page) {
        view[at] = view[at];
        at = (at / pageSize + 1) * pageSize;
    }
    store.preparedBytes = at < to ? at : to;
    return store.preparedBytes < spanEnd;
}

void endCapture() {
    cadenceFlush();
    app.captureBusy = 0;
    if (mainWindow) SendMessageW(mainWindow, WM_PAINT, 0, 0);
    setCaption(kCaptionReady);
    hookSetShotPressed(0);
    hookSetStartPressed(0);
    hookSetStopPressed(0);
    app.aviOnlyMode = 0;
}



void captureStep() {
    int sampleTotal = screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    if (app.sampleCounter == 0) {
        app.sampleCounter = hookShotPressed();
        if (app.sampleCounter != 0) {
            app.aviOnlyMode = 0;
        } else {
            app.sampleCounter = hookStartPressed();
            hookSetStopPressed(0);
            app.aviOnlyMode = 1;
            sampleTotal = aviSampleCount(settings.AVI_TIME, settings.AVI_FPS);
        }
    } else if (app.aviOnlyMode) {
        sampleTotal = aviSampleCount(settings.AVI_TIME, settings.AVI_FPS);
    }
    if (app.sampleCounter == 0) return;

    app.captureBusy = 1;
    if (app.sampleCounter == sampleTotal + 1) {
        app.sampleCounter = 0;
        finishSampling(sampleTotal);
        return;
    }
    if (app.aviOnlyMode && hookStopPressed()) {
        const int taken = app.sampleCounter - 1;
        app.sampleCounter = 0;
        finishSampling(taken);
        return;
    }

    const int k = app.sampleCounter;
    if (k == 1 && !beginSampling(sampleTotal)) {
        app.sampleCounter = 0;
        endCapture();
        return;
    }
    if (!grabSample(k)) {
        // What was taken is still composited; the user learns why the capture is short.
        showMessage(mainWindow, kStoreFailedMessage, kErrorTitle);
        app.sampleCounter = 0;
        if (k > 1) {
            finishSampling(k - 1);
        } else {
            endCapture();
        }
        return;
    }
    app.sampleCounter = k + 1;
    setCaption(kCaptionSampling, k, sampleTotal);
}
