#include "output/clipboard_copy.h"

#include <cstring>

#include "core/app_state.h"
#include "core/text.h"
#include "core/texts.h"
#include "core/pixel_rows.h"
#include "capture/slot_pool.h"
#include "output/bmp_export.h"
#include "encode/bmp_file.h"
#include "encode/png_file.h"

namespace {

// Movable global memory holding `size` bytes that `fill` writes; null when it cannot be had.
template <typename Fill>
HGLOBAL globalBytes(size_t size, Fill fill) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    BYTE* bytes = static_cast<BYTE*>(GlobalLock(memory));
    if (!bytes) {
        GlobalFree(memory);
        return nullptr;
    }
    fill(bytes);
    GlobalUnlock(memory);
    return memory;
}

// CF_DIB: the header, then 24-bit rows padded to 4 bytes, the bottom row first.
HGLOBAL dibOf(const BitmapSlot* slot, int width, int height) {
    const int rowBytes = stride24(width);
    const size_t size = sizeof(BITMAPINFOHEADER) + static_cast<size_t>(rowBytes) * height;
    return globalBytes(size, [&](BYTE* bytes) {
        BITMAPINFOHEADER header = dibHeader24(width, height);
        header.biSizeImage = static_cast<DWORD>(rowBytes) * height;
        memcpy(bytes, &header, sizeof header);
        const int stride = 4 * slot->width;
        for (int row = 0; row < height; ++row) {
            BYTE* out = bytes + sizeof header + static_cast<size_t>(row) * rowBytes;
            bgrFromBgrx(out, slot->bits + static_cast<size_t>(height - 1 - row) * stride, width);
            memset(out + 3 * width, 0, static_cast<size_t>(rowBytes - 3 * width));
            if (row % 64 == 63) keepAnswering();
        }
    });
}

HGLOBAL pngOf(const BitmapSlot* slot, int width, int height) {
    EncodedPng png;
    if (!encodePng(slot->bits, 4 * slot->width, width, height, png, keepAnswering)) return nullptr;
    return globalCopy(png.bytes, static_cast<size_t>(png.size));
}

bool openClipboardWithin(DWORD patienceMs) {
    const DWORD start = GetTickCount();
    while (!OpenClipboard(mainWindow)) {
        if (GetTickCount() - start >= patienceMs) return false;
        pumpMessages();
        Sleep(10);
    }
    return true;
}

}  // namespace

const char* copyFailureMessage(CopyOutcome outcome) {
    switch (outcome) {
    case CopyOutcome::NoMemory:
        return uiText(Text::NoMemoryMessage);
    case CopyOutcome::ClipboardBusy:
        return uiText(Text::ClipboardBusyMessage);
    default:
        return nullptr;
    }
}

namespace {

void freeExtras(ClipboardExtra* extras, int count) {
    for (int i = 0; i < count; ++i) {
        if (extras[i].memory) GlobalFree(extras[i].memory);
        extras[i].memory = nullptr;
    }
}

CopyOutcome copyOnce(DWORD patienceMs, ClipboardExtra* extras, int count) {
    if (noResultYet()) return CopyOutcome::NothingShown;
    const BitmapSlot* slot = exportResult();
    if (!slot) return CopyOutcome::NoMemory;
    const int width = ResultRect.right;
    const int height = ResultRect.bottom;
    HGLOBAL dib = dibOf(slot, width, height);
    HGLOBAL png = pngOf(slot, width, height);
    if (!dib) {
        if (png) GlobalFree(png);
        return CopyOutcome::NoMemory;
    }
    if (!openClipboardWithin(patienceMs)) {
        GlobalFree(dib);
        if (png) GlobalFree(png);
        return CopyOutcome::ClipboardBusy;
    }
    // The clipboard owns what it takes; what it refuses is still ours. Without the DIB
    // nothing was copied, whatever became of the other formats.
    const bool dibTaken = EmptyClipboard() && SetClipboardData(CF_DIB, dib);
    if (!dibTaken) GlobalFree(dib);
    if (png && !(dibTaken && SetClipboardData(RegisterClipboardFormatA("PNG"), png))) GlobalFree(png);
    for (int i = 0; i < count; ++i) {
        if (extras[i].memory && dibTaken && SetClipboardData(extras[i].format, extras[i].memory)) {
            extras[i].memory = nullptr;
        }
    }
    CloseClipboard();
    return dibTaken ? CopyOutcome::Copied : CopyOutcome::NoMemory;
}

}  // namespace

HGLOBAL globalCopy(const void* bytes, size_t size) {
    return globalBytes(size, [&](BYTE* out) { memcpy(out, bytes, size); });
}

CopyOutcome copyResultWith(DWORD patienceMs, ClipboardExtra* extras, int count) {
    // Each copy holds a DIB and a PNG of the whole result and tells its own outcome:
    // copies nested in this one's waits would pile both up.
    static bool copying = false;
    if (copying) {
        freeExtras(extras, count);
        return CopyOutcome::Copying;
    }
    copying = true;
    const CopyOutcome outcome = copyOnce(patienceMs, extras, count);
    copying = false;
    freeExtras(extras, count);
    return outcome;
}

CopyOutcome copyResultToClipboard(DWORD patienceMs) { return copyResultWith(patienceMs, nullptr, 0); }

void copyToClipboard() {
    // A capture under way keeps its time: the result of the last one is copied after it.
    if (!mayStart(Start::Copy)) return;
    const char* message = copyFailureMessage(copyResultToClipboard(kClipboardPatienceMs));
    if (message) showMessage(mainWindow, message, uiText(Text::CopyErrorTitle));
}

void autoCopyResult() {
    static bool toldBusy = false;
    const CopyOutcome outcome = copyResultToClipboard(kClipboardPatienceMs);
    if (outcome == CopyOutcome::Copied) toldBusy = false;
    if (outcome == CopyOutcome::ClipboardBusy && toldBusy) return;
    if (outcome == CopyOutcome::ClipboardBusy) toldBusy = true;
    const char* message = copyFailureMessage(outcome);
    if (message) showMessage(mainWindow, message, uiText(Text::CopyErrorTitle));
}
