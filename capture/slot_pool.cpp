#include "capture/slot_pool.h"

#include <cstdlib>
#include <cstring>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/sample_counts.h"
#include "core/pixel_rows.h"

BitmapSlot SlotPool[kSlotCount];
int resultSlot = 0;
int captureSlot = 0;
int exportSlot = 0;

namespace {

// BITMAPINFOHEADER plus one colour entry that stays zero.
const size_t kInfoBlockSize = sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD);

int allocSlot(int width, int height, int bitCount) {
    if (width < 1 || height < 1) return -1;
    int index = -1;
    for (int i = 1; i < kSlotCount; ++i) {
        if (!SlotPool[i].bits) {
            index = i;
            break;
        }
    }
    if (index < 0) return -1;

    BitmapSlot& slot = SlotPool[index];
    memset(&slot, 0, sizeof slot);
    if (bitCount == 24) slot.stride = stride24(width);
    slot.block = calloc(1, kInfoBlockSize);
    if (!slot.block) return index;  // no bitmap: the caller reports the failure
    slot.info = static_cast<BITMAPINFO*>(slot.block);
    slot.width = width;
    slot.height = height;
    strcpy(slot.name, "*");

    BITMAPINFOHEADER& header = slot.info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = -height;  // top-down: row 0 is the top row
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitCount);
    header.biCompression = BI_RGB;

    void* bits = nullptr;
    slot.bitmap = CreateDIBSection(windowDC, slot.info, DIB_RGB_COLORS, &bits, nullptr, 0);
    slot.bits = static_cast<BYTE*>(bits);
    if (!slot.bitmap || !slot.bits) {
        // A failed creation leaves the record free for the next allocation.
        if (slot.bitmap) DeleteObject(slot.bitmap);
        free(slot.block);
        memset(&slot, 0, sizeof slot);
    }
    return index;
}

bool hasBitmap(int index) { return usableSlot(index) != nullptr; }

}  // namespace

int allocSlot24(int width, int height) { return allocSlot(width, height, 24); }
int allocSlot32(int width, int height) { return allocSlot(width, height, 32); }

BitmapSlot* usableSlot(int index) {
    if (index < 1 || index >= kSlotCount) return nullptr;
    BitmapSlot& slot = SlotPool[index];
    return slot.bits && slot.bitmap ? &slot : nullptr;
}

void allocateSlots(int width, int height) {
    const int sampleTotal = screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    resultSlot = captureSlot = exportSlot = 0;
    for (BitmapSlot& slot : SlotPool) {
        slot.bits = nullptr;
        slot.bitmap = nullptr;
    }
    for (int b = 0; b < 2; ++b) {
        const int index = allocSlot24(width, height);
        (b == 0 ? resultSlot : captureSlot) = index;
        if (!hasBitmap(index)) showMessage(mainWindow, uiText(Text::SlotMemoryMessage), uiText(Text::SlotErrorTitle));
        setCaption(uiText(Text::CaptionInitSlots), b, sampleTotal);
        keepAnswering();
    }
    exportSlot = allocSlot32(width, height);
    if (!hasBitmap(exportSlot)) showMessage(mainWindow, uiText(Text::SlotMemoryMessage), uiText(Text::SlotErrorTitle));
}

int releaseSlots() {
    for (int i = 0; i < kSlotCount; ++i) {
        BitmapSlot& slot = SlotPool[i];
        if (slot.bits) {
            DeleteObject(slot.bitmap);
            free(slot.block);
            memset(&slot, 0, sizeof slot);
        }
        if (mainWindow && app.captureBusy) {
            setCaption(uiText(Text::CaptionReleasing), i, kSlotCount);
            keepAnswering();
        }
    }
    return 0;
}
